// Code pages. CP_ACP is the ANSI code page of the system root (1256, Arabic and
// Persian, unless configured otherwise); wide strings are UTF-16 on char16_t.
#pragma once

#include "wintypes.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_OEMCP = 1;
constexpr UINT CP_UTF8 = 65001;
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x00000400;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

// Windows semantics: a length of -1 means zero-terminated (the terminator is
// converted and counted); an output size of 0 asks for the size needed; a too
// small output fails with ERROR_INSUFFICIENT_BUFFER. Single-byte code pages
// and CP_UTF8 are supported (others fail with ERROR_INVALID_PARAMETER).
// Characters the code page lacks become the default character ('?' unless
// lpDefaultChar gives another), reported through lpUsedDefaultChar; malformed
// UTF-8 becomes U+FFFD, or fails with ERROR_NO_UNICODE_TRANSLATION under
// MB_ERR_INVALID_CHARS (WC_ERR_INVALID_CHARS for unpaired surrogates).

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar);
int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar, LPBOOL lpUsedDefaultChar);
UINT WINAPI GetACP();
