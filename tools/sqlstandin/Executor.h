#pragma once

#include <optional>
#include <string>

#include "Catalog.h"
#include "SqlSplit.h"
#include "SqlTranslate.h"
#include "TdsTokens.h"

namespace sqlstandin {

// Runs the batches of one connection. A batch with a statement the
// stand-in does not know is refused whole, as the server refuses a batch
// that does not compile; a statement that fails while running ends the
// batch, and what ran before it stays done.
class Executor {
 public:
  Executor(Catalog& catalog, std::string database) : catalog_(catalog), database_(std::move(database)) {}

  // Runs a batch; false when it ended with an error. Inside a procedure
  // call (sp_executesql) each statement ends with DONEINPROC and the values
  // of `bindings` stand in for its parameters.
  bool runBatch(const std::string& text, TokenWriter& out, const Bindings& bindings = {}, bool inProc = false);
  const std::string& database() const { return database_; }

 private:
  std::optional<Message> check(const Statement& statement) const;
  std::optional<Message> execute(const Statement& statement, TokenWriter& out, uint64_t& rows, bool& counted);
  std::optional<Message> runSqlite(const Statement& statement, size_t from, TokenWriter& out, uint64_t& rows,
                                   bool& counted);
  std::optional<Message> procedure(const Statement& statement, size_t nameAt, TokenWriter& out);
  std::optional<Message> attachDatabase(const std::vector<SqlToken>& args);
  std::optional<Message> addLogin(const std::vector<SqlToken>& args);
  std::optional<Message> restore(const Statement& statement, TokenWriter& out);
  std::optional<Message> use(const Statement& statement, TokenWriter& out);

  void done(TokenWriter& out, uint16_t status, uint64_t rows) const;

  Catalog& catalog_;
  std::string database_;
  // The parameters of the batch being run.
  Bindings bindings_;
  bool inProc_ = false;
};

}  // namespace sqlstandin
