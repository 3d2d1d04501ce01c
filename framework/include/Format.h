// Formatting of texts with the framework's conversion rules:
//
//   "%" ["-"] [width] ["." precision] type
//
// Types: d (signed decimal), u (unsigned decimal), x (hexadecimal, upper-case
// digits), s (text), c (one character) and "%%" for a percent sign. Width and
// precision are decimal numbers or "*" (taken from the next argument). A width
// pads with blanks on the left ("-": on the right); a leading zero in the width
// is not a flag ("%08.8x" is width 8, precision 8). For d, u and x the precision
// is the minimum number of digits, padded with zeros; for s it is the maximum
// number of characters taken from the text.
//
// A negative 32-bit value under x or u is taken as its unsigned 32-bit pattern.
// A missing argument, an argument of the wrong kind or an unknown type raises
// EConvertError naming the format.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

class FormatArg {
 public:
  enum class Kind { Integer, Text };

  template <typename T, typename = std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool>>>
  FormatArg(T value)  // NOLINT: implicit by design, so callers write Format("%d", {n})
      : kind_(Kind::Integer), integer_(static_cast<std::int64_t>(value)), wide_(sizeof(T) > 4) {
    if constexpr (std::is_unsigned_v<T> && sizeof(T) >= 8) unsigned64_ = true;
  }
  FormatArg(const char* text) : kind_(Kind::Text), text_(text ? text : "") {}  // NOLINT
  FormatArg(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}   // NOLINT
  FormatArg(std::string_view text) : kind_(Kind::Text), text_(text) {}         // NOLINT

  Kind GetKind() const { return kind_; }
  std::int64_t Integer() const { return integer_; }
  bool IsWide() const { return wide_; }
  bool IsUnsigned64() const { return unsigned64_; }
  std::string_view Text() const { return text_; }

 private:
  Kind kind_;
  std::int64_t integer_ = 0;
  bool wide_ = false;
  bool unsigned64_ = false;
  std::string text_;  // owned, so an argument list may outlive the texts it was made from
};

std::string Format(std::string_view format, std::initializer_list<FormatArg> args);
