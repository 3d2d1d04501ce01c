#include "TdsRequest.h"

#include "Utf16.h"

namespace sqlstandin {

namespace {

uint32_t readLe32(const std::vector<uint8_t>& p, size_t at) {
  return p[at] | (p[at + 1] << 8) | (p[at + 2] << 16) | (static_cast<uint32_t>(p[at + 3]) << 24);
}

uint16_t readLe16(const std::vector<uint8_t>& p, size_t at) { return static_cast<uint16_t>(p[at] | (p[at + 1] << 8)); }

// One offset/length pair of LOGIN7's variable part, lengths in characters.
std::optional<std::string> loginText(const std::vector<uint8_t>& p, size_t pairAt, bool password) {
  size_t offset = readLe16(p, pairAt);
  size_t chars = readLe16(p, pairAt + 2);
  if (offset + chars * 2 > p.size()) {
    return std::nullopt;
  }
  std::vector<uint8_t> bytes(p.begin() + static_cast<long>(offset), p.begin() + static_cast<long>(offset + chars * 2));
  if (password) {
    // The client swaps the nibbles of each byte and XORs it with 0xA5.
    for (auto& b : bytes) {
      b ^= 0xA5;
      b = static_cast<uint8_t>((b << 4) | (b >> 4));
    }
  }
  return utf16leToUtf8(bytes.data(), chars);
}

constexpr size_t kLoginFixedBytes = 94;

}  // namespace

std::optional<Login7> parseLogin7(const std::vector<uint8_t>& payload) {
  if (payload.size() < kLoginFixedBytes || readLe32(payload, 0) > payload.size()) {
    return std::nullopt;
  }
  Login7 login;
  login.packetSize = readLe32(payload, 8);
  auto user = loginText(payload, 40, false);
  auto password = loginText(payload, 44, true);
  auto database = loginText(payload, 68, false);
  if (!user || !password || !database) {
    return std::nullopt;
  }
  login.user = *user;
  login.password = *password;
  login.database = *database;
  return login;
}

std::optional<std::string> parseSqlBatch(const std::vector<uint8_t>& payload) {
  size_t start = 0;
  if (payload.size() >= 4) {
    uint32_t headers = readLe32(payload, 0);
    // Without ALL_HEADERS the first four bytes are text, which never
    // spells a length in the range a header block may have.
    if (headers >= 4 && headers <= payload.size() && headers < 0x10000) {
      start = headers;
    }
  }
  if ((payload.size() - start) % 2 != 0) {
    return std::nullopt;
  }
  return utf16leToUtf8(payload.data() + start, (payload.size() - start) / 2);
}

bool preLoginIsValid(const std::vector<uint8_t>& payload) {
  size_t at = 0;
  while (at < payload.size()) {
    if (payload[at] == 0xFF) {
      return true;
    }
    if (at + 5 > payload.size()) {
      return false;
    }
    size_t offset = (payload[at + 1] << 8) | payload[at + 2];
    size_t length = (payload[at + 3] << 8) | payload[at + 4];
    if (offset + length > payload.size()) {
      return false;
    }
    at += 5;
  }
  return false;
}

std::vector<uint8_t> preLoginReply() {
  // VERSION, ENCRYPTION (not supported), INSTOPT, THREADID, MARS.
  const uint8_t options[][2] = {{0x00, 6}, {0x01, 1}, {0x02, 1}, {0x03, 4}, {0x04, 1}};
  std::vector<uint8_t> out;
  size_t offset = sizeof(options) / sizeof(options[0]) * 5 + 1;
  for (const auto& option : options) {
    out.insert(out.end(), {option[0], static_cast<uint8_t>(offset >> 8), static_cast<uint8_t>(offset), 0, option[1]});
    offset += option[1];
  }
  out.push_back(0xFF);
  out.insert(out.end(), {16, 0, 0x10, 0x7F, 0, 0});  // 16.0.4223
  out.push_back(0x02);
  out.push_back(0x00);
  out.insert(out.end(), {0, 0, 0, 0});
  out.push_back(0x00);
  return out;
}

}  // namespace sqlstandin
