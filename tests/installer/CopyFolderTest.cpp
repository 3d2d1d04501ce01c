// CopyFolder through the shell with its windows, headless: a large tree
// copied byte for byte, the replace question answered each way, a cancel,
// and a missing source; the flag is all the installer sees.
#include <gtest/gtest.h>

#include <systemroot.h>

#include <filesystem>
#include <functional>
#include <random>

#include "Application.h"
#include "FormInput.h"
#include "HeadlessGuiTest.h"
#include "TestSupport.h"
#include "uNIiNSTALL.h"

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

// Every file under `root`, by its path relative to it.
std::vector<fs::path> FilesUnder(const fs::path& root) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.push_back(fs::relative(entry.path(), root));
  }
  std::sort(files.begin(), files.end());
  return files;
}

class CopyFolderTest : public HeadlessGuiTest {
 protected:
  // Each box the shell shows is answered by the next input; Escape after
  // the list runs out.
  void AnswerWith(std::vector<std::function<void(TCustomForm&)>> inputs) {
    inputs_ = std::move(inputs);
    boxes_.clear();
    SetModalResponder([this](TCustomForm& box) {
      boxes_.push_back(box.Caption());
      std::size_t index = boxes_.size() - 1;
      if (index < inputs_.size()) {
        inputs_[index](box);
      } else {
        PostKey(box, VK_ESCAPE);
      }
    });
  }
  static std::function<void(TCustomForm&)> Char(char c) {
    return [c](TCustomForm& box) { PostChar(box, c); };
  }

  // Three files in the medium's folder, all three also in the target with
  // older contents.
  void PrepareReplacement() {
    fs::remove_all(Linux("C:\\Ostrivel"));
    for (const char* name : {"a.dat", "b.dat", "c.dat"}) {
      WriteText(Linux("C:\\Medium\\Data") / name, std::string("new ") + name);
      WriteText(Linux("C:\\Ostrivel\\Data") / name, std::string("old ") + name);
    }
  }
  std::string Generations() {
    std::string first;
    for (const char* name : {"a.dat", "b.dat", "c.dat"}) first += Text(Linux("C:\\Ostrivel\\Data") / name)[0];
    return first;
  }

  std::vector<std::function<void(TCustomForm&)>> inputs_;
  std::vector<std::string> boxes_;
};

}  // namespace

// 3,000 files of 0 to 40,000 bytes in nested folders (empty and deep ones
// among them) arrive byte for byte, with no question asked.
TEST_F(CopyFolderTest, LargeTreeArrivesByteForByte) {
  AnswerWith({});
  fs::path source = Linux("C:\\Medium\\Data");
  std::mt19937 random(20261208);
  for (int i = 0; i < 3000; ++i) {
    fs::path folder = source / ("f" + std::to_string(i % 37)) / ("g" + std::to_string(i % 5));
    if (i % 500 == 0) folder /= "deep/deeper/deepest";
    std::string bytes(random() % 40000 * (i % 7 != 0), '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    WriteText(folder / ("file" + std::to_string(i) + ".bin"), bytes);
  }
  fs::create_directories(source / "empty");

  EXPECT_TRUE(CopyFolder("C:\\Medium\\Data", "C:\\Ostrivel\\Data"));
  EXPECT_TRUE(boxes_.empty()) << "no question or error: " << boxes_.front();
  fs::path target = Linux("C:\\Ostrivel\\Data");
  auto files = FilesUnder(source);
  ASSERT_EQ(files.size(), 3000u);
  ASSERT_EQ(FilesUnder(target), files);
  for (const fs::path& file : files) {
    ASSERT_EQ(qorv::test::ReadFileBytes(target / file), qorv::test::ReadFileBytes(source / file)) << file;
  }
}

// Each answer to the replace question: Yes and No file by file, Yes to all
// for the rest, Cancel stops with false (the caller goes on regardless).
TEST_F(CopyFolderTest, ReplaceQuestionAnsweredEachWay) {
  struct Case {
    std::vector<std::function<void(TCustomForm&)>> Answers;
    std::size_t Questions;
    const char* Generations;  // first letter of each file afterwards
    bool Result;
  } cases[] = {
      {{Char('y'), Char('n'), Char('y')}, 3, "non", true},
      {{Char('n'), Char('a')}, 2, "onn", true},
      {{Char('n'), Char('n'), Char('n')}, 3, "ooo", true},
      {{Char('y'), [](TCustomForm& box) { PostKey(box, VK_ESCAPE); }}, 2, "noo", false},
  };
  for (auto& c : cases) {
    PrepareReplacement();
    AnswerWith(c.Answers);
    EXPECT_EQ(CopyFolder("C:\\Medium\\Data", "C:\\Ostrivel\\Data"), c.Result);
    EXPECT_EQ(boxes_.size(), c.Questions);
    EXPECT_EQ(Generations(), c.Generations);
  }
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_[0], "Confirm File Replace");
}

// Cancel in the progress window (pressed while the first question waits):
// the copy stops and the flag is false.
TEST_F(CopyFolderTest, CancelInTheProgressWindowGivesFalse) {
  PrepareReplacement();
  fs::remove(Linux("C:\\Ostrivel\\Data\\a.dat"));
  AnswerWith({[](TCustomForm& box) {
    PostChar(box, 'y');
    for (TCustomForm* form : Application->Forms()) {
      if (form != &box && form->Visible()) PostKey(*form, VK_ESCAPE);
    }
  }});
  EXPECT_FALSE(CopyFolder("C:\\Medium\\Data", "C:\\Ostrivel\\Data"));
  EXPECT_EQ(boxes_.size(), 1u) << "no question after the cancel";
  EXPECT_EQ(Text(Linux("C:\\Ostrivel\\Data\\c.dat")), "old c.dat");
}

// A missing source: the shell's error message, nothing made, false.
TEST_F(CopyFolderTest, MissingSourceGivesFalse) {
  AnswerWith({[](TCustomForm& box) { PostKey(box, VK_RETURN); }});
  EXPECT_FALSE(CopyFolder("C:\\Medium\\MSDE SP4", "C:\\Ostrivel\\MSDE SP4"));
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0], "Error Copying File or Folder");
  EXPECT_FALSE(fs::exists(Linux("C:\\Ostrivel\\MSDE SP4")));
}
