// OLE Automation data types: the 16-bit COM boolean and the COM string.
//
// A BSTR points at the first character of a UTF-16 text that is preceded by
// its length in bytes (32 bits) and followed by a 0 character, so it can be
// passed where a plain wide string is expected. A null BSTR is a valid empty
// string everywhere a BSTR is read.
#pragma once

#include "wintypes.h"

using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;

using VARIANT_BOOL = SHORT;
constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// A new string holding the text up to its 0 character; null for a null text
// or when memory runs out.
BSTR WINAPI SysAllocString(const OLECHAR* psz);
// A new string of ui characters copied from strIn (left uninitialised, but
// 0-terminated, when strIn is null); null when memory runs out.
BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui);
// Frees a string made by the two above; a null string is ignored.
void WINAPI SysFreeString(BSTR bstrString);
// The length in characters (0 for a null string).
UINT WINAPI SysStringLen(BSTR pbstr);
// The length in bytes (0 for a null string).
UINT WINAPI SysStringByteLen(BSTR bstr);

// ---- VARIANT ----------------------------------------------------------------

struct tagVARIANT;
using VARIANT = tagVARIANT;
using VARIANTARG = tagVARIANT;
using VARTYPE = unsigned short;
using LCID = DWORD;
struct IErrorInfo;
struct ICreateErrorInfo;

// VariantChangeType(Ex) flags.
constexpr USHORT VARIANT_NOVALUEPROP = 0x01;
constexpr USHORT VARIANT_ALPHABOOL = 0x02;
constexpr USHORT VARIANT_NOUSEROVERRIDE = 0x04;
constexpr USHORT VARIANT_LOCALBOOL = 0x10;

constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;
constexpr LCID LOCALE_INVARIANT = 0x007F;

// Sets the type to VT_EMPTY; the old contents are not looked at.
void WINAPI VariantInit(VARIANTARG* pvarg);
// Frees what the variant owns (a BSTR, a reference on an interface) and
// leaves it VT_EMPTY. What a by-reference variant points at belongs to the
// caller and is left alone. DISP_E_BADVARTYPE for a type that is no variant
// type (the variant is then left as it was).
HRESULT WINAPI VariantClear(VARIANTARG* pvarg);
// Clears the destination, then copies the source into it: a BSTR is
// duplicated, an interface AddRef'ed, a by-reference variant copies the
// reference. E_OUTOFMEMORY (destination VT_EMPTY) when a copy cannot be made.
HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
// Converts pvarSrc to type vt into pvargDest (which may be the source
// itself). A by-reference source is read through its reference. Numbers
// become text in the invariant form ("12", "-3"); booleans become "-1"/"0",
// or "True"/"False" with VARIANT_ALPHABOOL or VARIANT_LOCALBOOL; text becomes
// a number when it holds one between blanks. DISP_E_TYPEMISMATCH when the
// value has no form in the target type (VT_NULL to anything but VT_NULL,
// text that is no number), DISP_E_OVERFLOW when it does not fit,
// DISP_E_BADVARTYPE for an unknown type. The destination is untouched when the
// conversion fails.
HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt);
// As VariantChangeType; every locale converts as the invariant one does.
HRESULT WINAPI VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, LCID lcid, USHORT wFlags,
                                   VARTYPE vt);

// ---- error information --------------------------------------------------------

// A new, empty error information object, E_OUTOFMEMORY when none can be made.
HRESULT WINAPI CreateErrorInfo(ICreateErrorInfo** pperrinfo);
// Sets (or, with null, clears) the calling thread's error information,
// releasing what was there. dwReserved must be 0.
HRESULT WINAPI SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo);
// Hands the calling thread's error information to the caller and clears it:
// S_OK with the object, or S_FALSE with null when there is none (so a second
// call answers S_FALSE).
HRESULT WINAPI GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo);

// The types behind the declarations above.
#include "oaidl.h"
