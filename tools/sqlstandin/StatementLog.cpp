#include "StatementLog.h"

namespace sqlstandin {

StatementLog::StatementLog(const std::string& path) { file_ = path.empty() ? stderr : std::fopen(path.c_str(), "a"); }

StatementLog::~StatementLog() {
  if (file_ && file_ != stderr) {
    std::fclose(file_);
  }
}

void StatementLog::write(const std::string& kind, const std::string& text) {
  std::string line = kind + '\t';
  for (char c : text) {
    if (c == '\\') {
      line += "\\\\";
    } else if (c == '\n') {
      line += "\\n";
    } else if (c == '\r') {
      line += "\\r";
    } else {
      line += c;
    }
  }
  line += '\n';
  std::lock_guard lock(mutex_);
  std::fwrite(line.data(), 1, line.size(), file_);
  std::fflush(file_);
}

}  // namespace sqlstandin
