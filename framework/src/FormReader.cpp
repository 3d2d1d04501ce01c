#include "FormReader.h"

#include "AnsiStrings.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace {

bool IsIdentStart(char c) { return std::isalpha(static_cast<unsigned char>(c)) || c == '_'; }
bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.'; }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A recursive-descent reader over the raw text; one instance per parse.
class TParser {
 public:
  explicit TParser(std::string_view text) : text_(text) {}

  TFormNode ParseRoot() {
    SkipBlanks();
    TFormNode root = ParseObject();
    SkipBlanks();
    if (!AtEnd()) Fail("unexpected text after the final 'end'");
    return root;
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw EReadError(line_, what); }

  bool AtEnd() const { return pos_ >= text_.size(); }
  char Peek() const { return AtEnd() ? '\0' : text_[pos_]; }

  void SkipBlanks() {
    while (!AtEnd()) {
      char c = text_[pos_];
      if (c == '\n') {
        ++line_;
        ++pos_;
      } else if (c == ' ' || c == '\t' || c == '\r') {
        ++pos_;
      } else {
        return;
      }
    }
  }

  std::string ReadIdent(const char* what) {
    SkipBlanks();
    if (!IsIdentStart(Peek())) Fail(std::string("expected ") + what);
    std::size_t start = pos_;
    while (!AtEnd() && IsIdentChar(text_[pos_])) ++pos_;
    return std::string(text_.substr(start, pos_ - start));
  }

  void Expect(char c, const char* context) {
    SkipBlanks();
    if (Peek() != c) Fail(std::string("expected '") + c + "' " + context);
    ++pos_;
  }

  // Undoes one level of nesting when the object or list is complete.
  struct TNestingLevel {
    int& Depth;
    ~TNestingLevel() { --Depth; }
  };

  // Entered by every object and list before it recurses any further.
  [[nodiscard]] TNestingLevel EnterNestingLevel() {
    if (depth_ >= kMaxFormNesting) {
      Fail("objects and lists nested deeper than " + std::to_string(kMaxFormNesting) + " levels");
    }
    ++depth_;
    return TNestingLevel{depth_};
  }

  TFormNode ParseObject() {
    TFormNode node;
    node.Line = line_;
    auto level = EnterNestingLevel();
    std::string keyword = ReadIdent("'object'");
    if (keyword != "object" && keyword != "inherited" && keyword != "inline") {
      Fail("expected 'object' but found '" + keyword + "'");
    }
    node.Name = ReadIdent("an object name");
    Expect(':', "after the object name");
    node.ClassName = ReadIdent("a class name");
    for (;;) {
      SkipBlanks();
      if (AtEnd()) Fail("missing 'end' of object '" + node.Name + "'");
      std::size_t save = pos_;
      int saveLine = line_;
      std::string word = ReadIdent("a property name, 'object' or 'end'");
      if (word == "end") return node;
      if (word == "object" || word == "inherited" || word == "inline") {
        pos_ = save;
        line_ = saveLine;
        node.Children.push_back(ParseObject());
        continue;
      }
      TFormProperty prop;
      prop.Name = word;
      prop.Line = saveLine;
      Expect('=', "after property name '" + word + "'");
      prop.Value = ParseValue();
      node.Properties.push_back(std::move(prop));
    }
  }

  void Expect(char c, const std::string& context) { Expect(c, context.c_str()); }

  TFormValue ParseValue() {
    SkipBlanks();
    TFormValue v;
    v.Line = line_;
    char c = Peek();
    if (c == '\'' || c == '#') {
      v.Kind = TFormValueKind::String;
      v.Text = ParseStringSum();
    } else if (c == '-' || c == '+' || std::isdigit(static_cast<unsigned char>(c)) || c == '$') {
      ParseNumber(v);
    } else if (IsIdentStart(c)) {
      v.Kind = TFormValueKind::Identifier;
      v.Text = ReadIdent("a value");
    } else if (c == '[') {
      v.Kind = TFormValueKind::Set;
      ParseSet(v);
    } else if (c == '(') {
      v.Kind = TFormValueKind::List;
      auto level = EnterNestingLevel();
      ++pos_;
      for (;;) {
        SkipBlanks();
        if (AtEnd()) Fail("missing ')' of a list");
        if (Peek() == ')') break;
        v.Items.push_back(ParseValue());
      }
      ++pos_;
    } else if (c == '{') {
      v.Kind = TFormValueKind::Binary;
      ParseBinary(v);
    } else if (AtEnd()) {
      Fail("expected a value, found the end of the text");
    } else {
      Fail(std::string("unexpected character '") + c + "' where a value should be");
    }
    return v;
  }

  // Adjacent pieces join; '+' continues a string on the next line.
  std::string ParseStringSum() {
    std::string out = ParseStringPieces();
    for (;;) {
      std::size_t save = pos_;
      int saveLine = line_;
      SkipBlanks();
      if (Peek() != '+') {
        pos_ = save;
        line_ = saveLine;
        return out;
      }
      ++pos_;
      SkipBlanks();
      if (Peek() != '\'' && Peek() != '#') Fail("expected a string after '+'");
      out += ParseStringPieces();
    }
  }

  std::string ParseStringPieces() {
    std::string out;
    for (;;) {
      char c = Peek();
      if (c == '\'') {
        ++pos_;
        for (;;) {
          if (AtEnd() || Peek() == '\n') Fail("unterminated string");
          char d = text_[pos_++];
          if (d == '\'') {
            if (Peek() != '\'') break;
            ++pos_;
          }
          out += d;
        }
      } else if (c == '#') {
        ++pos_;
        std::size_t start = pos_;
        while (std::isdigit(static_cast<unsigned char>(Peek()))) ++pos_;
        if (start == pos_) Fail("expected a character code after '#'");
        std::uint32_t code = 0;
        auto [p, ec] = std::from_chars(text_.data() + start, text_.data() + pos_, code);
        if (ec != std::errc() || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
          Fail("character code out of range");
        }
        AppendUtf8(out, code);
      } else {
        return out;
      }
    }
  }

  void ParseNumber(TFormValue& v) {
    std::size_t start = pos_;
    bool negative = false;
    if (Peek() == '-' || Peek() == '+') {
      negative = Peek() == '-';
      ++pos_;
    }
    if (Peek() == '$') {
      ++pos_;
      std::size_t digits = pos_;
      while (HexDigit(Peek()) >= 0) ++pos_;
      if (digits == pos_ || pos_ - digits > 16) Fail("bad hexadecimal number");
      std::uint64_t value = 0;
      std::from_chars(text_.data() + digits, text_.data() + pos_, value, 16);
      v.Kind = TFormValueKind::Integer;
      // $FFFFFFFF style constants are 32-bit patterns, as colours are.
      v.Integer = pos_ - digits <= 8 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(value))
                                     : static_cast<std::int64_t>(value);
      if (negative) v.Integer = -v.Integer;
      return;
    }
    std::size_t digits = pos_;
    while (std::isdigit(static_cast<unsigned char>(Peek()))) ++pos_;
    if (digits == pos_) Fail("expected a number");
    bool isFloat = false;
    if (Peek() == '.' && pos_ + 1 < text_.size() && std::isdigit(static_cast<unsigned char>(text_[pos_ + 1]))) {
      isFloat = true;
      ++pos_;
      while (std::isdigit(static_cast<unsigned char>(Peek()))) ++pos_;
    }
    if (Peek() == 'e' || Peek() == 'E') {
      isFloat = true;
      ++pos_;
      if (Peek() == '-' || Peek() == '+') ++pos_;
      while (std::isdigit(static_cast<unsigned char>(Peek()))) ++pos_;
    }
    std::string literal(text_.substr(start, pos_ - start));
    if (isFloat) {
      v.Kind = TFormValueKind::Float;
      v.Float = std::strtod(literal.c_str(), nullptr);
      return;
    }
    v.Kind = TFormValueKind::Integer;
    auto [p, ec] = std::from_chars(literal.data() + (literal[0] == '+'), literal.data() + literal.size(), v.Integer);
    if (ec != std::errc()) Fail("number out of range: " + literal);
  }

  void ParseSet(TFormValue& v) {
    ++pos_;
    SkipBlanks();
    if (Peek() == ']') {
      ++pos_;
      return;
    }
    for (;;) {
      v.Names.push_back(ReadIdent("a set element"));
      SkipBlanks();
      if (Peek() == ']') {
        ++pos_;
        return;
      }
      if (Peek() != ',') Fail("expected ',' or ']' in a set");
      ++pos_;
    }
  }

  void ParseBinary(TFormValue& v) {
    ++pos_;
    int high = -1;
    for (;;) {
      SkipBlanks();
      if (AtEnd()) Fail("missing '}' of binary data");
      char c = text_[pos_++];
      if (c == '}') break;
      int digit = HexDigit(c);
      if (digit < 0) Fail(std::string("bad character '") + c + "' in binary data");
      if (high < 0) {
        high = digit;
      } else {
        v.Bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
        high = -1;
      }
    }
    if (high >= 0) Fail("binary data has an odd number of hexadecimal digits");
  }

  std::string_view text_;
  std::size_t pos_ = 0;
  int line_ = 1;
  int depth_ = 0;
};

}  // namespace

EReadError::EReadError(int line, const std::string& what)
    : Exception("Form description, line " + std::to_string(line) + ": " + what), line_(line) {}

TFormNode ParseFormDescription(std::string_view text) {
  return TranslateOutOfMemory([text] { return TParser(text).ParseRoot(); });
}
