#include "SqlTranslate.h"

#include <cstdio>

namespace sqlstandin {

namespace {

bool isName(const SqlToken& t) { return t.kind == TokenKind::Word || t.kind == TokenKind::Quoted; }

bool isDot(const std::vector<SqlToken>& tokens, size_t i) {
  return i < tokens.size() && tokens[i].kind == TokenKind::Symbol && tokens[i].text == ".";
}

std::string literal(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') {
      out += '\'';
    }
  }
  return out + "'";
}

std::string nameText(const SqlToken& t) { return t.kind == TokenKind::Quoted ? sqliteIdentifier(t.text) : t.text; }

// The server-wide values a client may ask for.
std::optional<std::string> globalValue(const std::string& name) {
  std::string lower = lowerAscii(name);
  if (lower == "@@spid") {
    return "51";
  }
  if (lower == "@@trancount" || lower == "@@error") {
    return "0";
  }
  if (lower == "@@version") {
    return "'Microsoft SQL Server stand-in'";
  }
  if (lower == "@@servername") {
    return "'QORVSQL'";
  }
  if (lower == "@@identity") {
    return "last_insert_rowid()";
  }
  if (lower == "@@rowcount") {
    return "changes()";
  }
  return std::nullopt;
}

}  // namespace

std::string sqliteIdentifier(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  return out + "\"";
}

std::string sqliteLiteral(const Value& value) {
  if (const auto* n = std::get_if<int64_t>(&value)) {
    return std::to_string(*n);
  }
  if (const auto* d = std::get_if<double>(&value)) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", *d);
    return text;
  }
  if (const auto* s = std::get_if<std::string>(&value)) {
    return literal(*s);
  }
  return "NULL";
}

Translation translateToSqlite(const std::vector<SqlToken>& tokens, size_t from, const std::string& currentDb,
                              const Bindings& bindings) {
  Translation result;
  std::string& sql = result.sql;
  for (size_t i = from; i < tokens.size(); ++i) {
    const SqlToken& t = tokens[i];
    if (!sql.empty()) {
      sql += ' ';
    }
    if (isName(t) && isDot(tokens, i + 1)) {
      // Collect the dotted chain, an empty part standing for the schema.
      std::vector<std::string> parts{t.text};
      std::vector<const SqlToken*> partTokens{&t};
      size_t j = i + 1;
      while (isDot(tokens, j)) {
        if (j + 1 < tokens.size() && isName(tokens[j + 1])) {
          parts.push_back(tokens[j + 1].text);
          partTokens.push_back(&tokens[j + 1]);
          j += 2;
        } else if (isDot(tokens, j + 1)) {
          parts.emplace_back();
          partTokens.push_back(nullptr);
          j += 1;
        } else {
          break;
        }
      }
      if (partTokens.back() == nullptr) {
        result.error = LexError{102, "Incorrect syntax near '.'."};
        return result;
      }
      if (parts.size() > 3) {
        result.error = LexError{117, "The object name '" + t.text +
                                         "...' contains more than the maximum number of prefixes. The maximum is 2."};
        return result;
      }
      if (parts.size() == 3) {
        if (lowerAscii(parts[0]) == lowerAscii(currentDb)) {
          sql += nameText(*partTokens[2]);
        } else {
          result.databases.push_back(parts[0]);
          sql += sqliteIdentifier(lowerAscii(parts[0])) + "." + nameText(*partTokens[2]);
        }
        i = j - 1;
        continue;
      }
      if (parts.size() == 2 && partTokens[1] != nullptr && lowerAscii(parts[0]) == "dbo") {
        sql += nameText(*partTokens[1]);
        i = j - 1;
        continue;
      }
    }
    switch (t.kind) {
      case TokenKind::Quoted: sql += sqliteIdentifier(t.text); break;
      case TokenKind::String: sql += literal(t.text); break;
      case TokenKind::Variable: {
        if (auto bound = bindings.find(lowerAscii(t.text)); bound != bindings.end()) {
          sql += sqliteLiteral(bound->second);
          break;
        }
        auto value = globalValue(t.text);
        if (!value) {
          result.error = LexError{137, "Must declare the scalar variable \"" + t.text + "\"."};
          return result;
        }
        sql += *value;
        break;
      }
      default: sql += t.text; break;
    }
  }
  return result;
}

}  // namespace sqlstandin
