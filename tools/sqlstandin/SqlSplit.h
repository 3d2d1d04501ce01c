#pragma once

#include <vector>

#include "SqlLexer.h"

namespace sqlstandin {

using Statement = std::vector<SqlToken>;

// Cuts a batch into statements. Transact-SQL needs no semicolons: a new
// statement begins at a statement keyword outside parentheses, except the
// SELECT that feeds an INSERT and the SET of an UPDATE.
std::vector<Statement> splitStatements(const std::vector<SqlToken>& tokens);

}  // namespace sqlstandin
