#pragma once

#include <optional>
#include <string>
#include <vector>

namespace sqlstandin {

enum class TokenKind { Word, Quoted, String, Number, Variable, Symbol };

// One token of a Transact-SQL batch. `text` holds the value: a string
// literal or a bracketed name without its quotes and with doubled quotes
// undone.
struct SqlToken {
  TokenKind kind = TokenKind::Word;
  std::string text;
  bool national = false;  // N'...'
  bool doubleQuoted = false;
};

struct LexError {
  int number = 0;
  std::string text;
};

// Splits a batch into tokens, dropping blanks and comments. An unclosed
// string or name fails with the server's error.
std::vector<SqlToken> lexSql(const std::string& batch, std::optional<LexError>& error);

bool isWord(const SqlToken& token, const char* word);
std::string lowerAscii(std::string text);

}  // namespace sqlstandin
