// What the control object keeps of its host between OLE calls: the sites it
// was given, the advise sinks, the events freeze count, the storage it was
// initialised with and the form's state at the last save or load (the
// unsaved-changes test compares against it).
#pragma once

#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ActiveFormControl.h"
#include "Exceptions.h"

// Runs a method's body so that nothing raised crosses the COM boundary:
// memory exhaustion answers E_OUTOFMEMORY, any other failure E_FAIL.
template <class Body>
HRESULT OleGuarded(Body body) noexcept {
  try {
    return body();
  } catch (const EOutOfMemory&) {
    return E_OUTOFMEMORY;
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// One reference held, released when replaced or when the state goes.
template <class T>
class TOleRef {
 public:
  TOleRef() = default;
  TOleRef(const TOleRef&) = delete;
  TOleRef& operator=(const TOleRef&) = delete;
  ~TOleRef() { Reset(nullptr); }
  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Holds p (adding a reference) and lets go of what it held; the old one is
  // released last, as its release may call back into the control.
  void Reset(T* p) {
    if (p) p->AddRef();
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }
  // Hands the held reference to the caller, holding nothing from then on.
  T* Detach() { return std::exchange(p_, nullptr); }
  // Takes over a reference the caller already owns.
  void Adopt(T* p) {
    T* old = std::exchange(p_, p);
    if (old) old->Release();
  }

 private:
  T* p_ = nullptr;
};

// IPersistStorage's states: what the object may do with the storage it holds.
enum class TStorageState { Uninitialized, Normal, NoScribble, HandsOff };

struct TActiveFormControl::TOleState {
  TOleRef<IOleClientSite> ClientSite;
  TOleRef<IOleInPlaceSite> InPlaceSite;
  TOleRef<IOleInPlaceFrame> Frame;
  TOleRef<IOleInPlaceUIWindow> Document;
  bool InPlaceActive = false;
  bool UiActive = false;

  // IOleObject::Advise: sink and cookie, in the order connected.
  std::vector<std::pair<DWORD, IAdviseSink*>> OleAdvise;
  DWORD NextAdviseCookie = 1;
  // IViewObject::SetAdvise: one sink with its aspects and flags.
  TOleRef<IAdviseSink> ViewAdvise;
  DWORD ViewAspects = 0;
  DWORD ViewAdviseFlags = 0;

  int FreezeCount = 0;

  TOleRef<IStorage> Storage;
  TStorageState StorageState = TStorageState::Uninitialized;

  // The form's own properties as last saved or loaded; nothing until the
  // first of those, InitNew or the first OLE call, which takes the present state.
  std::optional<std::string> Saved;

  ~TOleState() {
    for (auto& [cookie, sink] : OleAdvise) sink->Release();
  }
};
