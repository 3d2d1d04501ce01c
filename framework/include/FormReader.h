// Stored form descriptions: the readable text form
//
//   object Form1: TForm1
//     Caption = 'Title'#1575
//     Font.Style = [fsBold]
//     Picture.Data = { 89504E47... }
//     object Label1: TLabel
//       Left = 8
//     end
//   end
//
// is parsed into a tree of nodes that keep their line numbers; applying the
// tree to components is the loader's job. Quoted strings are UTF-8 here;
// #nnn inserts the Unicode character nnn.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Exceptions.h"

// A description that cannot be read or applied. The message names the line.
class EReadError : public Exception {
 public:
  EReadError(int line, const std::string& what);
  int Line() const { return line_; }

 private:
  int line_;
};

enum class TFormValueKind { Integer, Float, String, Identifier, Set, List, Binary };

struct TFormValue {
  TFormValueKind Kind = TFormValueKind::Integer;
  int Line = 0;
  std::int64_t Integer = 0;
  double Float = 0;
  std::string Text;                 // String (UTF-8) or Identifier
  std::vector<std::string> Names;   // Set
  std::vector<TFormValue> Items;    // List
  std::vector<std::uint8_t> Bytes;  // Binary
};

struct TFormProperty {
  std::string Name;  // may be dotted: "Font.Name"
  TFormValue Value;
  int Line = 0;
};

struct TFormNode {
  std::string Name;
  std::string ClassName;
  int Line = 0;
  std::vector<TFormProperty> Properties;
  std::vector<TFormNode> Children;
};

// How deep objects and lists may nest, counted together, the root object
// being level 1. Real forms stay within a handful of levels; the limit keeps a
// hostile stream from exhausting the stack of the reader, the loader and the
// tree's destructors.
constexpr int kMaxFormNesting = 256;

// Parses one description with a single root object; raises EReadError at the
// first thing it cannot read (nesting past kMaxFormNesting included), and
// EOutOfMemory when memory runs out.
TFormNode ParseFormDescription(std::string_view text);
