// COM objects from the framework's side: making one by class identifier and
// asking it for an interface, with failures raised as exceptions rather than
// returned as results.
#pragma once

#include <string>

#include <objbase.h>

#include "Exceptions.h"

// A failed COM call: the system's text for the result, and the result.
class EOleSysError : public Exception {
 public:
  EOleSysError(std::string message, HRESULT errorCode);
  HRESULT ErrorCode() const noexcept { return errorCode_; }

 private:
  HRESULT errorCode_;
};

// A COM server's own failure (a class whose type information is wrong, a
// registry entry that cannot be written); the message says which.
class EOleError : public Exception {
 public:
  using Exception::Exception;
};

// An object that does not answer the interface asked for.
class EIntfCastError : public Exception {
 public:
  using Exception::Exception;
};

// Raises EOleSysError for a failed result; passes success codes (S_FALSE too).
void OleCheck(HRESULT result);

// What a COM member that failed at its boundary tells its caller: sets the
// thread's error information (CreateErrorInfo, SetErrorInfo) with the
// interface's IID, the source and the description (8-bit text in the ANSI
// code page), and answers the member's result: comError when it is a
// failure, E_UNEXPECTED otherwise.
HRESULT SetMemberErrorInfo(REFIID iid, const std::string& source, const std::string& description, DWORD helpContext,
                           HRESULT comError = S_OK);

// Creates an object of the class in or out of process; raises EOleSysError
// when it cannot be made. The caller owns the reference returned.
IUnknown* CreateComObject(REFCLSID clsid);

// The object's interface, as the caller's reference; raises EIntfCastError
// ("Interface not supported") when the object does not answer it.
template <class T>
T* QueryComInterface(IUnknown* object, REFIID iid) {
  void* found = nullptr;
  if (!object || FAILED(object->QueryInterface(iid, &found)) || !found) {
    throw EIntfCastError("Interface not supported");
  }
  return static_cast<T*>(found);
}

// Holds one reference and releases it when the scope ends.
template <class T>
class TComRef {
 public:
  explicit TComRef(T* adopted = nullptr) : p_(adopted) {}
  TComRef(const TComRef&) = delete;
  TComRef& operator=(const TComRef&) = delete;
  ~TComRef() {
    if (p_) p_->Release();
  }
  T* operator->() const { return p_; }
  T* Get() const { return p_; }

 private:
  T* p_;
};
