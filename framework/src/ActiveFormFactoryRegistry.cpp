// The registry entries of an active-form control's class, under
// HKEY_CLASSES_ROOT: the class key with its server, threading model, ProgID,
// version, type library, miscellaneous status, toolbox bitmap, control mark
// and verbs, and the ProgID's key. Written in this order; removed leaves
// first, so that no key is left without its parent.
#include <objbase.h>
#include <winreg.h>

#include "ActiveFormFactory.h"
#include "ComObj.h"
#include "ComServer.h"
#include "Format.h"

namespace {

constexpr const char* kRegistryError = "Error creating system registry entry";

std::string GuidText(REFGUID guid) {
  OLECHAR wide[39];
  if (StringFromGUID2(guid, wide, 39) == 0) throw EOleError(kRegistryError);
  std::string text;
  for (int i = 0; i < 38; ++i) text += static_cast<char>(wide[i]);
  return text;
}

// Sets a string value (the key's default when `name` is null), creating the
// key when it is missing.
void CreateRegKey(const std::string& key, const char* name, const std::string& value) {
  HKEY handle = nullptr;
  if (RegCreateKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                      &handle, nullptr) != ERROR_SUCCESS) {
    throw EOleError(kRegistryError);
  }
  LONG result = RegSetValueExA(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                               static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
  if (result != ERROR_SUCCESS) throw EOleError(kRegistryError);
}

const char* ThreadingModelName(TThreadingModel model) {
  switch (model) {
    case TThreadingModel::Apartment: return "Apartment";
    case TThreadingModel::Free: return "Free";
    case TThreadingModel::Both: return "Both";
    case TThreadingModel::Neutral: return "Neutral";
    case TThreadingModel::Single: break;
  }
  return nullptr;
}

// The path the loader is to use: the 8.3 form when the path has a blank,
// since some hosts split the server's command line at blanks.
std::string ServerPath(const std::string& path) {
  if (path.find(' ') == std::string::npos) return path;
  char shortPath[262];
  DWORD length = GetShortPathNameA(path.c_str(), shortPath, sizeof shortPath);
  if (length == 0 || length >= sizeof shortPath) throw EOleError(kRegistryError);
  return std::string(shortPath, length);
}

}  // namespace

void TActiveFormFactory::UpdateRegistry(bool registering) {
  if (registering) {
    WriteRegistry();
  } else {
    RemoveRegistry();
  }
}

void TActiveFormFactory::WriteRegistry() {
  std::string classKey = "CLSID\\" + GuidText(info_.ClassID);
  std::string path = server_.ModuleFileName();
  TLIBATTR* attr = nullptr;
  OleCheck(server_.TypeLib()->GetLibAttr(&attr));
  TLIBATTR library = *attr;
  server_.TypeLib()->ReleaseTLibAttr(attr);

  CreateRegKey(classKey, nullptr, info_.Description);
  CreateRegKey(classKey + "\\InprocServer32", nullptr, ServerPath(path));
  if (const char* model = ThreadingModelName(record_.ThreadingModel)) {
    CreateRegKey(classKey + "\\InprocServer32", "ThreadingModel", model);
  }
  CreateRegKey(info_.ProgID, nullptr, info_.Description);
  CreateRegKey(info_.ProgID + "\\Clsid", nullptr, GuidText(info_.ClassID));
  CreateRegKey(classKey + "\\ProgID", nullptr, info_.ProgID);
  CreateRegKey(classKey + "\\Version", nullptr,
               Format("%d.%d", {static_cast<int>(library.wMajorVerNum), static_cast<int>(library.wMinorVerNum)}));
  CreateRegKey(classKey + "\\TypeLib", nullptr, GuidText(library.guid));
  CreateRegKey(classKey + "\\MiscStatus", nullptr, "0");
  CreateRegKey(classKey + "\\MiscStatus\\1", nullptr, Format("%d", {static_cast<int>(info_.MiscStatus)}));
  // The bitmap is looked up by the tool box itself, which takes the long path.
  CreateRegKey(classKey + "\\ToolboxBitmap32", nullptr, path + "," + Format("%d", {record_.ToolboxBitmapID}));
  CreateRegKey(classKey + "\\Control", nullptr, "");
  CreateRegKey(classKey + "\\Verb", nullptr, "");
  for (const auto& verb : record_.Verbs) {
    CreateRegKey(classKey + "\\Verb\\" + Format("%d", {verb.Number}), nullptr, verb.Text + ",0,2");
  }
}

void TActiveFormFactory::RemoveRegistry() {
  std::string classKey = "CLSID\\" + GuidText(info_.ClassID);
  for (const auto& verb : record_.Verbs) {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (classKey + "\\Verb\\" + Format("%d", {verb.Number})).c_str());
  }
  for (const char* leaf : {"\\Verb", "\\Control", "\\ToolboxBitmap32", "\\MiscStatus\\1", "\\MiscStatus", "\\TypeLib",
                           "\\Version", "\\ProgID"}) {
    RegDeleteKeyA(HKEY_CLASSES_ROOT, (classKey + leaf).c_str());
  }
  RegDeleteKeyA(HKEY_CLASSES_ROOT, (info_.ProgID + "\\Clsid").c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, info_.ProgID.c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, (classKey + "\\InprocServer32").c_str());
  RegDeleteKeyA(HKEY_CLASSES_ROOT, classKey.c_str());
}
