// The boundary every IQorvX member runs its body behind: nothing unwinds
// into the caller, a failure becomes the member's result with its message in
// the error information, and COM booleans and strings are converted the same
// way by every member (the device members and the form's stock properties).
#pragma once

#include <exception>
#include <new>
#include <string>

#include "ComObj.h"
#include "Exceptions.h"
#include "oleauto.h"
#include "winerror.h"

namespace qorv::recorder {

// Records the failure as the thread's COM error information for the caller
// (IID of IQorvX, source "QorvProj1.QorvX", the message) and answers the
// result the member returns: comError when it is a failure, else E_UNEXPECTED.
HRESULT RecordFailure(const std::string& message, HRESULT comError = S_OK);

// The member boundary: whatever the body raises becomes E_UNEXPECTED (a COM
// error its own result) with its message kept, and nothing unwinds into the
// caller.
template <typename Body>
HRESULT Guarded(Body&& body) {
  try {
    body();
    return S_OK;
  } catch (const EOleSysError& e) {
    // A COM error keeps its own result.
    return RecordFailure(e.Message(), e.ErrorCode());
  } catch (const Exception& e) {
    return RecordFailure(e.Message());
  } catch (const std::bad_alloc&) {
    return RecordFailure("Out of memory");
  } catch (const std::exception& e) {
    return RecordFailure(e.what());
  } catch (...) {
    return RecordFailure("Unexpected failure");
  }
}

// A get with nowhere to put its answer would write through a null pointer.
template <typename T, typename Body>
HRESULT GuardedGet(T* out, Body&& body) {
  if (!out) return E_POINTER;
  return Guarded([&] { body(*out); });
}

// 8-bit text in the ANSI code page to a new COM string; empty text gives null.
BSTR BStrFromAnsi(const std::string& text);
// A COM string to 8-bit text in the ANSI code page; null gives empty text.
std::string AnsiFromBStr(BSTR value);

// A string get: the out pointer is null first, so a failed conversion leaves
// the caller a null string.
HRESULT GetString(BSTR* out, const std::string& stored);
HRESULT PutString(BSTR value, std::string& stored);

}  // namespace qorv::recorder
