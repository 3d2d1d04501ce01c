// The shell's folder copy on real files: trees compared byte for byte, the
// replace question answered each way, cancel, failures and their messages.
// The shell's windows are a recording stand-in here; the framework's own
// windows are tested with the framework.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <random>

#include "ShellUiDouble.h"
#include "TestSupport.h"
#include "shellapi.h"
#include "systemroot.h"
#include "windows.h"

namespace fs = std::filesystem;
using qorv::platform::ShellAnswer;
using qorv::test::ReadFileBytes;
using qorv::test::ShellUiDouble;

namespace {

fs::path Linux(const std::string& windows) {
  auto path = qorv::platform::WindowsToLinuxPath(windows);
  EXPECT_TRUE(path) << windows;
  return path ? *path : fs::path();
}

// The file with its folders.
void WriteFileBytes(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  qorv::test::WriteFileBytes(path, bytes);
}

std::string Text(const fs::path& path) {
  auto bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

struct CopyResult {
  int Result;
  BOOL Aborted;
};

// A name list of one name: the name, its NUL and one more.
std::string ListOf(const std::string& name) { return name + std::string(2, '\0'); }

CopyResult ShellCopy(const std::string& from, const std::string& to, FILEOP_FLAGS flags = FOF_FILESONLY) {
  std::string fromList = ListOf(from);
  std::string toList = ListOf(to);
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_COPY;
  op.pFrom = fromList.c_str();
  op.pTo = toList.c_str();
  op.fFlags = flags;
  op.fAnyOperationsAborted = 77;
  int result = SHFileOperationA(&op);
  return {result, op.fAnyOperationsAborted};
}

// Files of many sizes (empty, small, one of several copy pieces) with
// contents of their own (slices of one random block behind the file's
// number), in nested folders, plus an empty folder.
std::uint64_t MakeTree(const fs::path& root, int files) {
  std::mt19937_64 random(1234);
  std::string block(1u << 16, '\0');
  for (std::size_t i = 0; i < block.size(); i += 8) {
    std::uint64_t value = random();
    std::memcpy(&block[i], &value, 8);
  }
  std::uint64_t total = 0;
  for (int i = 0; i < files; ++i) {
    fs::path folder = root / ("Folder " + std::to_string(i % 23)) / ("sub" + std::to_string(i % 4));
    fs::create_directories(folder);
    std::string bytes;
    if (i == 7) {
      for (int copy = 0; bytes.size() < (17u << 20); ++copy) bytes += std::to_string(copy) + block;
    } else if (i % 50 != 0) {
      bytes = std::to_string(i) + block.substr(random() % 60000, random() % 3000);
    }
    WriteFileBytes(folder / ("file" + std::to_string(i) + ".dat"), bytes);
    total += bytes.size();
  }
  fs::create_directories(root / "Empty");
  return total;
}

// Every entry of the tree, relative, mapped to its contents ("<dir>" for
// folders) and modification time.
std::map<std::string, std::pair<std::string, fs::file_time_type>> Snapshot(const fs::path& root) {
  std::map<std::string, std::pair<std::string, fs::file_time_type>> entries;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string relative = entry.path().lexically_relative(root).string();
    if (entry.is_directory()) {
      entries[relative] = {"<dir>", {}};
    } else {
      entries[relative] = {Text(entry.path()), fs::last_write_time(entry.path())};
    }
  }
  return entries;
}

bool HasTemporaries(const fs::path& root) {
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().filename().string().find(".copy.") != std::string::npos) return true;
  }
  return false;
}

void SetModified(const fs::path& path, int year) {
  std::tm when{};
  when.tm_year = year - 1900;
  when.tm_mon = 5;
  when.tm_mday = 1;
  timespec times[2] = {{timegm(&when), 0}, {timegm(&when), 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

}  // namespace

// A few thousand files, to a destination whose parents do not exist yet:
// everything arrives, byte for byte with its time, the bar ends full, and
// nothing is asked.
TEST(ShellCopy, CopiesATreeOfThousandsOfFilesByteForByte) {
  ShellUiDouble ui;
  std::uint64_t total = MakeTree(Linux("C:\\Medium\\MSDE SP4"), 3000);
  CopyResult copy = ShellCopy("C:\\Medium\\MSDE SP4", "C:\\Ostrivel\\MSDE SP4");
  EXPECT_EQ(copy.Result, 0);
  EXPECT_FALSE(copy.Aborted);
  EXPECT_TRUE(ui.Questions.empty());
  EXPECT_TRUE(ui.Errors.empty());
  EXPECT_TRUE(ui.LastShowedProgress);
  EXPECT_EQ(Snapshot(Linux("C:\\Ostrivel\\MSDE SP4")), Snapshot(Linux("C:\\Medium\\MSDE SP4")));
  EXPECT_FALSE(HasTemporaries(Linux("C:\\Ostrivel")));
  ASSERT_FALSE(ui.Progress.empty());
  EXPECT_EQ(ui.Progress.back().BytesTotal, total);
  EXPECT_EQ(ui.Progress.back().BytesDone, total);
  EXPECT_EQ(ui.Progress.front().Title, "Copying...");
  EXPECT_EQ(ui.Progress.front().FileName, "file0.dat");
  EXPECT_EQ(ui.Progress.front().FromFolder, "C:\\Medium\\MSDE SP4\\Folder 0\\sub0");
  EXPECT_EQ(ui.Progress.front().ToFolder, "C:\\Ostrivel\\MSDE SP4\\Folder 0\\sub0");
}

// A folder copied onto one that exists merges into it; each file there asks
// first, and each answer does what it says.
TEST(ShellCopy, ReplaceQuestionAnsweredEachWay) {
  auto source = Linux("C:\\Medium\\Engine");
  auto target = Linux("C:\\Ostrivel\\Engine");
  auto prepare = [&] {
    fs::remove_all(target);
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) {
      WriteFileBytes(source / name, std::string("new ") + name);
      WriteFileBytes(target / name, std::string("old ") + name);
    }
    WriteFileBytes(target / "extra.txt", "mine");
  };
  struct Case {
    std::vector<ShellAnswer> Answers;
    std::size_t Questions;
    const char* Contents;  // a, b, c, d: n(ew) or o(ld)
    int Result;
    BOOL Aborted;
  } cases[] = {
      {{ShellAnswer::Yes, ShellAnswer::No, ShellAnswer::YesToAll}, 3, "nonn", 0, TRUE},
      {{ShellAnswer::Yes, ShellAnswer::Yes, ShellAnswer::Yes, ShellAnswer::Yes}, 4, "nnnn", 0, FALSE},
      {{ShellAnswer::No, ShellAnswer::No, ShellAnswer::No, ShellAnswer::No}, 4, "oooo", 0, TRUE},
      {{ShellAnswer::Yes, ShellAnswer::Cancel}, 2, "nooo", static_cast<int>(ERROR_CANCELLED), TRUE},
  };
  for (const Case& c : cases) {
    prepare();
    ShellUiDouble ui;
    ui.Answers.assign(c.Answers.begin(), c.Answers.end());
    CopyResult copy = ShellCopy("C:\\Medium\\Engine", "C:\\Ostrivel\\Engine");
    EXPECT_EQ(copy.Result, c.Result);
    EXPECT_EQ(copy.Aborted, c.Aborted);
    ASSERT_EQ(ui.Questions.size(), c.Questions);
    std::string contents;
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"}) contents += Text(target / name)[0];
    EXPECT_EQ(contents, c.Contents);
    EXPECT_EQ(Text(target / "extra.txt"), "mine");
    EXPECT_FALSE(HasTemporaries(target));
  }

  prepare();
  ShellUiDouble ui;
  ui.Answers = {ShellAnswer::Cancel};
  ShellCopy("C:\\Medium\\Engine", "C:\\Ostrivel\\Engine");
  ASSERT_EQ(ui.Questions.size(), 1u);
  EXPECT_EQ(ui.Questions[0].Caption, "Confirm File Replace");
  EXPECT_EQ(ui.Questions[0].FileShown, "a.txt") << "the progress window names the file asked about";
  EXPECT_NE(ui.Questions[0].Text.find("This folder already contains a file named 'a.txt'."), std::string::npos);
  EXPECT_NE(ui.Questions[0].Text.find("    9 bytes"), std::string::npos) << ui.Questions[0].Text;
}

// FOF_NOCONFIRMATION answers Yes to all; with no windows registered at all,
// the question takes its default answer, Yes.
TEST(ShellCopy, ReplaceWithoutAskingWhenTold) {
  auto target = Linux("C:\\Target");
  WriteFileBytes(Linux("C:\\Source\\a.txt"), "new");
  for (FILEOP_FLAGS flags : {FILEOP_FLAGS(FOF_FILESONLY | FOF_NOCONFIRMATION), FILEOP_FLAGS(FOF_FILESONLY)}) {
    WriteFileBytes(target / "a.txt", "old");
    std::optional<ShellUiDouble> ui;
    if (flags & FOF_NOCONFIRMATION) ui.emplace();
    EXPECT_EQ(ShellCopy("C:\\Source", "C:\\Target", flags).Result, 0);
    EXPECT_EQ(Text(target / "a.txt"), "new");
    if (ui) {
      EXPECT_TRUE(ui->Questions.empty());
    }
  }
}

// Cancel in the progress window, here in the middle of a file larger than a
// copy piece: the copy stops, the half-written file is gone, the files after
// it are not copied.
TEST(ShellCopy, CancelStopsWithoutLeavingAPartialFile) {
  auto source = Linux("C:\\Medium\\Engine");
  WriteFileBytes(source / "a-large.bin", std::string(20u << 20, 'x'));
  WriteFileBytes(source / "b.txt", "b");
  ShellUiDouble ui;
  ui.CancelAtProgress = 2;  // the file is shown, then its first piece is done
  CopyResult copy = ShellCopy("C:\\Medium\\Engine", "C:\\Ostrivel\\Engine");
  EXPECT_EQ(copy.Result, static_cast<int>(ERROR_CANCELLED));
  EXPECT_TRUE(copy.Aborted);
  auto target = Linux("C:\\Ostrivel\\Engine");
  EXPECT_FALSE(fs::exists(target / "a-large.bin"));
  EXPECT_FALSE(fs::exists(target / "b.txt"));
  EXPECT_FALSE(HasTemporaries(target));
  EXPECT_TRUE(ui.Errors.empty()) << "a cancel is no error";
}

// A missing source: the shell's message, a failure result, nothing made.
TEST(ShellCopy, MissingSourceShowsTheShellsMessage) {
  struct Case {
    const char* Source;
    int Result;
    FILEOP_FLAGS Flags;
    std::size_t Messages;
  } cases[] = {
      {"C:\\MSDE SP4", static_cast<int>(ERROR_FILE_NOT_FOUND), FOF_FILESONLY, 1},
      {"C:\\No\\MSDE SP4", static_cast<int>(ERROR_PATH_NOT_FOUND), FOF_FILESONLY, 1},
      {"C:\\MSDE SP4", static_cast<int>(ERROR_FILE_NOT_FOUND), FOF_FILESONLY | FOF_NOERRORUI, 0},
      {"Q:\\MSDE SP4", static_cast<int>(ERROR_PATH_NOT_FOUND), FOF_FILESONLY, 1},
  };
  for (const Case& c : cases) {
    ShellUiDouble ui;
    CopyResult copy = ShellCopy(c.Source, "C:\\Ostrivel\\MSDE SP4", c.Flags);
    EXPECT_EQ(copy.Result, c.Result) << c.Source;
    EXPECT_FALSE(copy.Aborted);
    ASSERT_EQ(ui.Errors.size(), c.Messages) << c.Source;
    if (c.Messages) {
      EXPECT_EQ(ui.Errors[0],
                "Error Copying File or Folder: Cannot copy MSDE SP4: Cannot find the specified file.\n\n"
                "Make sure you specify the correct path and filename.");
    }
    EXPECT_FALSE(fs::exists(Linux("C:\\Ostrivel"))) << c.Source;
  }
}

// A copy onto itself or into its own subfolder would destroy what it reads
// or never end: refused before anything is written.
TEST(ShellCopy, RefusesToCopyAFolderOntoOrIntoItself) {
  WriteFileBytes(Linux("C:\\Src\\a.txt"), "a");
  ShellUiDouble ui;
  EXPECT_EQ(ShellCopy("C:\\Src", "c:\\src\\").Result, DE_SAMEFILE);
  EXPECT_EQ(ShellCopy("C:\\Src", "C:\\Src\\Sub\\Deeper").Result, DE_DESTSUBTREE);
  EXPECT_FALSE(fs::exists(Linux("C:\\Src\\Sub")));
  ASSERT_EQ(ui.Errors.size(), 2u);
  EXPECT_EQ(ui.Errors[1],
            "Error Copying File or Folder: Cannot copy Src: The destination folder is a subfolder of the source "
            "folder.");
  EXPECT_EQ(Text(Linux("C:\\Src\\a.txt")), "a");
}

// Windows keeps the modification time and the read-only attribute; the run
// bit is how a Linux program stays startable; the other permissions come
// from the umask, not from the source.
TEST(ShellCopy, KeepsTimeReadOnlyAndRunBitOnly) {
  mode_t savedMask = ::umask(022);
  auto source = Linux("C:\\Src");
  struct Case {
    const char* Name;
    fs::perms Source;
    fs::perms Copy;
  } cases[] = {
      {"private.txt", fs::perms(0600), fs::perms(0644)},
      {"readonly.txt", fs::perms(0444), fs::perms(0444)},
      {"setup.sh", fs::perms(0700), fs::perms(0755)},
  };
  for (const Case& c : cases) {
    WriteFileBytes(source / c.Name, c.Name);
    SetModified(source / c.Name, 2001);
    fs::permissions(source / c.Name, c.Source);
  }
  ShellUiDouble ui;
  EXPECT_EQ(ShellCopy("C:\\Src", "C:\\Dst").Result, 0);
  for (const Case& c : cases) {
    auto copy = Linux("C:\\Dst") / c.Name;
    EXPECT_EQ(fs::status(copy).permissions() & fs::perms::all, c.Copy) << c.Name;
    EXPECT_EQ(fs::last_write_time(copy), fs::last_write_time(source / c.Name)) << c.Name;
  }
  ::umask(savedMask);
}

// A single file lands inside an existing folder, else under the name given;
// several sources go into the destination, which is made.
TEST(ShellCopy, WhereSingleFilesAndSeveralSourcesGo) {
  WriteFileBytes(Linux("C:\\Src\\BNazanin.ttf"), "font");
  WriteFileBytes(Linux("C:\\Src\\Data\\x.mdf"), "data");
  ShellUiDouble ui;
  EXPECT_EQ(ShellCopy("C:\\Src\\BNazanin.ttf", "C:\\Windows\\Fonts").Result, 0);
  EXPECT_EQ(Text(Linux("C:\\Windows\\Fonts\\BNazanin.ttf")), "font");
  EXPECT_EQ(ShellCopy("C:\\Src\\BNazanin.ttf", "C:\\Renamed.ttf").Result, 0);
  EXPECT_EQ(Text(Linux("C:\\Renamed.ttf")), "font");

  std::string from = std::string("C:\\Src\\BNazanin.ttf") + '\0' + "C:\\Src\\Data" + '\0' + '\0';
  std::string to = ListOf("C:\\Both");
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_COPY;
  op.pFrom = from.c_str();
  op.pTo = to.c_str();
  op.fFlags = FOF_FILESONLY;
  EXPECT_EQ(SHFileOperationA(&op), 0);
  EXPECT_EQ(Text(Linux("C:\\Both\\BNazanin.ttf")), "font");
  EXPECT_EQ(Text(Linux("C:\\Both\\Data\\x.mdf")), "data");

  // With FOF_MULTIDESTFILES each source has its own destination name.
  std::string pairs = std::string("C:\\Paired1.ttf") + '\0' + "C:\\Paired2" + '\0' + '\0';
  op.pTo = pairs.c_str();
  op.fFlags = FOF_FILESONLY | FOF_MULTIDESTFILES;
  EXPECT_EQ(SHFileOperationA(&op), 0);
  EXPECT_EQ(Text(Linux("C:\\Paired1.ttf")), "font");
  EXPECT_EQ(Text(Linux("C:\\Paired2\\x.mdf")), "data");
  op.pTo = to.c_str();
  EXPECT_EQ(SHFileOperationA(&op), static_cast<int>(ERROR_INVALID_PARAMETER)) << "one destination for two sources";
}

// A file that cannot be written stops the copy with its message; what was
// copied before it stays, nothing after it is copied.
TEST(ShellCopy, FailureStopsTheCopyWithItsMessage) {
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) WriteFileBytes(Linux("C:\\Src") / name, name);
  fs::create_directories(Linux("C:\\Dst\\b.txt"));
  ShellUiDouble ui;
  CopyResult copy = ShellCopy("C:\\Src", "C:\\Dst");
  EXPECT_EQ(copy.Result, static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(fs::exists(Linux("C:\\Dst\\a.txt")));
  EXPECT_FALSE(fs::exists(Linux("C:\\Dst\\c.txt")));
  ASSERT_EQ(ui.Errors.size(), 1u);
  EXPECT_EQ(ui.Errors[0], "Error Copying File or Folder: Cannot copy b.txt: Access is denied.");
}

// The flags that change what is shown, and the calls refused outright.
TEST(ShellCopy, FlagsAndRefusedCalls) {
  WriteFileBytes(Linux("C:\\Src\\a.txt"), "a");
  ShellUiDouble ui;
  EXPECT_EQ(ShellCopy("C:\\Src", "C:\\Dst", FOF_SILENT).Result, 0);
  EXPECT_FALSE(ui.LastShowedProgress);
  EXPECT_EQ(ShellCopy("C:\\Src", "C:\\Dst", FOF_RENAMEONCOLLISION).Result, static_cast<int>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(SHFileOperationA(nullptr), static_cast<int>(ERROR_INVALID_PARAMETER));
  SHFILEOPSTRUCTA op{};
  op.wFunc = FO_DELETE;
  std::string from = ListOf("C:\\Src");
  op.pFrom = from.c_str();
  EXPECT_EQ(SHFileOperationA(&op), static_cast<int>(ERROR_NOT_SUPPORTED));
  EXPECT_TRUE(fs::exists(Linux("C:\\Src\\a.txt")));
  EXPECT_EQ(ui.Operations, 1) << "refused calls open no window";
}
