// A form sited in another form's window shows through that window's pixels:
// the host's picture holds the sited form at its place, follows it when it
// moves, hides or is parked again, and the host draws again when the sited
// form paints. Headless here; GuiX11SitedForm checks the display.
#include <gtest/gtest.h>
#include <wingdi.h>

#include <memory>

#include "ActiveForm.h"
#include "Canvas.h"
#include "HeadlessGuiTest.h"
#include "Label.h"
#include "SitedFormSupport.h"

namespace {

namespace sited = qorv::test::sited;

using GuiSitedForm = HeadlessGuiTest;
using sited::TCornerForm;

TEST_F(GuiSitedForm, HostsPictureHoldsTheSitedFormWhereItIs) {
  TForm host(nullptr);
  sited::PrepareWhiteHost(host);
  host.Show();
  TCornerForm child(nullptr);
  child.Handle();
  EXPECT_TRUE(sited::ShowsOnly(host, {})) << "parked: not in the host";

  sited::PlaceIn(child, host.Handle(), 10, 20);
  EXPECT_TRUE(sited::ShowsOnly(host, {{&child, 10, 20}}));

  sited::PlaceIn(child, host.Handle(), 120, 60);
  EXPECT_TRUE(sited::ShowsOnly(host, {{&child, 120, 60}})) << "moved";

  ShowWindow(child.Handle(), SW_HIDE);
  child.SetVisible(false);
  EXPECT_TRUE(sited::ShowsOnly(host, {})) << "hidden in place";

  sited::PlaceIn(child, host.Handle(), 120, 60);
  child.SiteIn(nullptr);
  EXPECT_TRUE(sited::ShowsOnly(host, {})) << "parked again";
}

TEST_F(GuiSitedForm, TheLaterSitedFormLiesOnTop) {
  TForm host(nullptr);
  sited::PrepareWhiteHost(host);
  host.Show();
  TCornerForm below(nullptr);
  TCornerForm above(nullptr);
  above.SetColor(clYellow);
  sited::PlaceIn(below, host.Handle(), 10, 10);
  sited::PlaceIn(above, host.Handle(), 40, 30);
  EXPECT_TRUE(sited::ShowsOnly(host, {{&below, 10, 10}, {&above, 40, 30}}));
}

TEST_F(GuiSitedForm, HostDrawsAgainWhenTheSitedFormPaints) {
  TForm host(nullptr);
  sited::PrepareWhiteHost(host);
  host.Show();
  TCornerForm child(nullptr);
  sited::PlaceIn(child, host.Handle(), 30, 40);
  // Everything drawn, and drawing the host does not make the child ask again.
  Application->ProcessMessages();
  RECT update{};
  EXPECT_FALSE(GetUpdateRect(host.Handle(), &update, FALSE));

  child.PaintArea(TRect{5, 6, 15, 16});
  ASSERT_TRUE(GetUpdateRect(host.Handle(), &update, FALSE));
  EXPECT_EQ(update.left, 35);
  EXPECT_EQ(update.top, 46);
  EXPECT_EQ(update.right, 45);
  EXPECT_EQ(update.bottom, 56);
  Application->ProcessMessages();
  EXPECT_FALSE(GetUpdateRect(host.Handle(), &update, FALSE));

  // A top-level form's painting tells nobody.
  TForm other(nullptr);
  other.Show();
  Application->ProcessMessages();
  host.PaintArea(host.ClientRect());
  EXPECT_FALSE(GetUpdateRect(other.Handle(), &update, FALSE));
}

// What the host asks of the sited form, which may belong to another module:
// its pixels in the memory context's bitmap, whichever way up that is.
TEST_F(GuiSitedForm, PrintingIntoAContextFillsItsBitmapTheRightWayUp) {
  TCornerForm child(nullptr);
  for (LONG height : {40L, -40L}) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = 60;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ placeholder = SelectObject(dc, bitmap);
    EXPECT_NE(SendMessageA(child.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT), 0);
    EXPECT_EQ(GetPixel(dc, 0, 0), RGB(0, 0, 255)) << "the blue corner at the top, height " << height;
    EXPECT_EQ(GetPixel(dc, 19, 9), RGB(0, 0, 255));
    EXPECT_EQ(GetPixel(dc, 20, 9), RGB(255, 0, 0));
    EXPECT_EQ(GetPixel(dc, 59, 39), RGB(255, 0, 0));
    SelectObject(dc, placeholder);
    DeleteDC(dc);
    DeleteObject(bitmap);
    // A context that is gone holds nowhere to print: the answer says so.
    EXPECT_EQ(SendMessageA(child.Handle(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT), 0);
  }
  EXPECT_EQ(SendMessageA(child.Handle(), WM_PRINTCLIENT, 0x1234, PRF_CLIENT), 0) << "a forged context";
}

}  // namespace
