#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace sqlstandin {

// One line per event: "SQL<TAB>text" for each batch as received, with
// backslash, CR and LF escaped as \\, \r and \n so that a batch stays on
// its line; "LOGIN<TAB>user<TAB>database" for each login. Lines are
// flushed at once so a test reading the log sees them.
class StatementLog {
 public:
  explicit StatementLog(const std::string& path);
  ~StatementLog();
  StatementLog(const StatementLog&) = delete;
  StatementLog& operator=(const StatementLog&) = delete;

  bool isOpen() const { return file_ != nullptr; }
  void write(const std::string& kind, const std::string& text);

 private:
  std::mutex mutex_;
  FILE* file_ = nullptr;
};

}  // namespace sqlstandin
