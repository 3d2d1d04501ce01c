#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sqlstandin {

struct Login7 {
  std::string user;
  std::string password;
  std::string database;
  uint32_t packetSize = 4096;
};

// Reads the client's LOGIN7 record; nullopt when an offset or length points
// outside the record.
std::optional<Login7> parseLogin7(const std::vector<uint8_t>& payload);

// Reads the text of an SQL batch after its ALL_HEADERS block; nullopt when
// the headers overrun the message or the text has an odd byte count.
std::optional<std::string> parseSqlBatch(const std::vector<uint8_t>& payload);

// The client's PRELOGIN must be a well-formed option list; the reply offers
// no encryption.
bool preLoginIsValid(const std::vector<uint8_t>& payload);
std::vector<uint8_t> preLoginReply();

}  // namespace sqlstandin
