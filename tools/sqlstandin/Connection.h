#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "Catalog.h"
#include "Executor.h"
#include "ProcedureCalls.h"
#include "StatementLog.h"
#include "TdsPacket.h"
#include "TdsRpc.h"

namespace sqlstandin {

// One client: pre-login, login, then batches until the client leaves. The
// peer is untrusted; anything that is not a well-formed message in the
// expected order ends the connection.
class Connection {
 public:
  Connection(int socket, Catalog& catalog, StatementLog& log) : socket_(socket), catalog_(catalog), log_(log) {}
  void run();

 private:
  enum class Phase { PreLogin, Login, Ready };
  bool handle(const TdsMessage& message);
  bool login(const TdsMessage& message);
  void call(const RpcRequest& request, TokenWriter& out);
  bool send(const TokenWriter& tokens);
  bool sendRaw(const std::vector<uint8_t>& payload);

  int socket_;
  Catalog& catalog_;
  StatementLog& log_;
  Phase phase_ = Phase::PreLogin;
  uint32_t packetSize_ = 4096;
  std::optional<Executor> executor_;
  std::optional<ProcedureCalls> procedures_;
};

}  // namespace sqlstandin
