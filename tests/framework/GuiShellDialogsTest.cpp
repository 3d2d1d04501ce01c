// The shell's windows as the framework shows them: the progress window with
// the file names and the bar, the replace question and the error messages,
// answered with keys as a person would.
#include <gtest/gtest.h>

#include <shellapi.h>
#include <systemroot.h>

#include <filesystem>

#include "Application.h"
#include "Button.h"
#include "FormInput.h"
#include "HeadlessGuiTest.h"
#include "Label.h"
#include "ProgressBar.h"
#include "TestSupport.h"

namespace fs = std::filesystem;

namespace {

fs::path Linux(const std::string& windows) { return *qorv::platform::WindowsToLinuxPath(windows); }

void WriteText(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  qorv::test::WriteFileBytes(path, text);
}

std::string Text(const fs::path& path) {
  auto bytes = qorv::test::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

struct CopyResult {
  int Result;
  BOOL Aborted;
};

// The installer's folder copy: files-only flag, nothing else.
CopyResult CopyFolder(const std::string& from, const std::string& to) {
  std::string fromList = from + std::string(2, '\0');
  std::string toList = to + std::string(2, '\0');
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_COPY;
  op.pFrom = fromList.c_str();
  op.pTo = toList.c_str();
  op.fFlags = FOF_FILESONLY;
  int result = SHFileOperationA(&op);
  return {result, op.fAnyOperationsAborted};
}

TCustomForm* ProgressWindow() {
  for (TCustomForm* form : Application->Forms()) {
    if (form->Name() == "ShellProgressForm") return form;
  }
  return nullptr;
}

std::string LabelText(TCustomForm& form, const char* name) {
  auto* label = dynamic_cast<TLabel*>(form.FindComponent(name));
  return label ? label->Caption() : "<no label " + std::string(name) + ">";
}

struct BoxSeen {
  std::string Caption;
  std::string Text;
  std::vector<std::string> Buttons;
  std::string ProgressFile;
  std::string ProgressFolders;
  bool ProgressVisible = false;
  int ProgressPosition = -1;  // of 1000
};

BoxSeen Describe(TCustomForm& box) {
  BoxSeen seen;
  seen.Caption = box.Caption();
  seen.Text = LabelText(box, "Message");
  for (int i = 0; i < box.ComponentCount(); ++i) {
    if (auto* b = dynamic_cast<TButton*>(box.Components(i)))
      seen.Buttons.push_back(b->Caption() + (b->Default ? "*" : ""));
  }
  if (TCustomForm* progress = ProgressWindow()) {
    seen.ProgressVisible = progress->Visible();
    seen.ProgressFile = LabelText(*progress, "FileName");
    seen.ProgressFolders = LabelText(*progress, "Folders");
    if (auto* bar = dynamic_cast<TProgressBar*>(progress->FindComponent("Progress"))) {
      seen.ProgressPosition = bar->Position() * 1000 / bar->Max();
    }
  }
  return seen;
}

class GuiShellDialogs : public HeadlessGuiTest {
 protected:
  // Each box shown is recorded, then answered by the next input.
  void AnswerWith(std::vector<std::function<void(TCustomForm&)>> inputs) {
    inputs_ = std::move(inputs);
    SetModalResponder([this](TCustomForm& box) {
      seen_.push_back(Describe(box));
      if (seen_.size() <= inputs_.size()) {
        inputs_[seen_.size() - 1](box);
      } else {
        PostKey(box, VK_ESCAPE);
      }
    });
  }
  static std::function<void(TCustomForm&)> Key(WORD key) {
    return [key](TCustomForm& box) { PostKey(box, key); };
  }
  static std::function<void(TCustomForm&)> Char(char c) {
    return [c](TCustomForm& box) { PostChar(box, c); };
  }

  void PrepareEngineFolders() {
    fs::remove_all(Linux("C:\\Ostrivel"));
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
      WriteText(Linux("C:\\Medium\\Engine") / name, std::string("new ") + name);
      WriteText(Linux("C:\\Ostrivel\\Engine") / name, std::string("old ") + name);
    }
  }
  std::string Contents() {
    std::string contents;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
      contents += Text(Linux("C:\\Ostrivel\\Engine") / name)[0];
    }
    return contents;
  }

  std::vector<std::function<void(TCustomForm&)>> inputs_;
  std::vector<BoxSeen> seen_;
};

}  // namespace

// The question over the progress window, which names the file asked about;
// its hot keys, Enter and Escape each give their answer.
TEST_F(GuiShellDialogs, ReplaceQuestionAnsweredWithKeys) {
  struct Case {
    std::vector<std::function<void(TCustomForm&)>> Inputs;
    std::size_t Questions;
    const char* Contents;
    int Result;
  } cases[] = {
      {{Char('y'), Char('n'), Char('a')}, 3, "nonn", 0},
      {{Key(VK_RETURN), Key(VK_RETURN), Key(VK_RETURN), Key(VK_RETURN)}, 4, "nnnn", 0},
      {{Char('n'), Key(VK_ESCAPE)}, 2, "oooo", static_cast<int>(ERROR_CANCELLED)},
  };
  for (auto& c : cases) {
    PrepareEngineFolders();
    seen_.clear();
    AnswerWith(c.Inputs);
    CopyResult copy = CopyFolder("C:\\Medium\\Engine", "C:\\Ostrivel\\Engine");
    EXPECT_EQ(copy.Result, c.Result);
    EXPECT_EQ(seen_.size(), c.Questions);
    EXPECT_EQ(Contents(), c.Contents);
    EXPECT_EQ(ProgressWindow(), nullptr) << "the progress window goes with the copy";
  }
  ASSERT_FALSE(seen_.empty());
  const BoxSeen& first = seen_.front();
  EXPECT_EQ(first.Caption, "Confirm File Replace");
  EXPECT_EQ(first.Buttons, (std::vector<std::string>{"&Yes*", "Yes to &All", "&No", "Cancel"}));
  EXPECT_NE(first.Text.find("already contains a file named 'a.txt'"), std::string::npos) << first.Text;
  EXPECT_TRUE(first.ProgressVisible);
  EXPECT_EQ(first.ProgressFile, "a.txt");
  EXPECT_EQ(first.ProgressFolders, "From 'C:\\Medium\\Engine' to 'C:\\Ostrivel\\Engine'");
  EXPECT_EQ(first.ProgressPosition, 0);
  EXPECT_EQ(seen_[1].ProgressFile, "b.txt");
  EXPECT_EQ(seen_[1].ProgressPosition, 250) << "a.txt, a quarter of the bytes, is behind";
}

// Cancel in the progress window (Escape, seen once the question it waited
// behind is answered): the copy stops there. Without it, No would skip b.txt
// and go on asking about c.txt and d.txt.
TEST_F(GuiShellDialogs, CancelInTheProgressWindowStopsTheCopy) {
  PrepareEngineFolders();
  fs::remove(Linux("C:\\Ostrivel\\Engine\\a.txt"));
  AnswerWith({[](TCustomForm& box) {
    PostChar(box, 'n');
    ASSERT_NE(ProgressWindow(), nullptr);
    PostKey(*ProgressWindow(), VK_ESCAPE);
  }});
  CopyResult copy = CopyFolder("C:\\Medium\\Engine", "C:\\Ostrivel\\Engine");
  EXPECT_EQ(copy.Result, static_cast<int>(ERROR_CANCELLED));
  EXPECT_TRUE(copy.Aborted);
  EXPECT_EQ(seen_.size(), 1u) << "no question after the cancel";
  EXPECT_EQ(Contents(), "nooo");
  EXPECT_EQ(ProgressWindow(), nullptr);
}

// A missing source: the shell's error box with one OK, and nothing copied.
TEST_F(GuiShellDialogs, MissingSourceShowsTheErrorBox) {
  AnswerWith({Key(VK_RETURN)});
  CopyResult copy = CopyFolder("C:\\Medium\\MSDE SP4", "C:\\Ostrivel\\MSDE SP4");
  EXPECT_EQ(copy.Result, static_cast<int>(ERROR_PATH_NOT_FOUND));
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].Caption, "Error Copying File or Folder");
  EXPECT_EQ(seen_[0].Text,
            "Cannot copy MSDE SP4: Cannot find the specified file.\n\nMake sure you specify the correct path and "
            "filename.");
  EXPECT_EQ(seen_[0].Buttons, (std::vector<std::string>{"OK*"}));
  EXPECT_FALSE(fs::exists(Linux("C:\\Ostrivel")));
}

// ShellExecuteExA's message for a program that is not there.
TEST_F(GuiShellDialogs, ShellExecuteShowsItsMessageBox) {
  AnswerWith({Key(VK_RETURN)});
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_NOCLOSEPROCESS;
  info.lpFile = "regsvr33";
  EXPECT_FALSE(ShellExecuteExA(&info));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(seen_.size(), 1u);
  EXPECT_EQ(seen_[0].Caption, "regsvr33");
  EXPECT_EQ(seen_[0].Text,
            "Windows cannot find 'regsvr33'. Make sure you typed the name correctly, and then try again.");
}
