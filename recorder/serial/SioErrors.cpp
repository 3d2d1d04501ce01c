#include "SioErrors.h"

#include <algorithm>
#include <cstdlib>

#include "SioStrings.h"
#include "winerror.h"

namespace {

constexpr std::size_t kMaxErrorText = 255;

// The system range RaiseForCode turns into the framework's I/O errors.
constexpr LONG kLowestSystemCode = -162;
constexpr LONG kHighestSystemCode = -2;
constexpr LONG kOutOfMemoryCode = -8;

std::string TableText(int number) {
  try {
    std::string text = ErrorStringTable().GetString(number);
    if (text.size() > kMaxErrorText) text.resize(kMaxErrorText);
    return text;
  } catch (...) {
    // No table (a damaged build): the system text is the only source left.
    return {};
  }
}

std::string SystemText(int number) {
  char buffer[kMaxErrorText + 1] = {};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, static_cast<DWORD>(number), 0, buffer,
                                static_cast<DWORD>(kMaxErrorText), nullptr);
  if (length == 0) return {};
  return CleanErrorText(std::string_view(buffer, std::min<std::size_t>(length, kMaxErrorText)));
}

}  // namespace

ESioException::ESioException(LONG code) : Exception(ErrorText(code)), code_(code) {}

ESioException::ESioException(std::string message) : Exception(std::move(message)), code_(0) {}

std::string CleanErrorText(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (char c : text) {
    char ch = static_cast<unsigned char>(c) < 32 ? ' ' : c;
    if (ch == ' ' && !result.empty() && result.back() == ' ') continue;
    result += ch;
  }
  return result;
}

std::string ErrorText(LONG code) {
  // Only the low 16 bits of a code name a text; the sign is dropped.
  const int number = std::abs(static_cast<int>(static_cast<SHORT>(code)));
  try {
    std::string text = TableText(number);
    if (!text.empty()) return text;
    return SystemText(number);
  } catch (...) {
    // Only allocation can fail here; an exception then carries no text
    // rather than replacing the failure being reported.
    return {};
  }
}

LONG RaiseForCode(const TComponent* port, LONG code) {
  if (code >= 0) return code;
  // A component being filled from its form must not fail half-way through
  // loading; its after-load step reports what matters.
  if (port && port->IsLoading()) return code;

  switch (code) {
#define SIO_RAISE_CODE(name, value, cls) \
  case value: throw cls(code);
    SIO_ERROR_CODES(SIO_RAISE_CODE)
#undef SIO_RAISE_CODE
    default: break;
  }
  if (code >= kLowestSystemCode && code <= kHighestSystemCode) {
    if (code == kOutOfMemoryCode) throw EOutOfMemory();
    throw EInOutError(ErrorText(-code), -code);
  }
  throw ESioException(std::string("Serial engine exception"));
}
