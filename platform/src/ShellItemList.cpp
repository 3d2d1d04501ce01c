#include "ShellItemList.h"

#include <cstring>

#include "fileapi.h"
#include "objbase.h"

namespace qorv::platform {

namespace {

constexpr char kTag[4] = {'Q', 'P', 'T', 'H'};
constexpr std::size_t kCountBytes = sizeof(USHORT);

}  // namespace

LPITEMIDLIST MakePathItemList(const std::string& windowsPath) {
  if (windowsPath.size() >= MAX_PATH) return nullptr;
  std::size_t itemBytes = kCountBytes + sizeof kTag + windowsPath.size() + 1;
  auto* bytes = static_cast<BYTE*>(CoTaskMemAlloc(itemBytes + kCountBytes));
  if (!bytes) return nullptr;
  auto count = static_cast<USHORT>(itemBytes);
  std::memcpy(bytes, &count, kCountBytes);
  std::memcpy(bytes + kCountBytes, kTag, sizeof kTag);
  std::memcpy(bytes + kCountBytes + sizeof kTag, windowsPath.c_str(), windowsPath.size() + 1);
  std::memset(bytes + itemBytes, 0, kCountBytes);
  return reinterpret_cast<LPITEMIDLIST>(bytes);
}

std::optional<std::string> PathOfItemList(LPCITEMIDLIST list) {
  if (!list) return std::nullopt;
  const auto* bytes = reinterpret_cast<const BYTE*>(list);
  USHORT count = 0;
  std::memcpy(&count, bytes, kCountBytes);
  if (count < kCountBytes + sizeof kTag + 1 || count > kCountBytes + sizeof kTag + MAX_PATH) return std::nullopt;
  if (std::memcmp(bytes + kCountBytes, kTag, sizeof kTag) != 0) return std::nullopt;
  const char* text = reinterpret_cast<const char*>(bytes + kCountBytes + sizeof kTag);
  std::size_t textBytes = count - kCountBytes - sizeof kTag;
  if (text[textBytes - 1] != '\0') return std::nullopt;
  USHORT next = 1;
  std::memcpy(&next, bytes + count, kCountBytes);
  if (next != 0) return std::nullopt;
  return std::string(text);
}

}  // namespace qorv::platform
