#include <gtest/gtest.h>

#include <climits>

#include "winerror.h"
#include "wingdi.h"

namespace {

BITMAPINFO Info32(LONG width, LONG height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

TEST(MemoryDc, DrawerFindsTheHostsBitsThroughTheContext) {
  BITMAPINFO info = Info32(4, -3);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  ASSERT_NE(bits, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  ASSERT_NE(dc, nullptr);
  HGDIOBJ placeholder = SelectObject(dc, bitmap);
  ASSERT_NE(placeholder, nullptr);

  HGDIOBJ current = GetCurrentObject(dc, OBJ_BITMAP);
  EXPECT_EQ(current, static_cast<HGDIOBJ>(bitmap));
  DIBSECTION section{};
  ASSERT_EQ(GetObjectA(current, sizeof section, &section), static_cast<int>(sizeof section));
  EXPECT_EQ(section.dsBm.bmBits, bits);
  EXPECT_EQ(section.dsBm.bmWidth, 4);
  EXPECT_EQ(section.dsBm.bmHeight, 3);
  EXPECT_EQ(section.dsBm.bmWidthBytes, 16);
  EXPECT_EQ(section.dsBmih.biHeight, -3) << "a drawer needs the row order";

  static_cast<DWORD*>(bits)[1 * 4 + 2] = 0x00112233;
  EXPECT_EQ(GetPixel(dc, 2, 1), RGB(0x11, 0x22, 0x33));
  EXPECT_EQ(GetPixel(dc, 4, 0), CLR_INVALID);
  EXPECT_EQ(GetPixel(dc, 0, -1), CLR_INVALID);

  EXPECT_FALSE(DeleteObject(bitmap)) << "a selected bitmap stays";
  EXPECT_EQ(SelectObject(dc, placeholder), static_cast<HGDIOBJ>(bitmap));
  EXPECT_TRUE(DeleteObject(bitmap));
  EXPECT_TRUE(DeleteDC(dc));
}

TEST(MemoryDc, BottomUpRowsAreReadFromTheEnd) {
  BITMAPINFO info = Info32(2, 2);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_NE(bitmap, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  SelectObject(dc, bitmap);
  static_cast<DWORD*>(bits)[0] = 0x00FF0000;  // first row in memory: the bottom one
  EXPECT_EQ(GetPixel(dc, 0, 1), RGB(0xFF, 0, 0));
  EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 0));
  EXPECT_TRUE(DeleteDC(dc));
  EXPECT_TRUE(DeleteObject(bitmap)) << "deleting the context lets go of its bitmap";
}

TEST(MemoryDc, RefusesWhatItCannotHold) {
  void* bits = reinterpret_cast<void*>(1);
  for (BITMAPINFO info : {Info32(0, 1), Info32(1, 0), Info32(16385, 1), Info32(1, INT_MIN), Info32(1, -16385)}) {
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(bits, nullptr);
  }
  BITMAPINFO palette = Info32(1, 1);
  palette.bmiHeader.biBitCount = 8;
  EXPECT_EQ(CreateDIBSection(nullptr, &palette, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(CreateDIBSection(nullptr, nullptr, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
}

TEST(MemoryDc, ForeignHandlesAreRefused) {
  int local = 0;
  auto* forged = reinterpret_cast<HDC>(&local);
  EXPECT_EQ(CreateCompatibleDC(forged), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(GetCurrentObject(forged, OBJ_BITMAP), nullptr);
  EXPECT_EQ(GetPixel(forged, 0, 0), CLR_INVALID);
  EXPECT_FALSE(DeleteDC(forged));
  EXPECT_FALSE(DeleteObject(&local));
  EXPECT_EQ(GetObjectA(&local, sizeof(BITMAP), &local), 0);

  BITMAPINFO info = Info32(1, 1);
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
  HDC first = CreateCompatibleDC(nullptr);
  HDC second = CreateCompatibleDC(first);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(SelectObject(first, bitmap), nullptr);
  EXPECT_EQ(SelectObject(second, bitmap), nullptr) << "one bitmap, one context at a time";
  EXPECT_TRUE(DeleteDC(first));
  EXPECT_FALSE(DeleteDC(first)) << "a deleted context is gone";
  EXPECT_NE(SelectObject(second, bitmap), nullptr);
  EXPECT_TRUE(DeleteDC(second));
  EXPECT_TRUE(DeleteObject(bitmap));
}

}  // namespace
