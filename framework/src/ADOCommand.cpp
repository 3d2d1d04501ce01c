// The SQL command: its own connection for each Execute, the text sent as it
// is, the server's refusal raised with the server's words.
#include <sqlsession.h>

#include "ADODB.h"

EADOError::EADOError(std::string message, int nativeError, std::string sqlState)
    : EDatabaseError(std::move(message)), nativeError_(nativeError), sqlState_(std::move(sqlState)) {}

namespace {

template <class S>
S Quoted(const S& text) {
  S out;
  out.reserve(text.size() + 2);
  out += '\'';
  for (auto c : text) {
    out += c;
    if (c == '\'') out += c;
  }
  out += '\'';
  return out;
}

}  // namespace

std::string QuotedStr(const std::string& text) { return Quoted(text); }
WideString QuotedStr(const WideString& text) { return Quoted(text); }

TADOCommand::TADOCommand(TComponent* owner) : TComponent(owner) {}

TADOCommand::~TADOCommand() = default;

void TADOCommand::Execute() {
  if (commandText_.empty()) {
    throw EADOError("Command text was not set for the command object.", 0, "HY009");
  }
  try {
    qorv::platform::SqlSession session(connectionString_);
    session.Execute(commandText_, {}, commandTimeout_);
  } catch (const qorv::platform::SqlError& e) {
    throw EADOError(e.what(), e.NativeError(), e.SqlState());
  }
}
