// Identifiers as text: the braced GUID form, and the ProgIDs that the
// registry maps to class identifiers and back.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "ComRuntime.h"
#include "NoThrow.h"
#include "codepage.h"
#include "winreg.h"

namespace qorv::platform {

namespace {

constexpr size_t kGuidTextLength = 38;  // braces, 32 digits, 4 dashes

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  return -1;
}

// Reads `digits` hex digits at `at`; false when one is not a digit.
bool ReadHex(const std::u16string& text, size_t at, int digits, unsigned long long* value) {
  *value = 0;
  for (int i = 0; i < digits; ++i) {
    int d = HexDigit(text[at + static_cast<size_t>(i)]);
    if (d < 0) return false;
    *value = (*value << 4) | static_cast<unsigned>(d);
  }
  return true;
}

std::u16string OleText(LPCOLESTR text) { return text ? std::u16string(text) : std::u16string(); }

}  // namespace

std::optional<std::string> ClassesRootDefault(const std::string& subKey) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, subKey.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return std::nullopt;
  std::optional<std::string> result;
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
      (type == REG_SZ || type == REG_EXPAND_SZ)) {
    std::string value(size, '\0');
    if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) == ERROR_SUCCESS) {
      value.resize(std::min<size_t>(size, value.size()));
      // The stored length counts the terminator; a writer may have left it off.
      if (auto zero = value.find('\0'); zero != std::string::npos) value.resize(zero);
      result = value;
    }
  }
  RegCloseKey(key);
  return result;
}

std::string OleToAnsi(LPCOLESTR text) {
  if (!text || !*text) return {};
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, out.data(), size, nullptr, nullptr);
  out.resize(static_cast<size_t>(size) - 1);
  return out;
}

std::u16string AnsiToOle(const std::string& text) {
  if (text.empty()) return {};
  int size = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (size <= 0) return {};
  std::u16string out(static_cast<size_t>(size), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, out.data(), size);
  out.resize(static_cast<size_t>(size) - 1);
  return out;
}

std::string GuidToString(REFGUID guid) {
  char text[kGuidTextLength + 1];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", guid.Data1, guid.Data2,
                guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                guid.Data4[6], guid.Data4[7]);
  return text;
}

bool ParseGuid(const std::u16string& text, GUID* guid) {
  if (text.size() != kGuidTextLength || text.front() != u'{' || text.back() != u'}') return false;
  if (text[9] != u'-' || text[14] != u'-' || text[19] != u'-' || text[24] != u'-') return false;
  unsigned long long v = 0;
  GUID out{};
  if (!ReadHex(text, 1, 8, &v)) return false;
  out.Data1 = static_cast<DWORD>(v);
  if (!ReadHex(text, 10, 4, &v)) return false;
  out.Data2 = static_cast<WORD>(v);
  if (!ReadHex(text, 15, 4, &v)) return false;
  out.Data3 = static_cast<WORD>(v);
  // The fourth group holds the first two bytes of Data4, the fifth the rest.
  static constexpr size_t kByteAt[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!ReadHex(text, kByteAt[i], 2, &v)) return false;
    out.Data4[i] = static_cast<BYTE>(v);
  }
  *guid = out;
  return true;
}

}  // namespace qorv::platform

using namespace qorv::platform;

int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (!lpsz || cchMax < static_cast<int>(kGuidTextLength + 1)) return 0;
  std::string text = GuidToString(rguid);
  for (size_t i = 0; i < text.size(); ++i) lpsz[i] = static_cast<OLECHAR>(text[i]);
  lpsz[text.size()] = 0;
  return static_cast<int>(text.size() + 1);
}

HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (!lpiid) return E_INVALIDARG;
  // A null string stands for the null identifier, as on Windows.
  if (!lpsz) {
    *lpiid = GUID_NULL;
    return S_OK;
  }
  return Guarded(E_OUTOFMEMORY, [&] { return ParseGuid(OleText(lpsz), lpiid) ? S_OK : E_INVALIDARG; });
}

HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (!lpszProgID || !lpclsid) return E_INVALIDARG;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    *lpclsid = GUID_NULL;
    std::string progId = OleToAnsi(lpszProgID);
    if (progId.empty()) return CO_E_CLASSSTRING;
    auto value = ClassesRootDefault(progId + "\\CLSID");
    if (!value) return CO_E_CLASSSTRING;
    return ParseGuid(AnsiToOle(*value), lpclsid) ? S_OK : CO_E_CLASSSTRING;
  });
}

HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (!pclsid) return E_INVALIDARG;
  if (!lpsz) {
    *pclsid = GUID_NULL;
    return S_OK;
  }
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    std::u16string text = OleText(lpsz);
    if (!text.empty() && text.front() == u'{') return ParseGuid(text, pclsid) ? S_OK : CO_E_CLASSSTRING;
    return CLSIDFromProgID(lpsz, pclsid);
  });
}

HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (!lplpszProgID) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    auto value = ClassesRootDefault("CLSID\\" + GuidToString(clsid) + "\\ProgID");
    if (!value || value->empty()) return REGDB_E_CLASSNOTREG;
    std::u16string wide = AnsiToOle(*value);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!out) return E_OUTOFMEMORY;
    std::memcpy(out, wide.c_str(), (wide.size() + 1) * sizeof(OLECHAR));
    *lplpszProgID = out;
    return S_OK;
  });
}
