// Conversions between 8-bit code pages and UTF-16 with Windows semantics.
//
// Single-byte code pages are read once from glibc's iconv into a 256-entry
// table and its reverse; UTF-8 is coded here, since Windows's handling of
// malformed sequences (U+FFFD, or failure with MB_ERR_INVALID_CHARS) must be
// exact and iconv's is not the same.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "NoThrow.h"
#include "PathMap.h"
#include "Utf8.h"
#include "codepage.h"
#include "systemroot.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

constexpr char16_t kReplacement = 0xFFFD;

struct SingleByteTable {
  std::array<char16_t, 256> ToWide{};
  std::unordered_map<char16_t, unsigned char> FromWide;
};

// Asks iconv for each byte alone. Bytes the code page leaves undefined map to
// the code point of the same value, as Windows's tables do for 1252's holes.
std::unique_ptr<SingleByteTable> BuildTable(UINT codePage) {
  std::string name = "CP" + std::to_string(codePage);
  iconv_t cd = ::iconv_open("UTF-16LE", name.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return nullptr;
  auto table = std::make_unique<SingleByteTable>();
  bool singleByte = true;
  for (int byte = 0; byte < 256 && singleByte; ++byte) {
    char in = static_cast<char>(byte);
    unsigned char out[8];
    char* inPtr = &in;
    char* outPtr = reinterpret_cast<char*>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    size_t r = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    size_t produced = sizeof out - outLeft;
    char16_t wide = static_cast<char16_t>(byte);
    if (r != static_cast<size_t>(-1) && produced == 2) {
      wide = static_cast<char16_t>(out[0] | (out[1] << 8));
    } else if (r == static_cast<size_t>(-1) && errno == EINVAL) {
      singleByte = false;  // a lead byte: a multi-byte code page
    }
    table->ToWide[byte] = wide;
  }
  ::iconv_close(cd);
  if (!singleByte) return nullptr;
  for (int byte = 255; byte >= 0; --byte) table->FromWide[table->ToWide[byte]] = static_cast<unsigned char>(byte);
  return table;
}

const SingleByteTable* TableFor(UINT codePage) {
  static std::mutex lock;
  static auto* tables = new std::map<UINT, std::unique_ptr<SingleByteTable>>;  // kept for the process's life
  std::lock_guard guard(lock);
  auto it = tables->find(codePage);
  if (it == tables->end()) it = tables->emplace(codePage, BuildTable(codePage)).first;
  return it->second.get();
}

UINT ResolveCodePage(UINT codePage) {
  if (codePage == CP_ACP || codePage == CP_OEMCP) return ConfiguredAnsiCodePage();
  return codePage;
}

bool IsSurrogateHigh(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsSurrogateLow(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp < 0x10000) {
    out += static_cast<char16_t>(cp);
    return;
  }
  cp -= 0x10000;
  out += static_cast<char16_t>(0xD800 + (cp >> 10));
  out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
}

}  // namespace

// Decodes one UTF-8 sequence at `i`. A malformed one (overlong, surrogate,
// above U+10FFFF, cut short) answers nothing after skipping its maximal valid
// prefix, so each broken sequence becomes one U+FFFD, as Windows does.
std::optional<char32_t> DecodeUtf8(const unsigned char* s, size_t n, size_t& i) {
  unsigned char lead = s[i++];
  if (lead < 0x80) return lead;
  int extra = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return std::nullopt;
  }
  char32_t cp = lead & (0x3F >> extra);
  for (int k = 0; k < extra; ++k) {
    if (i >= n) return std::nullopt;
    unsigned char c = s[i];
    bool ok = k == 0 ? (c >= low && c <= high) : (c & 0xC0) == 0x80;
    if (!ok) return std::nullopt;
    cp = (cp << 6) | (c & 0x3F);
    ++i;
  }
  return cp;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

namespace {

// Next code point of UTF-16 text; an unpaired surrogate comes back as itself
// with `valid` false.
char32_t NextUtf16(const char16_t* s, size_t n, size_t& i, bool& valid) {
  char32_t c = s[i++];
  valid = true;
  if (IsSurrogateHigh(c) && i < n && IsSurrogateLow(s[i])) return 0x10000 + ((c - 0xD800) << 10) + (s[i++] - 0xDC00);
  if (IsSurrogateHigh(c) || IsSurrogateLow(c)) valid = false;
  return c;
}

struct Narrowed {
  std::string Text;
  bool UsedDefault = false;
  bool Invalid = false;
};

struct Widened {
  std::u16string Text;
  bool Invalid = false;
};

std::optional<Widened> Widen(UINT codePage, const char* s, size_t n) {
  Widened out;
  if (codePage == CP_UTF8) {
    auto* bytes = reinterpret_cast<const unsigned char*>(s);
    for (size_t i = 0; i < n;) {
      auto cp = DecodeUtf8(bytes, n, i);
      if (!cp) out.Invalid = true;
      AppendUtf16(out.Text, cp.value_or(kReplacement));
    }
    return out;
  }
  const SingleByteTable* table = TableFor(codePage);
  if (!table) return std::nullopt;
  for (size_t i = 0; i < n; ++i) out.Text += table->ToWide[static_cast<unsigned char>(s[i])];
  return out;
}

std::optional<Narrowed> Narrow(UINT codePage, const char16_t* s, size_t n, char defaultChar) {
  Narrowed out;
  const SingleByteTable* table = codePage == CP_UTF8 ? nullptr : TableFor(codePage);
  if (codePage != CP_UTF8 && !table) return std::nullopt;
  for (size_t i = 0; i < n;) {
    bool valid = true;
    char32_t cp = NextUtf16(s, n, i, valid);
    if (!valid) out.Invalid = true;
    if (codePage == CP_UTF8) {
      AppendUtf8(out.Text, valid ? cp : kReplacement);
      continue;
    }
    // Single-byte code pages take UTF-16 unit by unit, as Windows does: a
    // character beyond U+FFFF becomes two default characters.
    if (!valid || cp >= 0x10000) {
      out.Text.append(cp >= 0x10000 ? 2 : 1, defaultChar);
      out.UsedDefault = true;
      continue;
    }
    auto it = table->FromWide.find(static_cast<char16_t>(cp));
    if (it == table->FromWide.end()) {
      out.Text += defaultChar;
      out.UsedDefault = true;
    } else {
      out.Text += static_cast<char>(it->second);
    }
  }
  return out;
}

}  // namespace

std::string AnsiToUtf8(const std::string& ansi) {
  bool ascii = std::all_of(ansi.begin(), ansi.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return ansi;
  auto wide = Widen(ResolveCodePage(CP_ACP), ansi.data(), ansi.size());
  if (!wide) return ansi;
  auto utf8 = Narrow(CP_UTF8, wide->Text.data(), wide->Text.size(), '?');
  return utf8 ? utf8->Text : ansi;
}

std::string Utf8ToAnsi(const std::string& utf8) {
  bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return utf8;
  auto wide = Widen(CP_UTF8, utf8.data(), utf8.size());
  if (!wide) return utf8;
  auto ansi = Narrow(ResolveCodePage(CP_ACP), wide->Text.data(), wide->Text.size(), '?');
  return ansi ? ansi->Text : utf8;
}

}  // namespace qorv::platform

using namespace qorv::platform;

namespace {

constexpr DWORD kMultiByteFlags = 0x1 | 0x2 | 0x4 | MB_ERR_INVALID_CHARS;  // precomposed, composite, glyph chars
constexpr DWORD kWideCharFlags = 0x200 | 0x400 | 0x40 | 0x10 | 0x20 | WC_ERR_INVALID_CHARS | WC_NO_BEST_FIT_CHARS;

// Copies a converted text into the caller's buffer; 0 with
// ERROR_INSUFFICIENT_BUFFER when it does not fit, the size when only asked.
template <class Char>
int StoreConverted(const std::basic_string<Char>& text, Char* out, int outSize) {
  if (text.size() > static_cast<size_t>(INT32_MAX)) return FailWith(ERROR_INVALID_PARAMETER);
  int length = static_cast<int>(text.size());
  if (outSize == 0) return length;
  if (length > outSize) return FailWith(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(out, text.data(), text.size() * sizeof(Char));
  return length;
}

}  // namespace

// The default code page answers when the setting cannot be read.
UINT WINAPI GetACP() {
  return Guarded(UINT{1256}, [] { return ConfiguredAnsiCodePage(); });
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  return Guarded(0, [&]() -> int {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr)) {
      return FailWith(ERROR_INVALID_PARAMETER);
    }
    UINT codePage = ResolveCodePage(CodePage);
    if ((dwFlags & ~kMultiByteFlags) || (codePage == CP_UTF8 && (dwFlags & ~MB_ERR_INVALID_CHARS))) {
      return FailWith(ERROR_INVALID_FLAGS);
    }
    // -1: the text runs to its terminator, which is converted and counted too.
    size_t length = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<size_t>(cbMultiByte);
    auto wide = Widen(codePage, lpMultiByteStr, length);
    if (!wide) return FailWith(ERROR_INVALID_PARAMETER);
    if (wide->Invalid && (dwFlags & MB_ERR_INVALID_CHARS)) return FailWith(ERROR_NO_UNICODE_TRANSLATION);
    return StoreConverted(wide->Text, lpWideCharStr, cchWideChar);
  });
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  return Guarded(0, [&]() -> int {
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr)) {
      return FailWith(ERROR_INVALID_PARAMETER);
    }
    UINT codePage = ResolveCodePage(CodePage);
    if (codePage == CP_UTF8) {
      // UTF-8 has no default character: Windows refuses one being asked for.
      if (lpDefaultChar || lpUsedDefaultChar) return FailWith(ERROR_INVALID_PARAMETER);
      if (dwFlags & ~WC_ERR_INVALID_CHARS) return FailWith(ERROR_INVALID_FLAGS);
    } else if (dwFlags & ~kWideCharFlags) {
      return FailWith(ERROR_INVALID_FLAGS);
    }
    size_t length = 0;
    if (cchWideChar == -1) {
      while (lpWideCharStr[length]) ++length;
      ++length;
    } else {
      length = static_cast<size_t>(cchWideChar);
    }
    char defaultChar = lpDefaultChar ? *lpDefaultChar : '?';
    auto narrow = Narrow(codePage, lpWideCharStr, length, defaultChar);
    if (!narrow) return FailWith(ERROR_INVALID_PARAMETER);
    if (narrow->Invalid && codePage == CP_UTF8 && (dwFlags & WC_ERR_INVALID_CHARS)) {
      return FailWith(ERROR_NO_UNICODE_TRANSLATION);
    }
    int result = StoreConverted(narrow->Text, lpMultiByteStr, cbMultiByte);
    if (result && lpUsedDefaultChar) *lpUsedDefaultChar = narrow->UsedDefault ? TRUE : FALSE;
    return result;
  });
}
