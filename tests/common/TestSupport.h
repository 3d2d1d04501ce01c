// Helpers shared by the test programs.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace qorv::test {

// A folder made with mkdtemp and removed with everything in it.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "qorv-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// Polls a condition until it holds or the generous bound passes. For
// conditions that have no event to wait on (a file appearing, a count another
// process raises); never use it to wait for a fixed time.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound = std::chrono::seconds(10));

std::vector<unsigned char> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

// The folder of the test sources (for data files kept beside the tests).
std::filesystem::path TestDataDir();

}  // namespace qorv::test
