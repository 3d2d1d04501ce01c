// Short forms of the registry calls the registry tests repeat.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "windows.h"

namespace qorv::test {

// An opened key, closed at the end of the scope.
class ScopedKey {
 public:
  ScopedKey() = default;
  explicit ScopedKey(HKEY key) : key_(key) {}
  ~ScopedKey() {
    if (key_) RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  HKEY Get() const { return key_; }
  HKEY* Out() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

inline HKEY CreateKey(HKEY root, const std::string& path, REGSAM access = KEY_ALL_ACCESS) {
  HKEY key = nullptr;
  LONG error = RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, access, nullptr, &key, nullptr);
  EXPECT_EQ(error, ERROR_SUCCESS) << path;
  return key;
}

inline LONG SetString(HKEY key, const char* name, const std::string& text) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>(text.size() + 1));
}

inline LONG SetDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

// The value's bytes; empty with the error in `error` when it cannot be read.
inline std::string QueryBytes(HKEY key, const char* name, LONG* error = nullptr, DWORD* type = nullptr) {
  DWORD size = 0;
  LONG result = RegQueryValueExA(key, name, nullptr, type, nullptr, &size);
  std::string data(size, '\0');
  if (result == ERROR_SUCCESS && size) {
    result = RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(data.data()), &size);
    data.resize(size);
  }
  if (error) *error = result;
  return result == ERROR_SUCCESS ? data : std::string();
}

// A REG_SZ value's text without its terminator.
inline std::string QueryString(HKEY key, const char* name) {
  std::string data = QueryBytes(key, name);
  return data.substr(0, data.find('\0'));
}

inline bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = nullptr;
  LONG error = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
  if (error == ERROR_SUCCESS) RegCloseKey(key);
  return error == ERROR_SUCCESS;
}

}  // namespace qorv::test
