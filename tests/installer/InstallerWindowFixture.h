// The installer window made from its stored description, headless, in a
// fresh system root, with a medium folder C:\medium as the current directory
// (empty until a test puts files there). Boxes the window shows are counted
// and answered with OK.
#pragma once

#include <gtest/gtest.h>

#include <fileapi.h>
#include <objbase.h>
#include <systemroot.h>

#include <filesystem>
#include <string>

#include "Application.h"
#include "FormInput.h"
#include "HeadlessGuiTest.h"
#include "PageControl.h"
#include "TestSupport.h"
#include "uNIiNSTALL.h"

namespace qorv::test {

class InstallerWindowTest : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    std::filesystem::create_directories(Linux("C:\\medium"));
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\medium"));
    SetModalResponder([this](TCustomForm& box) {
      ++boxes_;
      box.SetModalResult(mrOk);
    });
  }

  void TearDown() override {
    delete form_;
    form_ = nullptr;
    SetCurrentDirectoryA("C:\\");
    CoUninitialize();
    HeadlessGuiTest::TearDown();
  }

  static std::filesystem::path Linux(const std::string& windows) {
    return *qorv::platform::WindowsToLinuxPath(windows);
  }

  // A file of the medium (a path relative to it, Windows style).
  static void PutOnMedium(const std::string& relative, const std::string& bytes) {
    std::filesystem::path path = Linux("C:\\medium\\" + relative);
    std::filesystem::create_directories(path.parent_path());
    WriteFileBytes(path, bytes);
  }
  // A shell script on the medium that the platform starts as a program.
  static void PutScriptOnMedium(const std::string& relative, const std::string& body) {
    PutOnMedium(relative, "#!/bin/sh\n" + body + "\n");
    std::filesystem::permissions(Linux("C:\\medium\\" + relative), std::filesystem::perms(0755));
  }

  // The window as the program makes and shows it.
  TForm1& Window() {
    if (!form_) {
      form_ = NewForm<TForm1>(Application);
      form_->Show();
      Application->ProcessMessages();
    }
    return *form_;
  }

  // A click in the middle of the control, its page brought to the front
  // first; handled before this returns.
  void Click(TControl* control) {
    ASSERT_NE(control, nullptr);
    TForm1& window = Window();
    for (TWinControl* parent = control->Parent(); parent; parent = parent->Parent()) {
      if (auto* sheet = dynamic_cast<TTabSheet*>(parent)) window.PageControl1->SetActivePage(sheet);
    }
    TPoint middle = control->ClientToForm({control->Width() / 2, control->Height() / 2});
    PostClick(window, middle.X, middle.Y);
    Application->ProcessMessages();
  }

  TForm1* form_ = nullptr;
  int boxes_ = 0;
};

}  // namespace qorv::test
