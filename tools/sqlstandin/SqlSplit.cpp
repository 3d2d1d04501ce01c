#include "SqlSplit.h"

namespace sqlstandin {

namespace {

bool startsStatement(const SqlToken& t) {
  static const char* words[] = {"select", "insert", "update",   "delete", "alter",   "exec",  "execute", "restore",
                                "set",    "use",    "create",   "drop",   "declare", "begin", "commit",  "rollback",
                                "if",     "print",  "truncate", "while",  "return",  "grant", "dbcc"};
  for (const char* w : words) {
    if (isWord(t, w)) {
      return true;
    }
  }
  return false;
}

bool continuesCurrent(const Statement& current, const SqlToken& t) {
  if (current.empty()) {
    return true;
  }
  const SqlToken& previous = current.back();
  if (isWord(t, "select")) {
    if (isWord(previous, "union") || isWord(previous, "all") || isWord(previous, "except") ||
        isWord(previous, "intersect")) {
      return true;
    }
    if (isWord(current.front(), "insert")) {
      for (const auto& u : current) {
        if (isWord(u, "select") || isWord(u, "values")) {
          return false;
        }
      }
      return true;
    }
  }
  if (isWord(t, "set") && isWord(current.front(), "update")) {
    return true;
  }
  return false;
}

}  // namespace

std::vector<Statement> splitStatements(const std::vector<SqlToken>& tokens) {
  std::vector<Statement> statements;
  Statement current;
  int depth = 0;
  for (const auto& t : tokens) {
    if (t.kind == TokenKind::Symbol && t.text == ";" && depth == 0) {
      if (!current.empty()) {
        statements.push_back(std::move(current));
      }
      current.clear();
      continue;
    }
    if (depth == 0 && startsStatement(t) && !continuesCurrent(current, t)) {
      statements.push_back(std::move(current));
      current.clear();
    }
    if (t.kind == TokenKind::Symbol) {
      depth += t.text == "(" ? 1 : t.text == ")" ? -1 : 0;
    }
    current.push_back(t);
  }
  if (!current.empty()) {
    statements.push_back(std::move(current));
  }
  return statements;
}

}  // namespace sqlstandin
