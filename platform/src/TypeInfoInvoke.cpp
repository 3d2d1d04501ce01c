// ITypeInfo::Invoke: calls the vtable function of an interface with the
// arguments of a dispatch call, coerced to the parameters' types.
//
// Each function gets a call plan on its first call: how every parameter is
// passed (by value, as an interface pointer, as a VARIANT, through a pointer,
// as the result) and the libffi call interface for the host's calling
// convention. The function's place is the vtable offset of the library
// counted in host slots (see TypeLibModel.h), so a library written for Win32
// calls slot n of the object's vtable here too.
//
// Arguments stand in rgvarg last first; named arguments (their dispids are
// the parameters' positions, or DISPID_PROPERTYPUT for the value of a put)
// come before the positional ones. A failing HRESULT of the function becomes
// DISP_E_EXCEPTION with EXCEPINFO filled from the thread's error information
// (GetErrorInfo), as the standard invocation of Windows does.
#include <ffi.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "NoThrow.h"
#include "TypeLibObjects.h"

namespace qorv::platform::typelib {

namespace {

constexpr int kMaxAliasDepth = 16;

// Per-call arrays on the stack for the usual few parameters, so a call
// allocates nothing.
template <class T, size_t N>
class InlineBuffer {
 public:
  InlineBuffer(size_t size, const T& fill) : size_(size) {
    if (size > N) heap_ = std::make_unique<T[]>(size);
    data_ = size > N ? heap_.get() : inline_;
    std::fill(data_, data_ + size, fill);
  }
  InlineBuffer(const InlineBuffer&) = delete;
  InlineBuffer& operator=(const InlineBuffer&) = delete;
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  T* data() { return data_; }
  size_t size() const { return size_; }

 private:
  T inline_[N];
  std::unique_ptr<T[]> heap_;
  T* data_;
  size_t size_;
};

constexpr size_t kInlineParams = 12;
constexpr LCID kUserDefaultLocale = 0x0400;

// What a type amounts to when a value of it is passed.
struct Shape {
  enum class Kind { Scalar, Interface, Variant, Pointer, InterfaceType, Unsupported };
  Kind What = Kind::Unsupported;
  VARTYPE Vt = VT_EMPTY;  // Scalar; and the pointee of Pointer when it is a scalar
  GUID Iid{};             // Interface / InterfaceType; pointee of Pointer
  bool Dispatch = false;  // the interface derives from IDispatch
  Kind Pointee = Kind::Unsupported;
};

// How one parameter is passed.
enum class Pass {
  Value,      // a scalar, coerced
  Interface,  // an interface pointer, asked of the argument
  Variant,    // a VARIANT by value
  InPointer,  // [in] through a pointer: the caller's by-reference value, or a coerced copy
  ByRef,      // [out] or [in, out]: the caller's by-reference value of the same type
  Retval,     // [out, retval]: becomes the result
  Lcid,       // the locale, given by Invoke itself
};

}  // namespace

struct InvokePlan {
  struct Param {
    Pass How = Pass::Value;
    Shape Type;
    USHORT Flags = 0;
    const VARIANT* Default = nullptr;
  };
  HRESULT Error = S_OK;  // why the function cannot be called, or S_OK
  size_t Slot = 0;
  std::vector<Param> Params;
  std::vector<size_t> Dispatchable;  // positions in Params that take arguments
  int Retval = -1;
  bool ReturnsHresult = false;
  VARTYPE ReturnVt = VT_VOID;
  std::vector<ffi_type*> FfiArgs;
  ffi_cif Cif{};
};

void TypeInfoObject::PlanDeleter::operator()(InvokePlan* plan) const { delete plan; }

namespace {

// ---- types ----

ffi_type* VariantFfiType() {
  static ffi_type* type = [] {
    static ffi_type* elements[] = {&ffi_type_uint64, &ffi_type_uint64, &ffi_type_uint64, nullptr};
    static ffi_type variant{0, 0, FFI_TYPE_STRUCT, elements};
    size_t offsets[3];
    ffi_get_struct_offsets(FFI_DEFAULT_ABI, &variant, offsets);  // lays the struct out once, before any use
    return &variant;
  }();
  return type;
}

ffi_type* FfiTypeOf(VARTYPE vt) {
  switch (vt) {
    case VT_I1: return &ffi_type_sint8;
    case VT_UI1: return &ffi_type_uint8;
    case VT_I2:
    case VT_BOOL: return &ffi_type_sint16;
    case VT_UI2: return &ffi_type_uint16;
    case VT_I4:
    case VT_ERROR: return &ffi_type_sint32;
    case VT_UI4: return &ffi_type_uint32;
    case VT_I8:
    case VT_CY: return &ffi_type_sint64;
    case VT_UI8: return &ffi_type_uint64;
    case VT_R4: return &ffi_type_float;
    case VT_R8:
    case VT_DATE: return &ffi_type_double;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN: return &ffi_type_pointer;
    case VT_VARIANT: return VariantFfiType();
    case VT_VOID: return &ffi_type_void;
    default: return nullptr;
  }
}

// The VARIANT type a scalar of the library travels in.
VARTYPE CarrierOf(VARTYPE vt) {
  switch (vt) {
    case VT_INT: return VT_I4;
    case VT_UINT: return VT_UI4;
    case VT_HRESULT: return VT_ERROR;
    default: return vt;
  }
}

bool IsScalar(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_R4:
    case VT_R8:
    case VT_DATE:
    case VT_CY:
    case VT_BOOL:
    case VT_BSTR:
    case VT_ERROR: return true;
    default: return false;
  }
}

// The interface a user-defined type stands for, walking to a base with a
// GUID when it has none of its own (an interface declared through an alias).
void InterfaceOf(ITypeInfo* info, Shape& shape, int depth) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return;
  shape.Dispatch = shape.Dispatch || attr->typekind == TKIND_DISPATCH ||
                   (attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE)) != 0;
  GUID guid = attr->guid;
  WORD impls = attr->cImplTypes;
  info->ReleaseTypeAttr(attr);
  if (guid != GUID_NULL || impls == 0 || depth > kMaxAliasDepth) {
    shape.Iid = guid == GUID_NULL ? (shape.Dispatch ? IID_IDispatch : IID_IUnknown) : guid;
    return;
  }
  HREFTYPE ref = 0;
  ITypeInfo* base = nullptr;
  if (SUCCEEDED(info->GetRefTypeOfImplType(0, &ref)) && SUCCEEDED(info->GetRefTypeInfo(ref, &base))) {
    InterfaceOf(base, shape, depth + 1);
    base->Release();
  } else {
    shape.Iid = shape.Dispatch ? IID_IDispatch : IID_IUnknown;
  }
}

Shape ShapeOf(const TYPEDESC& type, ITypeInfo* owner, int depth = 0) {
  Shape shape;
  if (depth > kMaxAliasDepth) return shape;
  VARTYPE vt = CarrierOf(type.vt);
  if (IsScalar(vt)) {
    shape.What = Shape::Kind::Scalar;
    shape.Vt = vt;
  } else if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
    shape.What = Shape::Kind::Interface;
    shape.Dispatch = vt == VT_DISPATCH;
    shape.Iid = shape.Dispatch ? IID_IDispatch : IID_IUnknown;
  } else if (vt == VT_VARIANT) {
    shape.What = Shape::Kind::Variant;
  } else if (vt == VT_USERDEFINED) {
    ITypeInfo* target = nullptr;
    if (FAILED(owner->GetRefTypeInfo(type.hreftype, &target))) return shape;
    TYPEATTR* attr = nullptr;
    if (SUCCEEDED(target->GetTypeAttr(&attr))) {
      TYPEKIND kind = attr->typekind;
      TYPEDESC alias = attr->tdescAlias;
      target->ReleaseTypeAttr(attr);
      if (kind == TKIND_ENUM) {
        shape.What = Shape::Kind::Scalar;
        shape.Vt = VT_I4;
      } else if (kind == TKIND_ALIAS) {
        shape = ShapeOf(alias, target, depth + 1);
      } else if (kind == TKIND_INTERFACE || kind == TKIND_DISPATCH) {
        shape.What = Shape::Kind::InterfaceType;
        InterfaceOf(target, shape, depth + 1);
      }
    }
    target->Release();
  } else if (vt == VT_PTR && type.lptdesc) {
    Shape inner = ShapeOf(*type.lptdesc, owner, depth + 1);
    if (inner.What == Shape::Kind::InterfaceType) {
      inner.What = Shape::Kind::Interface;  // a pointer to an interface is the interface pointer
      return inner;
    }
    if (inner.What == Shape::Kind::Scalar || inner.What == Shape::Kind::Interface ||
        inner.What == Shape::Kind::Variant) {
      shape = inner;
      shape.Pointee = inner.What;
      shape.What = Shape::Kind::Pointer;
    }
  }
  return shape;
}

// ---- plans ----

std::unique_ptr<InvokePlan> MakePlan(const MemberFunc& member, size_t slot) {
  auto plan = std::make_unique<InvokePlan>();
  const FUNCDESC& desc = member.Func->Desc;
  plan->Slot = slot;
  plan->FfiArgs.push_back(&ffi_type_pointer);  // the object
  for (SHORT i = 0; i < desc.cParams; ++i) {
    const ELEMDESC& elem = desc.lprgelemdescParam[i];
    InvokePlan::Param param;
    param.Flags = elem.paramdesc.wParamFlags;
    param.Type = ShapeOf(elem.tdesc, member.Owner);
    if ((param.Flags & PARAMFLAG_FHASDEFAULT) && elem.paramdesc.pparamdescex) {
      param.Default = &elem.paramdesc.pparamdescex->varDefaultValue;
    }
    bool pointer = param.Type.What == Shape::Kind::Pointer;
    ffi_type* type = &ffi_type_pointer;
    if (param.Flags & PARAMFLAG_FLCID) {
      param.How = Pass::Lcid;
      type = &ffi_type_uint32;
    } else if ((param.Flags & PARAMFLAG_FRETVAL) && pointer) {
      param.How = Pass::Retval;
      plan->Retval = static_cast<int>(plan->Params.size());
    } else if ((param.Flags & PARAMFLAG_FOUT) && pointer) {
      param.How = Pass::ByRef;
    } else if (pointer) {
      param.How = Pass::InPointer;
    } else if (param.Type.What == Shape::Kind::Scalar) {
      param.How = Pass::Value;
      type = FfiTypeOf(param.Type.Vt);
    } else if (param.Type.What == Shape::Kind::Interface) {
      param.How = Pass::Interface;
    } else if (param.Type.What == Shape::Kind::Variant) {
      param.How = Pass::Variant;
      type = VariantFfiType();
    } else {
      plan->Error = DISP_E_BADVARTYPE;  // a record, array or other type no argument can become
    }
    if (param.How != Pass::Lcid && param.How != Pass::Retval) plan->Dispatchable.push_back(plan->Params.size());
    plan->Params.push_back(param);
    plan->FfiArgs.push_back(type);
  }
  VARTYPE ret = CarrierOf(desc.elemdescFunc.tdesc.vt);
  plan->ReturnsHresult = desc.elemdescFunc.tdesc.vt == VT_HRESULT;
  plan->ReturnVt = plan->ReturnsHresult ? static_cast<VARTYPE>(VT_ERROR) : ret;
  ffi_type* returnType = plan->ReturnsHresult ? &ffi_type_sint32 : FfiTypeOf(ret);
  if (!returnType || (ret != VT_VOID && !plan->ReturnsHresult && !IsScalar(ret))) {
    plan->Error = DISP_E_BADVARTYPE;
    returnType = &ffi_type_void;
  }
  if (ffi_prep_cif(&plan->Cif, FFI_DEFAULT_ABI, static_cast<unsigned>(plan->FfiArgs.size()), returnType,
                   plan->FfiArgs.data()) != FFI_OK) {
    plan->Error = DISP_E_BADCALLEE;
  }
  return plan;
}

bool Matches(INVOKEKIND kind, WORD flags) {
  switch (kind) {
    case INVOKE_FUNC: return flags & DISPATCH_METHOD;
    case INVOKE_PROPERTYGET: return flags & DISPATCH_PROPERTYGET;
    case INVOKE_PROPERTYPUT: return flags & DISPATCH_PROPERTYPUT;
    case INVOKE_PROPERTYPUTREF: return flags & DISPATCH_PROPERTYPUTREF;
  }
  return false;
}

// ---- one call ----

bool IsMissing(const VARIANTARG* arg) { return !arg || (arg->vt == VT_ERROR && arg->scode == DISP_E_PARAMNOTFOUND); }

// The interface pointer an argument holds (null for VT_EMPTY); false when it
// holds something else.
bool InterfaceIn(const VARIANTARG& arg, IUnknown*& out) {
  switch (arg.vt) {
    case VT_EMPTY: out = nullptr; return true;
    case VT_DISPATCH: out = arg.pdispVal; return true;
    case VT_UNKNOWN: out = arg.punkVal; return true;
    case VT_DISPATCH | VT_BYREF: out = arg.ppdispVal ? *arg.ppdispVal : nullptr; return arg.ppdispVal != nullptr;
    case VT_UNKNOWN | VT_BYREF: out = arg.ppunkVal ? *arg.ppunkVal : nullptr; return arg.ppunkVal != nullptr;
    case VT_VARIANT | VT_BYREF: return arg.pvarVal && InterfaceIn(*arg.pvarVal, out);
    default: return false;
  }
}

bool Is32Bit(VARTYPE vt) { return vt == VT_I4 || vt == VT_INT || vt == VT_UI4 || vt == VT_UINT; }

// 32-bit integers pass between their signed and unsigned forms with their
// bits unchanged: a script host gives an OLE_COLOR system colour
// (0x80000005) as a negative long.
bool SameScalar(VARTYPE a, VARTYPE b) { return a == b || (Is32Bit(a) && Is32Bit(b)); }

// The state of one call: a temporary per parameter and the values libffi
// passes (each a pointer to where the argument's bytes are).
class Call {
 public:
  Call(const InvokePlan& plan, void* object)
      : plan_(plan),
        object_(object),
        temps_(plan.Params.size(), VARIANT{}),
        pointers_(plan.Params.size(), nullptr),
        values_(plan.Params.size() + 1, nullptr) {
    values_[0] = &object_;
  }
  ~Call() {
    for (size_t i = 0; i < temps_.size(); ++i) {
      if (plan_.Params[i].How != Pass::Retval && temps_[i].vt != VT_EMPTY) VariantClear(&temps_[i]);
    }
  }

  // Sets parameter `index` from `arg` (null when the caller left it out).
  HRESULT Bind(size_t index, const VARIANTARG* arg) {
    const InvokePlan::Param& param = plan_.Params[index];
    VARIANT& temp = temps_[index];
    void*& value = values_[index + 1];
    if (param.How == Pass::Lcid) {
      temp.vt = VT_UI4;
      temp.ulVal = kUserDefaultLocale;
      value = &temp.ulVal;
      return S_OK;
    }
    if (param.How == Pass::Retval) {
      std::memset(&temp, 0, sizeof temp);  // the function fills it
      pointers_[index] = param.Type.Pointee == Shape::Kind::Variant ? static_cast<void*>(&temp) : &temp.llVal;
      value = &pointers_[index];
      return S_OK;
    }
    if (IsMissing(arg)) return BindMissing(index);
    switch (param.How) {
      case Pass::Value: return BindScalar(param.Type.Vt, *arg, temp, value);
      case Pass::Interface: return BindInterface(param.Type.Iid, *arg, temp, value);
      case Pass::Variant:
        value = arg->vt == (VT_VARIANT | VT_BYREF) && arg->pvarVal ? arg->pvarVal : const_cast<VARIANTARG*>(arg);
        return S_OK;
      case Pass::ByRef: return BindByRef(index, *arg);
      case Pass::InPointer: return BindInPointer(index, *arg);
      default: return DISP_E_BADVARTYPE;
    }
  }

  // Calls the function; the HRESULT it returned (or S_OK) and its result.
  HRESULT Run(void* function, VARIANT* result) {
    union {
      ffi_arg Integer;
      double Real;
      float Single;
      void* Pointer;
    } returned{};
    ffi_call(const_cast<ffi_cif*>(&plan_.Cif), FFI_FN(function), &returned, values_.data());
    if (plan_.ReturnsHresult) {
      auto hr = static_cast<HRESULT>(static_cast<ffi_sarg>(returned.Integer));
      if (FAILED(hr)) return hr;
      if (plan_.Retval >= 0) TakeRetval(static_cast<size_t>(plan_.Retval), result);
      return hr;
    }
    if (result && plan_.ReturnVt != VT_VOID) StoreReturn(returned.Integer, returned.Real, returned.Single, result);
    return S_OK;
  }

 private:
  HRESULT BindScalar(VARTYPE vt, const VARIANTARG& arg, VARIANT& temp, void*& value) {
    if (SameScalar(arg.vt, vt)) {
      value = const_cast<LONGLONG*>(&arg.llVal);
      return S_OK;
    }
    if (arg.vt == (vt | VT_BYREF) && arg.byref) {
      value = arg.byref;
      return S_OK;
    }
    HRESULT hr = VariantChangeType(&temp, &arg, 0, vt);
    if (FAILED(hr)) return hr;
    value = &temp.llVal;
    return S_OK;
  }

  HRESULT BindInterface(const GUID& iid, const VARIANTARG& arg, VARIANT& temp, void*& value) {
    IUnknown* given = nullptr;
    if (!InterfaceIn(arg, given)) return DISP_E_TYPEMISMATCH;
    temp.vt = VT_UNKNOWN;
    temp.punkVal = nullptr;
    if (given && FAILED(given->QueryInterface(iid, reinterpret_cast<void**>(&temp.punkVal)))) {
      return DISP_E_TYPEMISMATCH;
    }
    value = &temp.punkVal;
    return S_OK;
  }

  HRESULT BindByRef(size_t index, const VARIANTARG& arg) {
    const Shape& type = plan_.Params[index].Type;
    void* target = nullptr;
    if (type.Pointee == Shape::Kind::Variant) {
      target = arg.vt == (VT_VARIANT | VT_BYREF) ? static_cast<void*>(arg.pvarVal) : const_cast<VARIANTARG*>(&arg);
    } else if (type.Pointee == Shape::Kind::Interface) {
      if (arg.vt == (VT_DISPATCH | VT_BYREF) || arg.vt == (VT_UNKNOWN | VT_BYREF)) target = arg.byref;
    } else if ((arg.vt & VT_BYREF) && SameScalar(static_cast<VARTYPE>(arg.vt & ~VT_BYREF), type.Vt)) {
      target = arg.byref;
    }
    if (!target) return DISP_E_TYPEMISMATCH;
    pointers_[index] = target;
    values_[index + 1] = &pointers_[index];
    return S_OK;
  }

  HRESULT BindInPointer(size_t index, const VARIANTARG& arg) {
    const Shape& type = plan_.Params[index].Type;
    VARIANT& temp = temps_[index];
    void* target = nullptr;
    if (type.Pointee == Shape::Kind::Variant) {
      target = arg.vt == (VT_VARIANT | VT_BYREF) ? static_cast<void*>(arg.pvarVal) : const_cast<VARIANTARG*>(&arg);
    } else if (type.Pointee == Shape::Kind::Interface) {
      if (arg.vt == (VT_DISPATCH | VT_BYREF) || arg.vt == (VT_UNKNOWN | VT_BYREF)) {
        target = arg.byref;
      } else {
        void* unused = nullptr;
        HRESULT hr = BindInterface(type.Iid, arg, temp, unused);
        if (FAILED(hr)) return hr;
        target = &temp.punkVal;
      }
    } else if ((arg.vt & VT_BYREF) && SameScalar(static_cast<VARTYPE>(arg.vt & ~VT_BYREF), type.Vt)) {
      target = arg.byref;
    } else {
      HRESULT hr = VariantChangeType(&temp, &arg, 0, type.Vt);
      if (FAILED(hr)) return hr;
      target = &temp.llVal;
    }
    if (!target) return DISP_E_TYPEMISMATCH;
    pointers_[index] = target;
    values_[index + 1] = &pointers_[index];
    return S_OK;
  }

  // An optional parameter the caller left out: its default value, else
  // "missing" for a VARIANT and zero or null for anything else.
  HRESULT BindMissing(size_t index) {
    const InvokePlan::Param& param = plan_.Params[index];
    if (!(param.Flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT))) return DISP_E_PARAMNOTOPTIONAL;
    VARIANT& temp = temps_[index];
    bool variant = param.Type.What == Shape::Kind::Variant ||
                   (param.Type.What == Shape::Kind::Pointer && param.Type.Pointee == Shape::Kind::Variant);
    if (param.Default) {
      if (variant) {
        HRESULT hr = VariantCopy(&temp, param.Default);
        if (FAILED(hr)) return hr;
        return BindFromTemp(index);
      }
      if (param.Type.What == Shape::Kind::Scalar || param.Type.Pointee == Shape::Kind::Scalar) {
        HRESULT hr = VariantChangeType(&temp, param.Default, 0, param.Type.Vt);
        if (FAILED(hr)) return hr;
        return BindFromTemp(index);
      }
    }
    if (variant) {
      temp.vt = VT_ERROR;
      temp.scode = DISP_E_PARAMNOTFOUND;
    } else {
      temp.vt = VT_EMPTY;
      temp.llVal = 0;
      temp.ullVal = 0;
    }
    if (param.How == Pass::ByRef && !variant) {
      pointers_[index] = nullptr;  // an optional out parameter nobody asked for
      values_[index + 1] = &pointers_[index];
      return S_OK;
    }
    return BindFromTemp(index);
  }

  HRESULT BindFromTemp(size_t index) {
    const InvokePlan::Param& param = plan_.Params[index];
    VARIANT& temp = temps_[index];
    switch (param.How) {
      case Pass::Variant: values_[index + 1] = &temp; return S_OK;
      case Pass::Value:
      case Pass::Interface: values_[index + 1] = &temp.llVal; return S_OK;
      default:
        pointers_[index] = param.Type.Pointee == Shape::Kind::Variant ? static_cast<void*>(&temp) : &temp.llVal;
        values_[index + 1] = &pointers_[index];
        return S_OK;
    }
  }

  void TakeRetval(size_t index, VARIANT* result) {
    const Shape& type = plan_.Params[index].Type;
    VARIANT& temp = temps_[index];
    VARTYPE vt = temp.vt;
    if (type.Pointee != Shape::Kind::Variant) {
      vt = type.Pointee == Shape::Kind::Interface ? static_cast<VARTYPE>(type.Dispatch ? VT_DISPATCH : VT_UNKNOWN)
                                                  : type.Vt;
    }
    if (result) {
      *result = temp;  // the result takes what the function handed out
      result->vt = vt;
    } else {
      temp.vt = vt;
      VariantClear(&temp);
    }
    temp.vt = VT_EMPTY;
  }

  void StoreReturn(ffi_arg integer, double real, float single, VARIANT* result) {
    result->vt = plan_.ReturnVt;
    switch (plan_.ReturnVt) {
      case VT_R4: result->fltVal = single; break;
      case VT_R8:
      case VT_DATE: result->dblVal = real; break;
      case VT_I1: result->cVal = static_cast<CHAR>(integer); break;
      case VT_UI1: result->bVal = static_cast<BYTE>(integer); break;
      case VT_I2:
      case VT_BOOL: result->iVal = static_cast<SHORT>(integer); break;
      case VT_UI2: result->uiVal = static_cast<USHORT>(integer); break;
      case VT_I4:
      case VT_ERROR: result->lVal = static_cast<LONG>(integer); break;
      case VT_UI4: result->ulVal = static_cast<ULONG>(integer); break;
      default: result->llVal = static_cast<LONGLONG>(integer); break;
    }
  }

  const InvokePlan& plan_;
  void* object_;
  InlineBuffer<VARIANT, kInlineParams> temps_;
  InlineBuffer<void*, kInlineParams> pointers_;
  InlineBuffer<void*, kInlineParams + 1> values_;
};

void FillException(HRESULT hr, EXCEPINFO* info) {
  if (!info) return;
  *info = EXCEPINFO{};
  info->scode = hr;
  IErrorInfo* error = nullptr;
  if (GetErrorInfo(0, &error) == S_OK && error) {
    error->GetSource(&info->bstrSource);
    error->GetDescription(&info->bstrDescription);
    error->GetHelpFile(&info->bstrHelpFile);
    error->GetHelpContext(&info->dwHelpContext);
    error->Release();
  }
}

// Which parameter each argument goes to. Positional arguments fill the
// parameters in order; a named one goes to the parameter its dispid numbers.
using ArgumentList = InlineBuffer<const VARIANTARG*, kInlineParams>;
using PositionList = InlineBuffer<UINT, kInlineParams>;

HRESULT MapArguments(const InvokePlan& plan, const FUNCDESC& desc, const DISPPARAMS& params, ArgumentList& args,
                     PositionList& positions, UINT* puArgErr) {
  size_t count = plan.Dispatchable.size();
  if (params.cNamedArgs > params.cArgs || (params.cArgs > 0 && !params.rgvarg) ||
      (params.cNamedArgs > 0 && !params.rgdispidNamedArgs)) {
    return E_INVALIDARG;
  }
  UINT positional = params.cArgs - params.cNamedArgs;
  if (positional > count) return DISP_E_BADPARAMCOUNT;
  for (UINT j = 0; j < positional; ++j) {
    UINT at = params.cArgs - 1 - j;
    args[j] = &params.rgvarg[at];
    positions[j] = at;
  }
  bool put = desc.invkind == INVOKE_PROPERTYPUT || desc.invkind == INVOKE_PROPERTYPUTREF;
  for (UINT i = 0; i < params.cNamedArgs; ++i) {
    DISPID id = params.rgdispidNamedArgs[i];
    size_t target = count;
    if (id == DISPID_PROPERTYPUT && put && count > 0) {
      target = count - 1;
    } else if (id >= 0 && static_cast<size_t>(id) < count) {
      target = static_cast<size_t>(id);
    }
    if (target == count || args[target]) {
      if (puArgErr) *puArgErr = i;
      return DISP_E_PARAMNOTFOUND;
    }
    args[target] = &params.rgvarg[i];
    positions[target] = i;
  }
  // Too few positional arguments for the parameters that must be given.
  if (params.cNamedArgs == 0) {
    for (size_t k = positional; k < count; ++k) {
      if (!(plan.Params[plan.Dispatchable[k]].Flags & (PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT))) {
        return DISP_E_BADPARAMCOUNT;
      }
    }
  }
  return S_OK;
}

}  // namespace

const MemberFunc* TypeInfoObject::FindInvokable(MEMBERID memid, WORD flags, size_t& slot) {
  const Resolved& resolved = Resolve();
  auto [first, last] = resolved.ByMemberId.equal_range(memid);
  for (auto it = first; it != last; ++it) {
    const MemberFunc& member = resolved.VtableFuncs[it->second];
    if (Matches(member.Func->Desc.invkind, flags)) {
      slot = it->second;
      return &member;
    }
  }
  return nullptr;
}

InvokePlan* TypeInfoObject::PlanFor(const MemberFunc& member, size_t slot) {
  InvokePlan* plan = planSlots_[slot].load(std::memory_order_acquire);
  if (plan) return plan;
  std::lock_guard guard(planLock_);
  plan = planSlots_[slot].load(std::memory_order_relaxed);
  if (plan) return plan;
  TYPEATTR* ownerAttr = nullptr;
  member.Owner->GetTypeAttr(&ownerAttr);
  auto made = MakePlan(member, static_cast<size_t>(member.Func->Desc.oVft) / sizeof(void*));
  // A function outside its interface's vtable cannot be called.
  if (member.Func->Desc.oVft >= ownerAttr->cbSizeVft) made->Error = DISP_E_MEMBERNOTFOUND;
  member.Owner->ReleaseTypeAttr(ownerAttr);
  plan = made.get();
  plans_.emplace_back(made.release());
  planSlots_[slot].store(plan, std::memory_order_release);
  return plan;
}

HRESULT STDMETHODCALLTYPE TypeInfoObject::Invoke(PVOID pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                                                 VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) {
  if (view_ == View::DualDispatch) {
    return lib_.View(index_, true)->Invoke(pvInstance, memid, wFlags, pDispParams, pVarResult, pExcepInfo, puArgErr);
  }
  if (!pvInstance || !pDispParams) return E_INVALIDARG;
  if (!IsVtableView()) return DISP_E_MEMBERNOTFOUND;  // a dispinterface's members live in its IDispatch
  return Guarded(E_OUTOFMEMORY, [&]() -> HRESULT {
    size_t slot = 0;
    const MemberFunc* member = FindInvokable(memid, wFlags, slot);
    if (!member || !planSlots_) return DISP_E_MEMBERNOTFOUND;
    const InvokePlan& plan = *PlanFor(*member, slot);
    if (FAILED(plan.Error)) return plan.Error;

    ArgumentList args(plan.Dispatchable.size(), nullptr);
    PositionList positions(plan.Dispatchable.size(), 0);
    HRESULT hr = MapArguments(plan, member->Func->Desc, *pDispParams, args, positions, puArgErr);
    if (FAILED(hr)) return hr;
    if (pVarResult) VariantInit(pVarResult);
    Call call(plan, pvInstance);
    for (size_t k = 0; k < plan.Dispatchable.size(); ++k) {
      hr = call.Bind(plan.Dispatchable[k], args[k]);
      if (FAILED(hr)) {
        if (puArgErr && args[k]) *puArgErr = positions[k];
        return hr;
      }
    }
    for (size_t i = 0; i < plan.Params.size(); ++i) {
      if (plan.Params[i].How == Pass::Lcid || plan.Params[i].How == Pass::Retval) call.Bind(i, nullptr);
    }
    void* function = (*static_cast<void***>(pvInstance))[plan.Slot];
    hr = call.Run(function, pVarResult);
    if (FAILED(hr)) {
      FillException(hr, pExcepInfo);
      return DISP_E_EXCEPTION;
    }
    return S_OK;
  });
}

}  // namespace qorv::platform::typelib
