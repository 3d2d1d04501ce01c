#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "TdsTokens.h"

namespace sqlstandin {

// Well-known procedure numbers a client may send in place of a name.
constexpr uint16_t kProcExecuteSql = 10;
constexpr uint16_t kProcPrepare = 11;
constexpr uint16_t kProcExecute = 12;
constexpr uint16_t kProcPrepExec = 13;
constexpr uint16_t kProcUnprepare = 15;
// The most a parameter sent in chunks may hold.
constexpr size_t kMaxPlpBytes = 16 * 1024 * 1024;

struct RpcParameter {
  std::string name;  // with its '@', as sent; may be empty (positional)
  Value value;
  std::string typeName;  // the SQL Server type it was sent as, for the log
};

struct RpcRequest {
  std::string procedure;  // the name, or the well-known name of its number
  uint16_t procedureId = 0;
  std::vector<RpcParameter> parameters;
};

// Reads one remote procedure call: ALL_HEADERS, the procedure's name or
// number, option flags and the parameters. The bytes come from an untrusted
// peer: any length that overruns the message, an unknown type or a second
// call in the same message gives nullopt.
std::optional<RpcRequest> parseRpc(const std::vector<uint8_t>& payload);

}  // namespace sqlstandin
