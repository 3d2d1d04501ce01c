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
