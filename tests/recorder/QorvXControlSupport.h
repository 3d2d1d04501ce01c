// What the tests of the control object over TQorvX share: COM references
// released at scope exit, and the control's class record made from the type
// library the control library embeds (the fixed-up file itself).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ActiveFormControl.h"
#include "QorvImpl1.h"
#include "objbase.h"
#include "systemroot.h"

template <class T>
struct TReleaser {
  void operator()(T* p) const {
    if (p) p->Release();
  }
};
template <class T>
using TRef = std::unique_ptr<T, TReleaser<T>>;

template <class T>
TRef<T> Query(IUnknown* object, REFIID iid) {
  void* found = nullptr;
  if (FAILED(object->QueryInterface(iid, &found))) return TRef<T>();
  return TRef<T>(static_cast<T*>(found));
}

inline std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

class QorvXControlFixture : public testing::Test {
 protected:
  // COM1 is the substitute device "recorder"; info describes the control
  // class, and each form it makes is kept in `form`.
  void LoadControlClass() {
    qorv::platform::WriteDeviceMapping(1, "substitute:recorder");
    const std::u16string path = Wide(QORV_CONTROL_TYPELIB);
    ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library), S_OK);
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_QorvX, &classInfo), S_OK);
    ASSERT_EQ(library->GetTypeInfoOfGuid(IID_IQorvX, &dispatchInfo), S_OK);
    info.ClassID = CLSID_QorvX;
    info.ClassName = "QorvX";
    info.Description = "QorvX Control";
    info.ProgID = "QorvProj1.QorvX";
    info.DispatchIID = IID_IQorvX;
    info.EventIID = DIID_IQorvXEvents;
    info.ClassTypeInfo = classInfo;
    info.DispatchTypeInfo = dispatchInfo;
    info.CreateForm = [this]() -> TActiveForm* {
      form = NewForm<TQorvX>(nullptr);
      return form;
    };
  }
  void ReleaseControlClass() {
    if (dispatchInfo) dispatchInfo->Release();
    if (classInfo) classInfo->Release();
    if (library) library->Release();
  }

  ITypeLib* library = nullptr;
  ITypeInfo* classInfo = nullptr;
  ITypeInfo* dispatchInfo = nullptr;
  TActiveFormFactoryInfo info;
  TQorvX* form = nullptr;
};
