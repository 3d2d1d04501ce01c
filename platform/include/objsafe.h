// IObjectSafety: a control tells a container which of its interfaces are
// safe for scripting and for initialisation from untrusted data.
#pragma once

#include "unknwn.h"

// {CB5BDC81-93C1-11CF-8F20-00805F2CD064}
inline constexpr IID IID_IObjectSafety{0xCB5BDC81, 0x93C1, 0x11CF, {0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C, 0xD0, 0x64}};

constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 0x1;
constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 0x2;
constexpr DWORD INTERFACE_USES_DISPEX = 0x4;
constexpr DWORD INTERFACE_USES_SECURITY_MANAGER = 0x8;

struct IObjectSafety : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID riid, DWORD* pdwSupportedOptions,
                                                              DWORD* pdwEnabledOptions) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                              DWORD dwEnabledOptions) = 0;

 protected:
  ~IObjectSafety() = default;
};
