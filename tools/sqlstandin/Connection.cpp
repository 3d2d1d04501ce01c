#include "Connection.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "TdsRequest.h"

namespace sqlstandin {

namespace {

constexpr uint32_t kMinPacket = 512;
constexpr uint32_t kMaxPacket = 32767;

}  // namespace

void Connection::run() {
  std::vector<uint8_t> buffer;
  uint8_t chunk[8192];
  while (true) {
    ssize_t got = recv(socket_, chunk, sizeof chunk, 0);
    if (got < 0 && errno == EINTR) {
      continue;
    }
    if (got <= 0) {
      return;
    }
    buffer.insert(buffer.end(), chunk, chunk + got);
    TdsMessage message;
    TakeResult result;
    while ((result = takeMessage(buffer, message)) == TakeResult::Message) {
      if (!handle(message)) {
        return;
      }
    }
    if (result == TakeResult::Malformed) {
      log_.write("DROP", "malformed packet");
      return;
    }
  }
}

bool Connection::sendRaw(const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> bytes = framePackets(kTdsReply, payload, packetSize_);
  size_t sent = 0;
  while (sent < bytes.size()) {
    ssize_t n = ::send(socket_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) {
      continue;
    }
    if (n <= 0) {
      return false;
    }
    sent += static_cast<size_t>(n);
  }
  return true;
}

bool Connection::send(const TokenWriter& tokens) { return sendRaw(tokens.bytes()); }

bool Connection::handle(const TdsMessage& message) {
  switch (phase_) {
    case Phase::PreLogin:
      if (message.type != kTdsPreLogin || !preLoginIsValid(message.payload)) {
        return false;
      }
      phase_ = Phase::Login;
      return sendRaw(preLoginReply());
    case Phase::Login: return message.type == kTdsLogin7 && login(message);
    case Phase::Ready: break;
  }
  TokenWriter out;
  if (message.type == kTdsSqlBatch) {
    auto text = parseSqlBatch(message.payload);
    if (!text) {
      return false;
    }
    log_.write("SQL", *text);
    executor_->runBatch(*text, out);
  } else if (message.type == kTdsAttention) {
    // Batches run to the end before the next message is read, so there is
    // nothing left to cancel; the client waits for the acknowledgement.
    out.done(0x20, 0);
  } else if (message.type == kTdsRpc) {
    auto request = parseRpc(message.payload);
    if (!request) {
      log_.write("DROP", "malformed procedure call");
      return false;
    }
    call(*request, out);
  } else {
    return false;
  }
  return send(out);
}

namespace {

std::string logValue(const Value& value) {
  if (std::holds_alternative<std::monostate>(value)) {
    return "NULL";
  }
  return sqliteLiteral(value);
}

}  // namespace

void Connection::call(const RpcRequest& request, TokenWriter& out) {
  std::string line = request.procedure.empty() ? "#" + std::to_string(request.procedureId) : request.procedure;
  for (const auto& p : request.parameters) {
    line += '\t' + p.name + (p.name.empty() ? "" : "=") + logValue(p.value);
  }
  log_.write("RPC", line);
  procedures_->call(request, out);
}

bool Connection::login(const TdsMessage& message) {
  auto request = parseLogin7(message.payload);
  if (!request) {
    return false;
  }
  std::string database = request->database.empty() ? "master" : request->database;
  log_.write("LOGIN", request->user + '\t' + database);
  TokenWriter out;
  if (!catalog_.databaseFile(database)) {
    out.error({4060, 1, 11, "Cannot open database \"" + database + "\" requested by the login. The login failed."});
    out.error({18456, 1, 14, "Login failed for user '" + request->user + "'."});
    out.done(kDoneError, 0);
    send(out);
    return false;
  }
  database = catalog_.databaseName(database);
  packetSize_ = request->packetSize == 0 ? 4096 : std::clamp(request->packetSize, kMinPacket, kMaxPacket);
  out.envDatabase(database, "master");
  out.info({5701, 2, 0, "Changed database context to '" + database + "'."});
  out.envCollation();
  out.envLanguage();
  out.info({5703, 1, 0, "Changed language setting to us_english."});
  out.loginAck();
  out.envPacketSize(packetSize_);
  out.done(kDoneFinal, 0);
  executor_.emplace(catalog_, database);
  procedures_.emplace(*executor_);
  phase_ = Phase::Ready;
  return send(out);
}

}  // namespace sqlstandin
