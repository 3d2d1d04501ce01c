// The class factory of an active-form control: made once when its library
// loads, from a record of what the class is, and checked against the
// library's type information. It creates control objects, counts locks, and
// writes or removes the class's registry entries.
//
// Threads: CreateInstance runs on the caller's apartment thread (the control
// object lives there); AddRef, Release and LockServer may come from any
// thread and only touch the server's interlocked counters.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ActiveForm.h"
#include "ActiveFormControl.h"

class TComServer;

enum class TThreadingModel { Single, Apartment, Free, Both, Neutral };

struct TOleVerbEntry {
  int Number = 0;
  std::string Text;
};

// The class factory record: what the library says about its one class.
// Every creation request makes a new object (multi-instance).
struct TActiveFormFactoryRecord {
  CLSID ClassID = CLSID_NULL;
  std::string FormClassName;     // "TQorvX"
  std::string ControlClassName;  // "TActiveFormControl", named by load failures
  int ToolboxBitmapID = 1;
  TThreadingModel ThreadingModel = TThreadingModel::Apartment;
  // The status given at creation; the factory adds what every control needs.
  DWORD MiscStatus = 0;
  std::vector<TOleVerbEntry> Verbs;
  // The interfaces the form class implements: its dual interface must be
  // among them.
  std::vector<IID> FormInterfaces;
  // Makes and loads the form; raises when it cannot.
  std::function<TActiveForm*()> CreateForm;
};

class TActiveFormFactory final : public IClassFactory {
 public:
  // The load steps: the coclass's type description by CLSID (its name and
  // description), the default interface (which the form must implement) and
  // the default source interface. Raises EOleError "Type information missing
  // for class %s", "Incorrect type information for class %s" or "Dispatch
  // interface missing from class %s" (the control class's name).
  TActiveFormFactory(TComServer& server, TActiveFormFactoryRecord record);
  ~TActiveFormFactory();
  TActiveFormFactory(const TActiveFormFactory&) = delete;
  TActiveFormFactory& operator=(const TActiveFormFactory&) = delete;

  // ---- IUnknown: the factory lives as long as its server; references only
  // count for DllCanUnloadNow ----
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // ---- IClassFactory ----
  // E_POINTER for a null out pointer; CLASS_E_NOAGGREGATION for an outer
  // object with any interface but IUnknown; E_UNEXPECTED, after an error box
  // with the failure's message, when the control cannot be built.
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

  // Writes (true) or removes (false) the class's registry entries. Writing
  // raises EOleError "Error creating system registry entry" at the first key
  // or value that cannot be written; what was written stays. Removing never
  // fails: a missing key is no error.
  void UpdateRegistry(bool registering);

  REFCLSID ClassID() const { return info_.ClassID; }
  const std::string& ClassName() const { return info_.ClassName; }
  const std::string& Description() const { return info_.Description; }
  const std::string& ProgID() const { return info_.ProgID; }
  DWORD MiscStatus() const { return info_.MiscStatus; }
  const TActiveFormFactoryInfo& Info() const { return info_; }

 private:
  void ReadTypeInformation();
  void WriteRegistry();
  void RemoveRegistry();

  TComServer& server_;
  TActiveFormFactoryRecord record_;
  TActiveFormFactoryInfo info_;
};
