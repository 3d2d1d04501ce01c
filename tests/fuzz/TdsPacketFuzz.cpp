// The stand-in's receive side over arbitrary bytes from the network:
// packet joining, the pre-login and login records, batch text and its
// statement splitting, procedure calls with their parameters and the
// statement an sp_executesql call carries. Nothing here may crash or read
// out of bounds.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "SqlLexer.h"
#include "SqlSplit.h"
#include "SqlTranslate.h"
#include "TdsPacket.h"
#include "TdsRequest.h"
#include "TdsRpc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace sqlstandin;
  std::vector<uint8_t> buffer(data, data + size);
  TdsMessage message;
  while (takeMessage(buffer, message) == TakeResult::Message) {
    preLoginIsValid(message.payload);
    parseLogin7(message.payload);
    if (auto text = parseSqlBatch(message.payload)) {
      std::optional<LexError> error;
      auto tokens = lexSql(*text, error);
      for (const auto& statement : splitStatements(tokens)) {
        translateToSqlite(statement, 0, "master");
      }
    }
    if (auto call = parseRpc(message.payload)) {
      Bindings bindings;
      for (const auto& p : call->parameters) {
        bindings[lowerAscii(p.name)] = p.value;
      }
      if (!call->parameters.empty()) {
        if (const auto* text = std::get_if<std::string>(&call->parameters[0].value)) {
          std::optional<LexError> error;
          auto tokens = lexSql(*text, error);
          for (const auto& statement : splitStatements(tokens)) {
            translateToSqlite(statement, 0, "master", bindings);
          }
        }
      }
    }
  }
  return 0;
}
