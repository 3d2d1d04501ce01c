// An automation object driven as a script host drives it: every member is
// found by its name (GetIDsOfNames) and reached through IDispatch::Invoke,
// with arguments and results as VARIANTs. Used by the demo host, the control's
// end-to-end tests through COM and the benchmarks.
#pragma once

#include <map>
#include <stdexcept>
#include <string>

#include "oaidl.h"

namespace qorv::tools {

// A failed call: the result, and the text the object gave (EXCEPINFO's
// description for DISP_E_EXCEPTION) or the member and result otherwise.
class EDispatchError : public std::runtime_error {
 public:
  EDispatchError(const std::string& what, HRESULT result) : std::runtime_error(what), result_(result) {}
  HRESULT Result() const noexcept { return result_; }

 private:
  HRESULT result_;
};

// UTF-8 text as a new COM string (null for empty text), and back.
BSTR NewBStr(const std::string& utf8);
std::string Utf8Of(BSTR text);

class TDispatchByName {
 public:
  // Holds its own reference to the object.
  explicit TDispatchByName(IDispatch* object);
  ~TDispatchByName();
  TDispatchByName(const TDispatchByName&) = delete;
  TDispatchByName& operator=(const TDispatchByName&) = delete;

  IDispatch* Object() const { return object_; }
  // The member's dispid, asked once and then remembered.
  DISPID Id(const std::string& name);

  // Raise EDispatchError when the call fails.
  void Put(const std::string& name, const VARIANT& value);
  void PutBool(const std::string& name, bool value);
  void PutText(const std::string& name, const std::string& utf8);
  void PutInteger(const std::string& name, VARTYPE type, long value);
  // The property's value; the caller clears it.
  VARIANT Get(const std::string& name);
  // Converted as VariantChangeType converts (VT_BSTR, VT_BOOL, VT_I4).
  std::string GetText(const std::string& name);
  bool GetBool(const std::string& name);
  long GetInteger(const std::string& name);
  void Call(const std::string& name);

  // Invoke with a ready dispid and no argument: the property get alone, for
  // measuring the call itself.
  HRESULT GetById(DISPID id, VARIANT* result);

 private:
  HRESULT Invoke(const std::string& name, WORD flags, DISPPARAMS& params, VARIANT* result);

  IDispatch* object_;
  std::map<std::string, DISPID> ids_;
};

}  // namespace qorv::tools
