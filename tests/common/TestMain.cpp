// Every test gets a system root of its own in a fresh folder, so no test
// touches the user's own root or sees what an earlier test of the same process
// left there (drive and device map entries, files, registry keys). The roots
// lie in one temporary folder per process, numbered, so no root path is ever
// used twice: the platform remembers which roots it has filled in by path.
// Serial lock files go to a folder inside the test's root, never /var/lock.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "TestSupport.h"
#include "fileapi.h"

namespace {

class FreshSystemRootPerTest : public testing::EmptyTestEventListener {
 public:
  explicit FreshSystemRootPerTest(std::filesystem::path parent) : parent_(std::move(parent)) {}

  void OnTestStart(const testing::TestInfo&) override {
    root_ = parent_ / std::to_string(++count_);
    std::filesystem::create_directories(root_ / "lock");
    qorv::test::WriteFileBytes(root_ / "system.ini", "SerialLockFolder=" + (root_ / "lock").string() + "\n");
    setenv("QORV_SYSTEM_ROOT", root_.c_str(), 1);
    // The current directory is process state and would still name a folder
    // of the previous test's root.
    SetCurrentDirectoryA("C:\\");
  }

  void OnTestEnd(const testing::TestInfo&) override {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

 private:
  std::filesystem::path parent_;
  std::filesystem::path root_;
  unsigned count_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qorv::test::TempDir roots("qorv-roots");
  // Code running outside any test (listing, environment set-up) has a root too.
  setenv("QORV_SYSTEM_ROOT", (roots.Path() / "0").c_str(), 1);
  testing::UnitTest::GetInstance()->listeners().Append(new FreshSystemRootPerTest(roots.Path()));
  return RUN_ALL_TESTS();
}
