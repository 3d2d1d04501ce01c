// The about box as a person meets it: the link that lights up under the
// mouse and opens the product page, the keys and the close box that end it,
// a fresh dialog each time, and a failure while showing it that frees it.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "About1.h"
#include "Application.h"
#include "FormInput.h"
#include "GoldenImage.h"
#include "HeadlessGuiTest.h"
#include "TestSupport.h"
#include "systemroot.h"
#include "winuser.h"

namespace {

namespace fs = std::filesystem;

std::unique_ptr<TQorvXAbout> NewAbout() { return std::unique_ptr<TQorvXAbout>(NewForm<TQorvXAbout>(nullptr)); }

TPoint Centre(const TControl& control) { return control.ClientToForm({control.Width() / 2, control.Height() / 2}); }

// About boxes still alive anywhere in the application.
int LiveAboutBoxes() {
  int count = 0;
  for (TCustomForm* form : Application->Forms()) count += dynamic_cast<TQorvXAbout*>(form) != nullptr;
  return count;
}

// Whether the control's area of the painted dialog holds a pixel of that
// 0x00RRGGBB colour (the link text is drawn antialiased, its core exact).
bool AreaHolds(TQorvXAbout& box, const TControl& control, std::uint32_t rgb) {
  auto surface = box.PaintToSurface();
  const TRect area = control.BoundsRect();
  for (int y = area.Top; y < area.Bottom; ++y) {
    for (int x = area.Left; x < area.Right; ++x) {
      if (surface->Pixel(x, y) == rgb) return true;
    }
  }
  return false;
}

// An opener standing in for the desktop's: each start appends its
// arguments as one line to a file.
fs::path InstallRecordingOpener() {
  auto root = qorv::platform::WindowsToLinuxPath("C:\\");
  EXPECT_TRUE(root);
  const fs::path out = *root / "opened.txt";
  const fs::path script = *root / "opener.sh";
  qorv::test::WriteFileBytes(script, "#!/bin/sh\necho \"$*\" >> '" + out.string() + "'\n");
  fs::permissions(script, fs::perms(0755));
  EXPECT_TRUE(qorv::platform::WriteIniValue("system.ini", "Opener", script.string()));
  return out;
}

std::vector<std::string> Lines(const fs::path& path) {
  const auto bytes = qorv::test::ReadFileBytes(path);
  std::vector<std::string> lines;
  std::string line;
  for (unsigned char c : bytes) {
    if (c != '\n') {
      line += static_cast<char>(c);
      continue;
    }
    lines.push_back(line);
    line.clear();
  }
  return lines;
}

using AboutBox = HeadlessGuiTest;

// Hovering turns the link blue and leaving turns it black, whatever colour
// it had before, and the painted text follows.
TEST_F(AboutBox, LinkLightsUpUnderTheMouse) {
  auto box = NewAbout();
  box->Show();
  box->Label2->Font().SetColor(clRed);

  PostMouseMove(*box, Centre(*box->Label2).X, Centre(*box->Label2).Y);
  Application->ProcessMessages();
  EXPECT_EQ(box->Label2->Font().Color, 0xFF0000) << "blue in 0x00BBGGRR";
  EXPECT_TRUE(AreaHolds(*box, *box->Label2, 0x0000FF)) << "the link text is painted blue";

  PostMouseMove(*box, Centre(*box->OkBtn).X, Centre(*box->OkBtn).Y);
  Application->ProcessMessages();
  EXPECT_EQ(box->Label2->Font().Color, 0);
  EXPECT_FALSE(AreaHolds(*box, *box->Label2, 0x0000FF)) << "no blue left after the mouse went";
  EXPECT_TRUE(AreaHolds(*box, *box->Label2, 0x000000));
}

// Each click starts the opener once with the product page's address, and the
// dialog stays open.
TEST_F(AboutBox, ClickOnTheLinkOpensThePageOncePerClick) {
  const fs::path opened = InstallRecordingOpener();
  auto box = NewAbout();
  box->Show();
  const std::string address = "http://" + box->Label2->Caption();
  ASSERT_EQ(box->Label2->Caption().rfind("http", 0), std::string::npos) << "the caption has no scheme of its own";

  for (int click = 1; click <= 2; ++click) {
    PostClick(*box, Centre(*box->Label2).X, Centre(*box->Label2).Y);
    Application->ProcessMessages();
    ASSERT_TRUE(qorv::test::WaitUntil([&] { return Lines(opened).size() >= static_cast<std::size_t>(click); },
                                      std::chrono::seconds(30)))
        << "click " << click << " started no opener";
  }
  EXPECT_EQ(Lines(opened), (std::vector<std::string>{address, address}));
  EXPECT_TRUE(box->Visible()) << "the dialog stays open";
  EXPECT_EQ(box->ModalResult(), mrNone);
}

// An opener that cannot start changes nothing: no message, the dialog as it was.
TEST_F(AboutBox, OpenerThatCannotStartIsIgnored) {
  ASSERT_TRUE(qorv::platform::WriteIniValue("system.ini", "Opener", "/nonexistent/opener"));
  auto box = NewAbout();
  box->Show();
  PostClick(*box, Centre(*box->Label2).X, Centre(*box->Label2).Y);
  Application->ProcessMessages();
  EXPECT_TRUE(box->Visible());
  EXPECT_EQ(Application->Forms().size(), 1u) << "no message box came up";
}

// Enter (Default), Escape (Cancel), a click on OK and the close box each end
// the modal loop, and the dialog is freed.
TEST_F(AboutBox, EnterEscapeOkAndCloseBoxEndIt) {
  const std::vector<std::pair<const char*, std::function<void(TQorvXAbout&)>>> ways = {
      {"Enter", [](TQorvXAbout& box) { PostKey(box, VK_RETURN); }},
      {"Escape", [](TQorvXAbout& box) { PostKey(box, VK_ESCAPE); }},
      {"OK", [](TQorvXAbout& box) { PostClick(box, Centre(*box.OkBtn).X, Centre(*box.OkBtn).Y); }},
      {"close box", [](TQorvXAbout& box) { PostClose(box); }},
  };
  for (const auto& [name, close] : ways) {
    int shown = 0;
    SetModalResponder([&, close = close](TCustomForm& form) {
      auto* box = dynamic_cast<TQorvXAbout*>(&form);
      ASSERT_NE(box, nullptr);
      ++shown;
      close(*box);
    });
    ShowAboutBox();
    EXPECT_EQ(shown, 1) << name;
    EXPECT_EQ(LiveAboutBoxes(), 0) << name << ": the dialog is freed when it closes";
  }
}

// Each showing builds the dialog anew: the link a previous showing left blue
// is black again.
TEST_F(AboutBox, EachShowingStartsFromTheStoredLook) {
  std::vector<TColor> linkColours;
  std::vector<const void*> boxes;
  SetModalResponder([&](TCustomForm& form) {
    auto& box = dynamic_cast<TQorvXAbout&>(form);
    linkColours.push_back(box.Label2->Font().Color);
    boxes.push_back(&box);
    PostMouseMove(box, Centre(*box.Label2).X, Centre(*box.Label2).Y);
    PostKey(box, VK_ESCAPE);
  });
  ShowAboutBox();
  ShowAboutBox();
  EXPECT_EQ(linkColours, (std::vector<TColor>{0, 0}));
  EXPECT_EQ(LiveAboutBoxes(), 0);
}

// A failure while the dialog shows reaches the caller, and the dialog is
// freed all the same.
TEST_F(AboutBox, FailureWhileShowingFreesTheDialog) {
  SetModalResponder([](TCustomForm&) { throw Exception("the display went away"); });
  try {
    ShowAboutBox();
    ADD_FAILURE() << "the failure did not reach the caller";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "the display went away");
  }
  EXPECT_EQ(LiveAboutBoxes(), 0);
}

// Without a display and without anyone to answer, the dialog answers itself
// with its default button, so a host run unattended does not hang in it.
TEST_F(AboutBox, UnattendedShowingEndsByItself) {
  ShowAboutBox();
  EXPECT_EQ(LiveAboutBoxes(), 0);
}

// The dialog as it is drawn: the stored description's layout, fonts and picture.
TEST_F(AboutBox, LooksLikeItsGoldenPicture) {
  auto box = NewAbout();
  EXPECT_EQ(box->ClientWidth(), 224);
  EXPECT_EQ(box->ClientHeight(), 184);
  auto surface = box->PaintToSurface();
  qorv::test::ExpectLikeGolden(*surface, "recorder", "about-box.png");
}

}  // namespace
