#include "SioDispatchText.h"

#include <cstdio>

std::string RenderByteItem(BYTE value, bool inHex, bool allHex) {
  char item[8];
  if (allHex) {
    std::snprintf(item, sizeof item, "[%02X]", value);
    return item;
  }
  BYTE firstPrintable = inHex ? 0x21 : 0x20;
  if (value >= firstPrintable && value <= 0x7E) return std::string(1, static_cast<char>(value));
  std::snprintf(item, sizeof item, inHex ? "[%02X]" : "[%u]", static_cast<unsigned>(value));
  return item;
}
