#include "Format.h"

#include <cstddef>
#include <vector>

#include "Exceptions.h"

namespace {

struct Spec {
  bool leftJustify = false;
  int width = -1;
  int precision = -1;
  char type = 0;
};

class Formatter {
 public:
  Formatter(std::string_view format, std::initializer_list<FormatArg> args)
      : format_(format), args_(args.begin(), args.end()) {}

  std::string Run() {
    while (pos_ < format_.size()) {
      char c = format_[pos_++];
      if (c != '%') {
        out_ += c;
        continue;
      }
      if (pos_ < format_.size() && format_[pos_] == '%') {
        out_ += '%';
        ++pos_;
        continue;
      }
      Convert(ParseSpec());
    }
    return std::move(out_);
  }

 private:
  [[noreturn]] void Fail() const {
    throw EConvertError("Format '" + std::string(format_) + "' invalid or incompatible with argument");
  }

  const FormatArg& NextArg() {
    if (next_ >= args_.size()) Fail();
    return args_[next_++];
  }

  int ParseNumberOrStar() {
    if (pos_ < format_.size() && format_[pos_] == '*') {
      ++pos_;
      const FormatArg& a = NextArg();
      if (a.GetKind() != FormatArg::Kind::Integer) Fail();
      return a.Integer() < 0 ? -1 : static_cast<int>(a.Integer());
    }
    int value = -1;
    while (pos_ < format_.size() && format_[pos_] >= '0' && format_[pos_] <= '9') {
      value = (value < 0 ? 0 : value) * 10 + (format_[pos_++] - '0');
      if (value > 100000) Fail();
    }
    return value;
  }

  Spec ParseSpec() {
    Spec s;
    if (pos_ < format_.size() && format_[pos_] == '-') {
      s.leftJustify = true;
      ++pos_;
    }
    s.width = ParseNumberOrStar();
    if (pos_ < format_.size() && format_[pos_] == '.') {
      ++pos_;
      s.precision = ParseNumberOrStar();
      if (s.precision < 0) s.precision = 0;
    }
    if (pos_ >= format_.size()) Fail();
    s.type = format_[pos_++];
    if (s.type >= 'A' && s.type <= 'Z') s.type = static_cast<char>(s.type - 'A' + 'a');
    return s;
  }

  static std::string Digits(std::uint64_t v, unsigned base) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string d;
    do {
      d.insert(d.begin(), kDigits[v % base]);
      v /= base;
    } while (v != 0);
    return d;
  }

  // The unsigned pattern of an integer argument: 32 bits unless it came from
  // a 64-bit type.
  static std::uint64_t Pattern(const FormatArg& a) {
    if (a.IsWide()) return static_cast<std::uint64_t>(a.Integer());
    return static_cast<std::uint32_t>(a.Integer());
  }

  std::string Number(const Spec& s, const FormatArg& a) {
    if (a.GetKind() != FormatArg::Kind::Integer) Fail();
    bool negative = false;
    std::string digits;
    if (s.type == 'd' && !a.IsUnsigned64() && a.Integer() < 0) {
      negative = true;
      digits = Digits(0 - static_cast<std::uint64_t>(a.Integer()), 10);
    } else {
      digits = Digits(s.type == 'd' ? static_cast<std::uint64_t>(a.Integer()) : Pattern(a), s.type == 'x' ? 16 : 10);
    }
    if (s.precision > 0 && digits.size() < static_cast<std::size_t>(s.precision))
      digits.insert(0, static_cast<std::size_t>(s.precision) - digits.size(), '0');
    return negative ? "-" + digits : digits;
  }

  void Convert(const Spec& s) {
    std::string item;
    switch (s.type) {
      case 'd':
      case 'u':
      case 'x': item = Number(s, NextArg()); break;
      case 's': {
        const FormatArg& a = NextArg();
        if (a.GetKind() != FormatArg::Kind::Text) Fail();
        std::string_view t = a.Text();
        if (s.precision >= 0 && t.size() > static_cast<std::size_t>(s.precision)) t = t.substr(0, s.precision);
        item = std::string(t);
        break;
      }
      case 'c': {
        const FormatArg& a = NextArg();
        if (a.GetKind() != FormatArg::Kind::Integer) Fail();
        item = std::string(1, static_cast<char>(a.Integer()));
        break;
      }
      default: Fail();
    }
    std::size_t pad = s.width > 0 && item.size() < static_cast<std::size_t>(s.width) ? s.width - item.size() : 0;
    if (s.leftJustify) {
      out_ += item;
      out_.append(pad, ' ');
    } else {
      out_.append(pad, ' ');
      out_ += item;
    }
  }

  std::string_view format_;
  std::vector<FormatArg> args_;
  std::size_t pos_ = 0;
  std::size_t next_ = 0;
  std::string out_;
};

}  // namespace

std::string Format(std::string_view format, std::initializer_list<FormatArg> args) {
  return Formatter(format, args).Run();
}
