#include "SqlLexer.h"

#include <strings.h>
#include <cctype>

namespace sqlstandin {

namespace {

bool wordChar(unsigned char c) { return std::isalnum(c) || c == '_' || c == '#' || c == '$' || c >= 0x80; }

// Reads a quoted run closed by `close`, a doubled `close` standing for one.
bool readQuoted(const std::string& s, size_t& i, char close, std::string& out) {
  ++i;
  while (i < s.size()) {
    if (s[i] == close) {
      if (i + 1 < s.size() && s[i + 1] == close) {
        out += close;
        i += 2;
        continue;
      }
      ++i;
      return true;
    }
    out += s[i++];
  }
  return false;
}

}  // namespace

std::string lowerAscii(std::string text) {
  for (auto& c : text) {
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

bool isWord(const SqlToken& token, const char* word) {
  return token.kind == TokenKind::Word && strcasecmp(token.text.c_str(), word) == 0;
}

std::vector<SqlToken> lexSql(const std::string& s, std::optional<LexError>& error) {
  std::vector<SqlToken> tokens;
  size_t i = 0;
  while (i < s.size()) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (std::isspace(c)) {
      ++i;
    } else if (s.compare(i, 2, "--") == 0) {
      while (i < s.size() && s[i] != '\n') {
        ++i;
      }
    } else if (s.compare(i, 2, "/*") == 0) {
      size_t end = s.find("*/", i + 2);
      if (end == std::string::npos) {
        error = LexError{113, "Missing end comment mark '*/'."};
        return {};
      }
      i = end + 2;
    } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < s.size() && s[i + 1] == '\'')) {
      SqlToken t{TokenKind::String, {}, c != '\'', false};
      size_t start = i;
      if (t.national) {
        ++i;
      }
      if (!readQuoted(s, i, '\'', t.text)) {
        error = LexError{105, "Unclosed quotation mark after the character string '" + s.substr(start) + "'."};
        return {};
      }
      tokens.push_back(std::move(t));
    } else if (c == '[' || c == '"') {
      SqlToken t{TokenKind::Quoted, {}, false, c == '"'};
      if (!readQuoted(s, i, c == '[' ? ']' : '"', t.text)) {
        error = LexError{105, "Unclosed quotation mark after the character string '" + t.text + "'."};
        return {};
      }
      tokens.push_back(std::move(t));
    } else if (std::isdigit(c)) {
      size_t start = i;
      while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) {
        ++i;
      }
      tokens.push_back({TokenKind::Number, s.substr(start, i - start)});
    } else if (c == '@' || wordChar(c)) {
      size_t start = i;
      while (i < s.size() && s[i] == '@') {
        ++i;
      }
      while (i < s.size() && wordChar(static_cast<unsigned char>(s[i]))) {
        ++i;
      }
      tokens.push_back({c == '@' ? TokenKind::Variable : TokenKind::Word, s.substr(start, i - start)});
    } else {
      static const char* pairs[] = {"<>", "<=", ">=", "!=", "||"};
      std::string symbol(1, static_cast<char>(c));
      for (const char* pair : pairs) {
        if (s.compare(i, 2, pair) == 0) {
          symbol = pair;
        }
      }
      i += symbol.size();
      tokens.push_back({TokenKind::Symbol, symbol});
    }
  }
  return tokens;
}

}  // namespace sqlstandin
