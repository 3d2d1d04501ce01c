// VARIANT conversions. A source is first read into a plain value (a
// by-reference source through its reference, an object through its value
// property), which is then stored in the target type or refused the way
// Windows refuses it.
#include <climits>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "NoThrow.h"
#include "Variant.h"

namespace qorv::platform {

namespace {

struct Empty {};
struct Null {};
struct Boolean {
  bool Value;
};
struct ErrorCode {
  SCODE Value;
};
struct Text {
  std::u16string Value;
};
struct Object {
  IUnknown* Pointer;  // borrowed from the source
  bool IsDispatch;
};
using Value = std::variant<Empty, Null, Boolean, std::int64_t, ErrorCode, Text, Object>;

// What a variant holds; a by-reference variant is read through its reference.
// Nothing for a type that is not converted here.
std::optional<Value> ReadValue(const VARIANT& v) {
  const bool byRef = (v.vt & VT_BYREF) != 0;
  if (byRef && !v.byref) return std::nullopt;
  switch (v.vt & VT_TYPEMASK) {
    case VT_EMPTY: return Empty{};
    case VT_NULL: return Null{};
    case VT_BOOL: return Boolean{(byRef ? *v.pboolVal : v.boolVal) != VARIANT_FALSE};
    case VT_I1: return std::int64_t{byRef ? *v.pcVal : v.cVal};
    case VT_UI1: return std::int64_t{byRef ? *v.pbVal : v.bVal};
    case VT_I2: return std::int64_t{byRef ? *v.piVal : v.iVal};
    case VT_UI2: return std::int64_t{byRef ? *v.puiVal : v.uiVal};
    case VT_I4: return std::int64_t{byRef ? *v.plVal : v.lVal};
    case VT_UI4: return std::int64_t{byRef ? *v.pulVal : v.ulVal};
    case VT_INT: return std::int64_t{byRef ? *v.pintVal : v.intVal};
    case VT_UINT: return std::int64_t{byRef ? *v.puintVal : v.uintVal};
    case VT_ERROR: return ErrorCode{byRef ? *v.pscode : v.scode};
    case VT_BSTR: {
      BSTR s = byRef ? *v.pbstrVal : v.bstrVal;
      return Text{s ? std::u16string(s, SysStringLen(s)) : std::u16string()};
    }
    case VT_DISPATCH: return Object{byRef ? *v.ppdispVal : v.pdispVal, true};
    case VT_UNKNOWN: return Object{byRef ? *v.ppunkVal : v.punkVal, false};
    case VT_VARIANT:
      // A variant by reference: read what it holds, one level deep.
      if ((v.pvarVal->vt & VT_TYPEMASK) == VT_VARIANT) return std::nullopt;
      return ReadValue(*v.pvarVal);
    default: return std::nullopt;
  }
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

bool SameIgnoringCase(const std::u16string& a, const char* b) {
  size_t i = 0;
  for (; b[i]; ++i) {
    if (i >= a.size()) return false;
    char16_t c = a[i];
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    if (c != static_cast<unsigned char>(b[i])) return false;
  }
  return i == a.size();
}

std::u16string Trimmed(const std::u16string& text) {
  size_t start = 0;
  size_t end = text.size();
  while (start < end && IsBlank(text[start])) ++start;
  while (end > start && IsBlank(text[end - 1])) --end;
  return text.substr(start, end - start);
}

// A number written as [sign] digits [. digits] between blanks, rounded to
// the nearest integer with halves going to the even one (as Windows rounds).
// DISP_E_TYPEMISMATCH when the text is no such number, DISP_E_OVERFLOW when
// it is beyond any 64-bit range (the target type checks its own range).
HRESULT ParseNumber(const std::u16string& raw, std::int64_t* out) {
  std::u16string text = Trimmed(raw);
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  const size_t digitsStart = i;
  constexpr std::uint64_t kLimit = std::uint64_t{1} << 62;  // beyond every target's range, with room to round
  std::uint64_t magnitude = 0;
  bool tooLarge = false;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    magnitude = magnitude * 10 + static_cast<unsigned>(text[i] - u'0');
    if (magnitude > kLimit) {
      tooLarge = true;
      magnitude = kLimit;
    }
  }
  const bool hasIntegerDigits = i > digitsStart;
  bool hasFractionDigits = false;
  int firstFraction = 0;
  bool restNonZero = false;
  if (i < text.size() && text[i] == u'.') {
    ++i;
    for (size_t first = i; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
      hasFractionDigits = true;
      if (i == first) {
        firstFraction = text[i] - u'0';
      } else if (text[i] != u'0') {
        restNonZero = true;
      }
    }
  }
  if (i != text.size() || (!hasIntegerDigits && !hasFractionDigits)) return DISP_E_TYPEMISMATCH;
  if (tooLarge) return DISP_E_OVERFLOW;
  const bool roundUp = firstFraction > 5 || (firstFraction == 5 && (restNonZero || (magnitude & 1)));
  if (roundUp) ++magnitude;
  *out = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
  return S_OK;
}

std::u16string NumberText(std::int64_t n) {
  std::string digits = std::to_string(n);
  return std::u16string(digits.begin(), digits.end());
}

struct IntegerRange {
  std::int64_t Min;
  std::int64_t Max;
};

std::optional<IntegerRange> RangeOf(VARTYPE vt) {
  switch (vt) {
    case VT_I1: return IntegerRange{SCHAR_MIN, SCHAR_MAX};
    case VT_UI1: return IntegerRange{0, UCHAR_MAX};
    case VT_I2: return IntegerRange{SHRT_MIN, SHRT_MAX};
    case VT_UI2: return IntegerRange{0, USHRT_MAX};
    case VT_I4:
    case VT_INT: return IntegerRange{INT32_MIN, INT32_MAX};
    case VT_UI4:
    case VT_UINT: return IntegerRange{0, UINT32_MAX};
    default: return std::nullopt;
  }
}

void StoreInteger(VARIANT& out, VARTYPE vt, std::int64_t n) {
  out.vt = vt;
  switch (vt) {
    case VT_I1: out.cVal = static_cast<CHAR>(n); break;
    case VT_UI1: out.bVal = static_cast<BYTE>(n); break;
    case VT_I2: out.iVal = static_cast<SHORT>(n); break;
    case VT_UI2: out.uiVal = static_cast<USHORT>(n); break;
    case VT_I4: out.lVal = static_cast<LONG>(n); break;
    case VT_INT: out.intVal = static_cast<INT>(n); break;
    case VT_UI4: out.ulVal = static_cast<ULONG>(n); break;
    case VT_UINT: out.uintVal = static_cast<UINT>(n); break;
    default: break;
  }
}

// The integer a value stands for in an integer target; a true boolean is all
// bits set in the target's width (-1, or 255 for VT_UI1 ...).
HRESULT ToInteger(const Value& value, const IntegerRange& range, std::int64_t* out) {
  if (std::holds_alternative<Empty>(value)) {
    *out = 0;
    return S_OK;
  }
  if (auto* b = std::get_if<Boolean>(&value)) {
    *out = b->Value ? (range.Min < 0 ? -1 : range.Max) : 0;
    return S_OK;
  }
  std::int64_t n = 0;
  if (auto* i = std::get_if<std::int64_t>(&value)) {
    n = *i;
  } else if (auto* t = std::get_if<Text>(&value)) {
    HRESULT hr = ParseNumber(t->Value, &n);
    if (FAILED(hr)) return hr;
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  if (n < range.Min || n > range.Max) return DISP_E_OVERFLOW;
  *out = n;
  return S_OK;
}

HRESULT ToBoolean(const Value& value, bool* out) {
  if (std::holds_alternative<Empty>(value)) {
    *out = false;
  } else if (auto* b = std::get_if<Boolean>(&value)) {
    *out = b->Value;
  } else if (auto* i = std::get_if<std::int64_t>(&value)) {
    *out = *i != 0;
  } else if (auto* t = std::get_if<Text>(&value)) {
    std::u16string text = Trimmed(t->Value);
    if (SameIgnoringCase(text, "true")) {
      *out = true;
    } else if (SameIgnoringCase(text, "false")) {
      *out = false;
    } else {
      std::int64_t n = 0;
      HRESULT hr = ParseNumber(text, &n);
      // A number too large for any integer is still not zero.
      if (hr == DISP_E_OVERFLOW)
        n = 1;
      else if (FAILED(hr))
        return hr;
      *out = n != 0;
    }
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

HRESULT ToText(const Value& value, USHORT flags, std::u16string* out) {
  if (std::holds_alternative<Empty>(value)) {
    out->clear();
  } else if (auto* b = std::get_if<Boolean>(&value)) {
    // Booleans read as numbers unless words are asked for.
    if (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL)) {
      *out = b->Value ? u"True" : u"False";
    } else {
      *out = b->Value ? u"-1" : u"0";
    }
  } else if (auto* i = std::get_if<std::int64_t>(&value)) {
    *out = NumberText(*i);
  } else if (auto* t = std::get_if<Text>(&value)) {
    *out = t->Value;
  } else {
    return DISP_E_TYPEMISMATCH;
  }
  return S_OK;
}

// An object as another interface: IUnknown always, IDispatch when the object
// answers it; a null object stays null.
HRESULT ToInterface(const Value& value, VARTYPE vt, VARIANT& out) {
  out.vt = vt;
  out.punkVal = nullptr;
  if (std::holds_alternative<Empty>(value)) return S_OK;
  auto* object = std::get_if<Object>(&value);
  if (!object) return DISP_E_TYPEMISMATCH;
  if (!object->Pointer) return S_OK;
  const IID& iid = vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown;
  void* result = nullptr;
  if (FAILED(object->Pointer->QueryInterface(iid, &result))) return DISP_E_TYPEMISMATCH;
  out.punkVal = static_cast<IUnknown*>(result);
  return S_OK;
}

// The value property (DISPID_VALUE) of an object, which stands for the
// object in conversions to a plain type.
HRESULT ValueProperty(IDispatch* object, LCID lcid, VARIANT* result) {
  if (!object) return DISP_E_TYPEMISMATCH;
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VariantInit(result);
  HRESULT hr = object->Invoke(DISPID_VALUE, IID_NULL, lcid, DISPATCH_PROPERTYGET, &none, result, nullptr, nullptr);
  return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
}

HRESULT Convert(const Value& value, VARTYPE vt, USHORT flags, VARIANT& out) {
  if (vt == VT_EMPTY) {
    out.vt = VT_EMPTY;
    return S_OK;
  }
  if (vt == VT_NULL) {
    if (!std::holds_alternative<Null>(value) && !std::holds_alternative<Empty>(value)) return DISP_E_TYPEMISMATCH;
    out.vt = VT_NULL;
    return S_OK;
  }
  // Null has no value in any other type.
  if (std::holds_alternative<Null>(value)) return DISP_E_TYPEMISMATCH;
  if (auto range = RangeOf(vt)) {
    std::int64_t n = 0;
    HRESULT hr = ToInteger(value, *range, &n);
    if (SUCCEEDED(hr)) StoreInteger(out, vt, n);
    return hr;
  }
  switch (vt) {
    case VT_BOOL: {
      bool b = false;
      HRESULT hr = ToBoolean(value, &b);
      if (SUCCEEDED(hr)) {
        out.vt = VT_BOOL;
        out.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
      }
      return hr;
    }
    case VT_BSTR: {
      std::u16string text;
      HRESULT hr = ToText(value, flags, &text);
      if (FAILED(hr)) return hr;
      BSTR s = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
      if (!s) return E_OUTOFMEMORY;
      out.vt = VT_BSTR;
      out.bstrVal = s;
      return S_OK;
    }
    case VT_ERROR:
      if (auto* e = std::get_if<ErrorCode>(&value)) {
        out.vt = VT_ERROR;
        out.scode = e->Value;
        return S_OK;
      }
      return DISP_E_TYPEMISMATCH;
    case VT_DISPATCH:
    case VT_UNKNOWN: return ToInterface(value, vt, out);
    default: return DISP_E_BADVARTYPE;
  }
}

bool IsConvertedType(VARTYPE vt) {
  return vt == VT_EMPTY || vt == VT_NULL || vt == VT_BOOL || vt == VT_BSTR || vt == VT_ERROR || vt == VT_DISPATCH ||
         vt == VT_UNKNOWN || RangeOf(vt).has_value();
}

HRESULT ChangeType(VARIANTARG* dest, const VARIANTARG* src, LCID lcid, USHORT flags, VARTYPE vt) {
  if (!dest || !src) return E_INVALIDARG;
  if (!IsValidVariantType(src->vt)) return DISP_E_BADVARTYPE;
  if (!IsConvertedType(vt)) return DISP_E_BADVARTYPE;
  // The same type needs no conversion: a copy, which also keeps objects as
  // they are.
  if (src->vt == vt) {
    if (dest == src) return S_OK;
    return VariantCopy(dest, src);
  }
  auto value = ReadValue(*src);
  if (!value) return DISP_E_BADVARTYPE;
  VARIANT objectValue;
  VariantInit(&objectValue);
  auto* object = std::get_if<Object>(&*value);
  if (object && object->IsDispatch && vt != VT_DISPATCH && vt != VT_UNKNOWN && vt != VT_EMPTY) {
    if (flags & VARIANT_NOVALUEPROP) return DISP_E_TYPEMISMATCH;
    HRESULT hr = ValueProperty(static_cast<IDispatch*>(object->Pointer), lcid, &objectValue);
    if (FAILED(hr)) return hr;
    // The value property's own value is converted, never another object's.
    hr = ChangeType(dest, &objectValue, lcid, flags | VARIANT_NOVALUEPROP, vt);
    VariantClear(&objectValue);
    return hr;
  }
  VARIANT result;
  VariantInit(&result);
  HRESULT hr = Convert(*value, vt, flags, result);
  if (FAILED(hr)) return hr;
  // Only now is the destination (which may be the source) given up.
  hr = VariantClear(dest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *dest = result;
  return S_OK;
}

}  // namespace

}  // namespace qorv::platform

using namespace qorv::platform;

HRESULT WINAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid, USHORT wFlags,
                                   VARTYPE vt) {
  return Guarded(E_OUTOFMEMORY, [&] { return ChangeType(pvargDest, pvarSrc, lcid, wFlags, vt); });
}

HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
  return VariantChangeTypeEx(pvargDest, pvarSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}
