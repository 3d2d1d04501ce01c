// Font resources. Fonts added here belong to this process, as on Windows
// without a registry entry: they are gone when it ends. The GUI framework
// reads the list before it lays out text, so an added font is usable by name
// in every window of the process at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "wintypes.h"

// The number of fonts the file holds (faces of a TrueType collection count
// one each), 0 for a missing file or one that is not a font. A font file
// resource made by CreateScalableFontResourceA adds the font it names. Adding
// the same file again adds nothing new but answers the same number.
int WINAPI AddFontResourceA(LPCSTR lpFileName);

// Writes the font resource file lpszFontRes naming the TrueType font
// lpszFontFile (when lpszCurrentPath is given, the font is that folder's
// lpszFontFile and the resource names the file alone, to be found beside the
// resource or in the Fonts folder at AddFontResourceA time). The file is a
// small text of our own, not Windows' executable format. FALSE with
// ERROR_FILE_EXISTS when lpszFontRes exists (it is never replaced),
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND for a missing font,
// ERROR_INVALID_DATA when it is not a TrueType font, ERROR_INVALID_PARAMETER
// for a null name.
BOOL WINAPI CreateScalableFontResourceA(DWORD fdwHidden, LPCSTR lpszFontRes, LPCSTR lpszFontFile,
                                        LPCSTR lpszCurrentPath);

namespace qorv::platform {

// The font files added so far (Linux paths, in the order added; the list only
// grows) with a count that changes whenever a file is added, read together.
struct AddedFonts {
  std::uint64_t Generation = 0;
  std::vector<std::filesystem::path> Files;
};
AddedFonts AddedFontFiles();
// The count alone, cheap enough to read before every text layout.
std::uint64_t AddedFontGeneration();

}  // namespace qorv::platform

// ---- Memory device contexts --------------------------------------------------
// Only what a host needs to hand a control somewhere to draw: a memory device
// context with a 32-bit top-down or bottom-up DIB section selected into it.
// The bits are 0x00RRGGBB per pixel, as on Windows; a drawer reaches them
// through GetCurrentObject and GetObjectA, as it would there. A window's
// device context (BeginPaint's token) is no memory context: the functions
// here fail on it with ERROR_INVALID_HANDLE.

using HGDIOBJ = void*;
using COLORREF = DWORD;
constexpr COLORREF CLR_INVALID = 0xFFFFFFFFu;
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}

constexpr DWORD BI_RGB = 0;
constexpr UINT DIB_RGB_COLORS = 0;
constexpr UINT OBJ_BITMAP = 7;

struct BITMAP {
  LONG bmType;
  LONG bmWidth;
  LONG bmHeight;
  LONG bmWidthBytes;
  WORD bmPlanes;
  WORD bmBitsPixel;
  LPVOID bmBits;
};

struct BITMAPINFOHEADER {
  DWORD biSize;
  LONG biWidth;
  LONG biHeight;  // negative: the first row in memory is the top one
  WORD biPlanes;
  WORD biBitCount;
  DWORD biCompression;
  DWORD biSizeImage;
  LONG biXPelsPerMeter;
  LONG biYPelsPerMeter;
  DWORD biClrUsed;
  DWORD biClrImportant;
};

struct RGBQUAD {
  BYTE rgbBlue;
  BYTE rgbGreen;
  BYTE rgbRed;
  BYTE rgbReserved;
};

struct BITMAPINFO {
  BITMAPINFOHEADER bmiHeader;
  RGBQUAD bmiColors[1];
};

struct DIBSECTION {
  BITMAP dsBm;
  BITMAPINFOHEADER dsBmih;
  DWORD dsBitfields[3];
  HANDLE dshSection;
  DWORD dsOffset;
};

// A memory context holding a 1 x 1 placeholder bitmap; hdc must be null or
// another memory context (anything else: NULL, ERROR_INVALID_HANDLE).
HDC WINAPI CreateCompatibleDC(HDC hdc);
// The context goes; the bitmap selected into it stays the caller's.
BOOL WINAPI DeleteDC(HDC hdc);
// 32 bits per pixel, BI_RGB, one plane and DIB_RGB_COLORS only (anything else,
// or a side of 0 or beyond 16384: NULL with ERROR_INVALID_PARAMETER; no
// memory: ERROR_NOT_ENOUGH_MEMORY). The bits start zeroed (black). hdc and
// hSection are accepted for signature fidelity; no file mapping is used.
HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* pbmi, UINT usage, void** ppvBits, HANDLE hSection,
                                DWORD offset);
// Selects a bitmap into a memory context and answers the one it replaces;
// NULL (ERROR_INVALID_HANDLE) for an unknown context or bitmap, and for a
// bitmap selected into another context, as Windows refuses it.
HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h);
// The selected object of that type (OBJ_BITMAP only); NULL otherwise.
HGDIOBJ WINAPI GetCurrentObject(HDC hdc, UINT type);
// BITMAP (cbBuffer >= sizeof(BITMAP)) or DIBSECTION (cbBuffer >=
// sizeof(DIBSECTION)) of a bitmap; answers the bytes written, 0 for an
// unknown object or a too small buffer. A null buffer asks for the size.
int WINAPI GetObjectA(HANDLE h, int cbBuffer, LPVOID pv);
// FALSE while the bitmap is selected into a context, as on Windows, and
// for an unknown object.
BOOL WINAPI DeleteObject(HGDIOBJ ho);
// The pixel of the selected bitmap; CLR_INVALID outside it.
COLORREF WINAPI GetPixel(HDC hdc, int x, int y);
