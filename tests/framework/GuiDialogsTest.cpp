// Message boxes, the warning box and the file-open dialog, answered through
// the queue as a person would.
#include <gtest/gtest.h>

#include <systemroot.h>

#include <filesystem>
#include <fstream>

#include "Application.h"
#include "Button.h"
#include "Dialogs.h"
#include "FormInput.h"
#include "HeadlessGuiTest.h"
#include "Label.h"
#include "OpenDialog.h"

namespace {

class GuiDialogs : public HeadlessGuiTest {
 protected:
  // Answers the next box with the input and records what it showed.
  void AnswerWith(std::function<void(TCustomForm&)> input) {
    SetModalResponder([this, input](TCustomForm& form) {
      caption_ = form.Caption();
      buttons_.clear();
      for (int i = 0; i < form.ComponentCount(); ++i) {
        if (auto* b = dynamic_cast<TButton*>(form.Components(i))) {
          buttons_.push_back(b->Caption() + (b->Default ? "*" : ""));
        }
      }
      input(form);
    });
  }
  std::string caption_;
  std::vector<std::string> buttons_;
};

TEST_F(GuiDialogs, WarningBoxHasYesAndNoWithYesDefault) {
  struct Case {
    WORD Key;
    TModalResult Expected;
  } cases[] = {{VK_RETURN, mrYes}, {VK_ESCAPE, mrNo}, {'N', mrNo}};
  for (const Case& c : cases) {
    AnswerWith([&](TCustomForm& f) {
      if (c.Key == 'N') {
        PostChar(f, 'n');
      } else {
        PostKey(f, c.Key);
      }
    });
    EXPECT_EQ(MessageDlg("Overwrite?", mtWarning, mbYes | mbNo, 0), c.Expected) << c.Key;
    EXPECT_EQ(caption_, "Warning");
    EXPECT_EQ(buttons_, (std::vector<std::string>{"&Yes*", "&No"}));
  }
}

TEST_F(GuiDialogs, MessageBoxButtonSetsAndTheirAnswers) {
  struct Case {
    UINT Flags;
    WORD Key;
    int Expected;
  } cases[] = {
      {MB_OK, VK_RETURN, IDOK},
      {MB_OK, VK_ESCAPE, IDOK},
      {MB_OKCANCEL, VK_ESCAPE, IDCANCEL},
      {MB_YESNO | MB_DEFBUTTON2, VK_RETURN, IDNO},
      {MB_YESNOCANCEL, VK_ESCAPE, IDCANCEL},
      {MB_RETRYCANCEL, VK_RETURN, IDRETRY},
  };
  for (const Case& c : cases) {
    AnswerWith([&](TCustomForm& f) { PostKey(f, c.Key); });
    EXPECT_EQ(MessageBox("text", "caption", c.Flags), c.Expected) << std::hex << c.Flags;
  }
  AnswerWith([](TCustomForm& f) { PostClose(f); });
  EXPECT_EQ(MessageBox("text", "", MB_YESNO), IDNO) << "the close box answers like Escape";
  EXPECT_EQ(caption_, "Error") << "an empty caption shows Error";
}

TEST_F(GuiDialogs, StandardErrorBoxShowsTheMessageWithOneOk) {
  std::string text;
  AnswerWith([&](TCustomForm& f) {
    for (int i = 0; i < f.ComponentCount(); ++i) {
      if (auto* l = dynamic_cast<TLabel*>(f.Components(i))) text = l->Caption();
    }
    PostKey(f, VK_RETURN);
  });
  Application->HandleException(Exception("Login failed"));
  EXPECT_EQ(text, "Login failed.");
  EXPECT_EQ(buttons_, (std::vector<std::string>{"OK*"}));
}

class GuiOpenDialog : public GuiDialogs {
 protected:
  void SetUp() override {
    GuiDialogs::SetUp();
    auto folder = qorv::platform::WindowsToLinuxPath("C:\\Backup");
    ASSERT_TRUE(folder);
    std::filesystem::create_directories(*folder / "Old");
    std::ofstream(*folder / "data.bak") << "x";
    std::ofstream(*folder / "notes.txt") << "x";
  }
  static void Type(TCustomForm& f, const std::string& text) {
    for (char c : text) PostChar(f, c);
    PostKey(f, VK_RETURN);
  }
};

TEST_F(GuiOpenDialog, ChoosesATypedFileAndRemembersIt) {
  TOpenDialog dialog(nullptr);
  dialog.InitialDir = "C:\\Backup";
  AnswerWith([](TCustomForm& f) { Type(f, "data.bak"); });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.FileName, "C:\\Backup\\data.bak");
  EXPECT_EQ(caption_, "Open");

  dialog.InitialDir.clear();
  AnswerWith([](TCustomForm& f) { Type(f, "notes.txt"); });
  ASSERT_TRUE(dialog.Execute()) << "the next use starts in the last file's folder";
  EXPECT_EQ(dialog.FileName, "C:\\Backup\\notes.txt");

  AnswerWith([](TCustomForm& f) { PostKey(f, VK_ESCAPE); });
  EXPECT_FALSE(dialog.Execute());
  EXPECT_EQ(dialog.FileName, "C:\\Backup\\notes.txt") << "cancel keeps the last name";
}

TEST_F(GuiOpenDialog, MissingFileKeepsTheDialogOpenAndFoldersAreEntered) {
  TOpenDialog dialog(nullptr);
  dialog.InitialDir = "C:\\";
  AnswerWith([](TCustomForm& f) {
    Type(f, "nothing.bak");
    for (int i = 0; i < 11; ++i) PostKey(f, VK_BACK);
    Type(f, "Backup");
    Type(f, "data.bak");
  });
  ASSERT_TRUE(dialog.Execute());
  EXPECT_EQ(dialog.FileName, "C:\\Backup\\data.bak");
}

TEST_F(GuiOpenDialog, UnattendedDialogIsCancelled) {
  TOpenDialog dialog(nullptr);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(dialog.Execute());
  EXPECT_NE(testing::internal::GetCapturedStderr().find("Open"), std::string::npos);
}

}  // namespace
