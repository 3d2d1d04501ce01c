// qorvreg query KEY | qorvreg export [KEY]: the registry of the system root
// in use, as .reg text on standard output. query prints the key's values and
// names its subkeys in comments; export prints the key and everything below
// it (without KEY: HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER, which hold all).
// Exit status 0, 1 for bad arguments, 2 when the key cannot be read.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "RegText.h"
#include "winerror.h"
#include "winreg.h"

namespace {

using namespace qorv::qorvreg;

constexpr int kBadArguments = 1;
constexpr int kKeyUnreadable = 2;

struct RootName {
  const char* Long;
  const char* Short;
  HKEY Key;
};

const RootName kRoots[] = {{"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
                           {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
                           {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER}};

struct KeyPath {
  HKEY Root = nullptr;
  std::string RootName;  // long form
  std::string SubKey;    // may be empty
  std::string Full() const { return SubKey.empty() ? RootName : RootName + "\\" + SubKey; }
};

bool ParseKeyPath(const std::string& text, KeyPath& path) {
  std::string head = text.substr(0, text.find('\\'));
  for (const RootName& root : kRoots) {
    if (strcasecmp(head.c_str(), root.Long) != 0 && strcasecmp(head.c_str(), root.Short) != 0) continue;
    path.Root = root.Key;
    path.RootName = root.Long;
    path.SubKey = head.size() < text.size() ? text.substr(head.size() + 1) : "";
    while (!path.SubKey.empty() && path.SubKey.back() == '\\') path.SubKey.pop_back();
    return true;
  }
  return false;
}

struct Value {
  std::string Name;
  DWORD Type = 0;
  std::string Data;
};

// Enumerates with buffers that grow on ERROR_MORE_DATA, since a writer in
// another process may enlarge an entry between two calls.
LONG ReadValues(HKEY key, std::vector<Value>& values) {
  std::vector<char> name(256);
  std::vector<BYTE> data(1024);
  for (DWORD index = 0;;) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    LONG error = RegEnumValueA(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (error == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (error == ERROR_MORE_DATA) {
      name.resize(name.size() * 2);
      data.resize(std::max<std::size_t>(data.size(), dataSize));
      continue;
    }
    if (error != ERROR_SUCCESS) return error;
    values.push_back({std::string(name.data(), nameSize), type, std::string(data.begin(), data.begin() + dataSize)});
    ++index;
  }
}

LONG ReadSubkeys(HKEY key, std::vector<std::string>& names) {
  std::vector<char> name(256);
  for (DWORD index = 0;;) {
    DWORD size = static_cast<DWORD>(name.size());
    LONG error = RegEnumKeyExA(key, index, name.data(), &size, nullptr, nullptr, nullptr, nullptr);
    if (error == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (error == ERROR_MORE_DATA) {
      name.resize(name.size() * 2);
      continue;
    }
    if (error != ERROR_SUCCESS) return error;
    names.emplace_back(name.data(), size);
    ++index;
  }
}

void Fail(const std::string& path, LONG error) {
  std::fprintf(stderr, "qorvreg: %s: cannot be read (error %ld)\n", AnsiToUtf8Text(path).c_str(),
               static_cast<long>(error));
}

// Prints one key; with `recurse`, its subkeys after it, else their names.
LONG PrintKey(HKEY parent, const std::string& subKey, const std::string& fullPath, bool recurse) {
  HKEY key = nullptr;
  LONG error = RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_READ, &key);
  std::vector<Value> values;
  std::vector<std::string> subkeys;
  if (error == ERROR_SUCCESS) error = ReadValues(key, values);
  if (error == ERROR_SUCCESS) error = ReadSubkeys(key, subkeys);
  if (error != ERROR_SUCCESS) {
    if (key) RegCloseKey(key);
    Fail(fullPath, error);
    return error;
  }
  std::printf("\n%s\n", KeyLine(fullPath).c_str());
  for (const Value& value : values) std::printf("%s\n", ValueLine(value.Name, value.Type, value.Data).c_str());
  LONG result = ERROR_SUCCESS;
  for (const std::string& name : subkeys) {
    if (!recurse) {
      std::printf("; subkey %s\n", AnsiToUtf8Text(name).c_str());
      continue;
    }
    // A subkey deleted meanwhile is skipped; other failures are reported.
    LONG sub = PrintKey(key, name, fullPath + "\\" + name, true);
    if (sub != ERROR_SUCCESS && sub != ERROR_FILE_NOT_FOUND) result = sub;
  }
  RegCloseKey(key);
  return result;
}

int Usage() {
  std::fprintf(stderr,
               "Usage: qorvreg query KEY\n"
               "       qorvreg export [KEY]\n"
               "KEY starts with HKEY_CLASSES_ROOT (HKCR), HKEY_LOCAL_MACHINE (HKLM) or HKEY_CURRENT_USER (HKCU).\n");
  return kBadArguments;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  bool query = std::strcmp(argv[1], "query") == 0;
  bool exportAll = std::strcmp(argv[1], "export") == 0;
  if ((!query && !exportAll) || argc > 3 || (query && argc != 3)) return Usage();
  std::vector<KeyPath> keys;
  if (argc == 3) {
    KeyPath path;
    if (!ParseKeyPath(argv[2], path)) return Usage();
    keys.push_back(path);
  } else {
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"}) {
      KeyPath path;
      ParseKeyPath(root, path);
      keys.push_back(path);
    }
  }
  std::printf("%s\n", kRegHeader);
  int status = 0;
  for (const KeyPath& key : keys) {
    if (PrintKey(key.Root, key.SubKey, key.Full(), !query) != ERROR_SUCCESS) status = kKeyUnreadable;
  }
  return status;
}
