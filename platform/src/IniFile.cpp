#include "IniFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <fstream>
#include <sstream>

#include "FileDescriptor.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

std::string Trim(const std::string& text) {
  const char* blanks = " \t\r";
  auto first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  auto last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

bool IsComment(const std::string& trimmed) { return trimmed.empty() || trimmed[0] == ';' || trimmed[0] == '#'; }

std::optional<std::pair<std::string, std::string>> ParseEntry(const std::string& line) {
  std::string trimmed = Trim(line);
  if (IsComment(trimmed)) return std::nullopt;
  auto equals = trimmed.find('=');
  if (equals == std::string::npos || equals == 0) return std::nullopt;
  return std::make_pair(Trim(trimmed.substr(0, equals)), Trim(trimmed.substr(equals + 1)));
}

std::vector<std::string> ReadLines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::string Rewrite(const std::vector<std::string>& lines, const std::string& key,
                    const std::optional<std::string>& value) {
  std::ostringstream out;
  bool written = false;
  for (const auto& line : lines) {
    auto entry = ParseEntry(line);
    if (entry && SameIniKey(entry->first, key)) {
      // The first occurrence takes the new value; duplicates are dropped so
      // the file cannot answer two values for one key.
      if (value && !written) out << key << '=' << *value << '\n';
      written = true;
      continue;
    }
    out << line << '\n';
  }
  if (value && !written) out << key << '=' << *value << '\n';
  return out.str();
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::filesystem::path TemporaryNameFor(const std::filesystem::path& file) {
  static std::atomic<unsigned> counter{0};
  return file.string() + ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

// Writes the text to a fresh file beside the target and renames it over the
// target: rename within one folder is atomic, so a reader sees the old or the
// new file, never a mix. fsync first so a crash cannot leave an empty file.
bool ReplaceFile(const std::filesystem::path& file, const std::string& text) {
  auto temporary = TemporaryNameFor(file);
  FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (!fd.Valid()) return FailWithErrno();
  bool ok = WriteAll(fd.Get(), text) && ::fsync(fd.Get()) == 0;
  int savedErrno = errno;
  fd.Reset();
  if (ok && ::rename(temporary.c_str(), file.c_str()) == 0) return true;
  if (ok) savedErrno = errno;
  ::unlink(temporary.c_str());
  SetLastError(ErrorFromErrno(savedErrno));
  return false;
}

}  // namespace

bool SameIniKey(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
    if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
    if (x != y) return false;
  }
  return true;
}

IniEntries ReadIniFileAt(const std::filesystem::path& file) {
  IniEntries entries;
  for (const auto& line : ReadLines(file)) {
    if (auto entry = ParseEntry(line)) entries.push_back(*entry);
  }
  return entries;
}

bool UpdateIniFileAt(const std::filesystem::path& file, const std::string& key,
                     const std::optional<std::string>& value) {
  if (key.empty() || key.find_first_of("=\r\n") != std::string::npos ||
      (value && value->find_first_of("\r\n") != std::string::npos)) {
    return FailWith(ERROR_INVALID_PARAMETER);
  }
  // The lock file is never removed: removing it would let two writers lock
  // two different files of the same name.
  std::filesystem::path lockPath = file.string() + ".lock";
  FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (!lock.Valid()) return FailWithErrno();
  while (::flock(lock.Get(), LOCK_EX) != 0) {
    if (errno != EINTR) return FailWithErrno();
  }
  // Read under the lock so an entry another process just wrote is kept.
  return ReplaceFile(file, Rewrite(ReadLines(file), key, value));
}

}  // namespace qorv::platform
