// The in-process server that the COM runtime tests load: one class with a
// counter interface, a hand-written class factory and the two entry points
// COM calls. Shared by the server and the tests.
#pragma once

#include "unknwn.h"

// {6F1D3A52-0B7E-4C29-9A44-5E13C7D2B801}
inline constexpr CLSID CLSID_QorvTestCounter{
    0x6F1D3A52, 0x0B7E, 0x4C29, {0x9A, 0x44, 0x5E, 0x13, 0xC7, 0xD2, 0xB8, 0x01}};
// {6F1D3A53-0B7E-4C29-9A44-5E13C7D2B801}
inline constexpr IID IID_ITestCounter{0x6F1D3A53, 0x0B7E, 0x4C29, {0x9A, 0x44, 0x5E, 0x13, 0xC7, 0xD2, 0xB8, 0x01}};

struct ITestCounter : IUnknown {
  // Adds `amount` to the object's count and answers the new count.
  virtual HRESULT STDMETHODCALLTYPE Add(LONG amount, LONG* total) = 0;
  // The number of objects of the server alive now.
  virtual HRESULT STDMETHODCALLTYPE LiveObjects(LONG* count) = 0;

 protected:
  ~ITestCounter() = default;
};
