// The control library QorvProj1.ocx as an in-process COM server: the server
// object with the one class factory, of QorvX, and the four entry points,
// which are all the library exports.
//
// The load steps run once, at the first call of an entry point, rather than
// from a static initialiser: the library's resources (its type library among
// them) register themselves from static initialisers too, in an order the
// linker chooses, and the factory needs the type library.
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <type_traits>

#include "ActiveFormFactory.h"
#include "ComServer.h"
#include "QorvImpl1.h"
#include "QorvProj1_TLB.h"
#include "fileapi.h"

namespace {

// OLEMISC_SIMPLEFRAME and OLEMISC_ACTSLIKELABEL, as the class is declared.
constexpr DWORD kDeclaredMiscStatus = 0x12000;

// The interfaces TQorvX implements, as its class declares them.
std::vector<IID> FormInterfaces() {
  if constexpr (std::is_base_of_v<QorvProj1_TLB::IQorvX, TQorvX>) return {QorvProj1_TLB::IID_IQorvX};
  return {};
}

TActiveFormFactoryRecord QorvXRecord() {
  TActiveFormFactoryRecord record;
  record.ClassID = QorvProj1_TLB::CLSID_QorvX;
  record.FormClassName = "TQorvX";
  record.ControlClassName = "TActiveFormControl";
  record.ToolboxBitmapID = 1;
  record.ThreadingModel = TThreadingModel::Apartment;
  record.MiscStatus = kDeclaredMiscStatus;
  record.Verbs = {{0, "Properties"}};
  record.FormInterfaces = FormInterfaces();
  record.CreateForm = [] { return static_cast<TActiveForm*>(NewForm<TQorvX>(nullptr)); };
  return record;
}

HMODULE ThisModule() { return qorv::platform::ModuleFromAddress(reinterpret_cast<const void*>(&ThisModule)); }

// What the library holds while it is loaded. The system's automation library
// is kept loaded with it, since unregistration looks a function up in it.
class TLibrary {
 public:
  TLibrary() : server_(ThisModule()) {
    UINT previous = SetErrorMode(SEM_NOOPENFILEERRORBOX);
    automation_ = LoadLibraryA("OLEAUT32.DLL");
    SetErrorMode(previous);
    try {
      server_.AddFactory(std::make_unique<TActiveFormFactory>(server_, QorvXRecord()));
    } catch (const std::exception& failure) {
      // Initialisation stops here: the library serves no class.
      std::fprintf(stderr, "QorvProj1: %s\n", failure.what());
    }
  }
  ~TLibrary() {
    if (automation_) FreeLibrary(automation_);
  }
  TLibrary(const TLibrary&) = delete;
  TLibrary& operator=(const TLibrary&) = delete;

  TComServer& Server() { return server_; }

 private:
  TComServer server_;
  HMODULE automation_ = nullptr;
};

TComServer& Server() {
  // Freed when the library is unloaded, with its factory.
  static TLibrary library;
  return library.Server();
}

}  // namespace

// The entry points are the library's exports (QorvProj1.map hides the rest).
#define QORV_EXPORT __attribute__((visibility("default")))

extern "C" QORV_EXPORT HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
  return Server().GetClassObject(rclsid, riid, ppv);
}

extern "C" QORV_EXPORT HRESULT DllCanUnloadNow() { return Server().CanUnloadNow(); }

extern "C" QORV_EXPORT HRESULT DllRegisterServer() { return Server().RegisterServer(); }

extern "C" QORV_EXPORT HRESULT DllUnregisterServer() { return Server().UnregisterServer(); }
