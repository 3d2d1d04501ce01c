// Owners for COM values in tests: interface pointers, BSTRs and VARIANTs,
// released when the test's scope ends, so a failing assertion leaks nothing.
#pragma once

#include <string>
#include <utility>

#include "oaidl.h"

namespace qorv::test {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* adopted) : p_(adopted) {}
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~ComPtr() { Reset(); }

  T* Get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: lets go of the old pointer first.
  T** Put() {
    Reset();
    return &p_;
  }
  void** PutVoid() { return reinterpret_cast<void**>(Put()); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  Bstr() = default;
  explicit Bstr(const std::string& text) {
    std::u16string wide(text.begin(), text.end());
    s_ = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
  }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }

  BSTR Get() const { return s_; }
  BSTR* Put() {
    SysFreeString(s_);
    s_ = nullptr;
    return &s_;
  }
  BSTR Release() { return std::exchange(s_, nullptr); }
  // The text, for ASCII contents.
  std::string Text() const {
    std::string text;
    for (UINT i = 0; s_ && i < SysStringLen(s_); ++i) text.push_back(static_cast<char>(s_[i]));
    return text;
  }

 private:
  BSTR s_ = nullptr;
};

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }

  VARIANT* operator&() { return &v_; }
  VARIANT& Get() { return v_; }
  VARIANT* operator->() { return &v_; }

 private:
  VARIANT v_;
};

// The UTF-16 form of an ASCII text, and back.
inline std::u16string Wide(const std::string& text) { return std::u16string(text.begin(), text.end()); }
inline std::u16string Wide(const char* text) { return Wide(std::string(text)); }
inline std::string Narrow(const OLECHAR* text) {
  std::string result;
  for (; text && *text; ++text) result.push_back(static_cast<char>(*text));
  return result;
}

}  // namespace qorv::test
