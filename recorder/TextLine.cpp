#include "TextLine.h"

#include <string_view>

namespace qorv::recorder {
namespace {

bool IsKeptTextByte(unsigned char c) {
  if (c >= '0' && c <= '9') return true;
  if (c >= 'A' && c <= 'Z') return true;
  if (c >= 'a' && c <= 'z') return true;
  return std::string_view(" #*,./:;=").find(static_cast<char>(c)) != std::string_view::npos;
}

constexpr std::string_view kCallerIdTag = ":CallerID:";
constexpr size_t kCallerIdPrefixLength = 2 + kCallerIdTag.size();  // "L<d>" then the tag

}  // namespace

std::string FilterTextLine(const std::string& raw) {
  std::string kept;
  kept.reserve(raw.size());
  for (const char c : raw) {
    if (IsKeptTextByte(static_cast<unsigned char>(c))) kept += c;
  }
  return kept;
}

std::optional<std::string> CallerIdFromLine(const std::string& filtered) {
  if (filtered.size() < kCallerIdPrefixLength) return std::nullopt;
  if (filtered[0] != 'L') return std::nullopt;
  const char lineDigit = filtered[1];
  if (lineDigit < '1' || lineDigit > '9') return std::nullopt;
  if (std::string_view(filtered).substr(2, kCallerIdTag.size()) != kCallerIdTag) return std::nullopt;

  const size_t blank = filtered.find(' ', kCallerIdPrefixLength);
  const std::string number = filtered.substr(
      kCallerIdPrefixLength, blank == std::string::npos ? std::string::npos : blank - kCallerIdPrefixLength);
  return std::string("L") + lineDigit + number;
}

}  // namespace qorv::recorder
