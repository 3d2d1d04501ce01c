// The shell's copy engine. Data moves with copy_file_range (in the kernel, a
// clone where the file system can), else sendfile, else read and write.
#include "ShellCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/sendfile.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <set>
#include <unordered_map>
#include <utility>

#include "FileDescriptor.h"
#include "FileShare.h"
#include "PathMap.h"
#include "fileapi.h"
#include "shellapi.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

// Large files are copied in pieces so that the bar moves and a cancel is
// seen within one piece.
constexpr std::size_t kPieceBytes = 8u << 20;
constexpr std::size_t kBufferBytes = 1u << 20;

struct Entry {
  std::string Relative;  // '/'-separated below the job's source; empty: the source itself
  bool Folder = false;
  std::uint64_t Size = 0;
  timespec Modified{};
  mode_t Mode = 0;
  dev_t Device = 0;
  ino_t Inode = 0;
};

struct ScannedJob {
  const CopyJob* Job = nullptr;
  std::vector<Entry> Entries;  // folders before their contents, names sorted
};

struct Failure {
  DWORD Error = 0;
  std::string Name;  // as the message names it
};

std::string Ansi(const std::string& utf8) { return Utf8ToAnsi(utf8); }

std::string LastComponent(const std::string& relative) {
  auto slash = relative.rfind('/');
  return slash == std::string::npos ? relative : relative.substr(slash + 1);
}

std::string ParentOf(const std::string& relative) {
  auto slash = relative.rfind('/');
  return slash == std::string::npos ? std::string() : relative.substr(0, slash);
}

std::string WindowsBelow(const std::string& windowsRoot, const std::string& relative) {
  if (relative.empty()) return windowsRoot;
  std::string tail = Ansi(relative);
  std::replace(tail.begin(), tail.end(), '/', '\\');
  return windowsRoot + "\\" + tail;
}

std::string WindowsNameOf(const std::string& windowsPath) {
  auto slash = windowsPath.rfind('\\');
  return slash == std::string::npos ? windowsPath : windowsPath.substr(slash + 1);
}

std::string WindowsFolderOf(const std::string& windowsPath) {
  auto slash = windowsPath.rfind('\\');
  return slash == std::string::npos ? std::string() : windowsPath.substr(0, slash);
}

std::string SystemText(DWORD error) {
  char text[512] = {};
  if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, error, 0, text, sizeof text, nullptr) == 0) {
    return "Error " + std::to_string(error) + ".";
  }
  std::string result = text;
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
  return result;
}

std::string WithThousands(std::uint64_t value) {
  std::string digits = std::to_string(value);
  for (int i = static_cast<int>(digits.size()) - 3; i > 0; i -= 3) digits.insert(static_cast<std::size_t>(i), ",");
  return digits;
}

std::string FormatModified(const timespec& when) {
  std::tm local{};
  time_t seconds = when.tv_sec;
  localtime_r(&seconds, &local);
  char text[96] = {};
  std::strftime(text, sizeof text, "%A, %B %d, %Y, %I:%M:%S %p", &local);
  return text;
}

// ---- looking at the sources ----

class Scanner {
 public:
  // The entries of one source, or the failure that stops the copy.
  std::optional<Failure> Scan(const CopyJob& job, ScannedJob& out) {
    struct stat st;
    if (::stat(job.Source.c_str(), &st) != 0) {
      DWORD error = errno == ENOENT || errno == ENOTDIR ? MissingPathError(job.Source) : ErrorFromErrno(errno);
      return Failure{error, WindowsNameOf(job.SourceWindows)};
    }
    out.Job = &job;
    out.Entries.push_back(EntryOf("", st));
    if (!S_ISDIR(st.st_mode)) {
      if (!S_ISREG(st.st_mode)) return Failure{ERROR_ACCESS_DENIED, WindowsNameOf(job.SourceWindows)};
      return std::nullopt;
    }
    std::set<std::pair<dev_t, ino_t>> ancestors{{st.st_dev, st.st_ino}};
    return ScanFolder(job.Source, "", ancestors, out.Entries);
  }

 private:
  static Entry EntryOf(const std::string& relative, const struct stat& st) {
    Entry entry;
    entry.Relative = relative;
    entry.Folder = S_ISDIR(st.st_mode);
    entry.Size = entry.Folder ? 0 : static_cast<std::uint64_t>(st.st_size);
    entry.Modified = st.st_mtim;
    entry.Mode = st.st_mode;
    entry.Device = st.st_dev;
    entry.Inode = st.st_ino;
    return entry;
  }

  static std::optional<std::vector<std::string>> SortedNames(const std::filesystem::path& folder) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return std::nullopt;
    std::vector<std::string> names;
    while (dirent* item = ::readdir(dir)) {
      std::string name = item->d_name;
      if (name != "." && name != "..") names.push_back(std::move(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
  }

  // Links are followed, as Windows follows its junctions; a link back to a
  // folder being copied would never end and is refused.
  std::optional<Failure> ScanFolder(const std::filesystem::path& folder, const std::string& relative,
                                    std::set<std::pair<dev_t, ino_t>>& ancestors, std::vector<Entry>& entries) {
    auto names = SortedNames(folder);
    if (!names) return Failure{ErrorFromErrno(errno), Ansi(LastComponent(relative))};
    for (const std::string& name : *names) {
      std::string childRelative = relative.empty() ? name : relative + "/" + name;
      auto path = folder / name;
      struct stat st;
      if (::stat(path.c_str(), &st) != 0) {
        DWORD error = errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno);
        return Failure{error, Ansi(name)};
      }
      if (S_ISREG(st.st_mode)) {
        entries.push_back(EntryOf(childRelative, st));
        continue;
      }
      // Pipes, sockets and devices have no Windows counterpart to copy into.
      if (!S_ISDIR(st.st_mode)) return Failure{ERROR_ACCESS_DENIED, Ansi(name)};
      auto id = std::make_pair(st.st_dev, st.st_ino);
      if (ancestors.count(id)) return Failure{ERROR_CANT_RESOLVE_FILENAME, Ansi(name)};
      entries.push_back(EntryOf(childRelative, st));
      ancestors.insert(id);
      auto failure = ScanFolder(path, childRelative, ancestors, entries);
      ancestors.erase(id);
      if (failure) return failure;
    }
    return std::nullopt;
  }
};

// ---- copying ----

enum class Decision { Write, Skip, Cancel };

struct Verdict {
  DWORD Error = 0;  // when not 0, the copy stops with it
  Decision What = Decision::Write;
};

class Copier {
 public:
  Copier(const CopyOptions& options, IShellOperationUi& ui, std::uint64_t total)
      : options_(options), ui_(ui), yesToAll_(!options.AskBeforeReplacing) {
    progress_.Title = options.Title;
    progress_.BytesTotal = total;
  }

  CopyOutcome Run(const std::vector<ScannedJob>& jobs) {
    CopyOutcome outcome;
    for (const ScannedJob& job : jobs) {
      Failure failure = CopyJobEntries(job);
      if (failure.Error != 0) {
        if (failure.Error == ERROR_CANCELLED) {
          anyAborted_ = true;
        } else if (options_.ShowErrors) {
          ui_.ShowError(kCopyErrorCaption, CopyErrorText(failure.Name, failure.Error));
        }
        outcome.Error = failure.Error;
        break;
      }
    }
    outcome.AnyAborted = anyAborted_;
    return outcome;
  }

 private:
  Failure CopyJobEntries(const ScannedJob& scanned) {
    const CopyJob& job = *scanned.Job;
    // Folders this copy made itself hold nothing yet: their files need no
    // look for an existing one.
    std::unordered_map<std::string, bool> fresh;
    for (const Entry& entry : scanned.Entries) {
      auto target = entry.Relative.empty() ? job.Target : job.Target / entry.Relative;
      std::string name =
          entry.Relative.empty() ? WindowsNameOf(job.SourceWindows) : Ansi(LastComponent(entry.Relative));
      if (ui_.CancelRequested()) return Failure{ERROR_CANCELLED, name};
      if (entry.Folder) {
        bool made = false;
        if (DWORD error = MakeFolder(target, entry.Relative.empty(), made)) return Failure{error, name};
        fresh[entry.Relative] = made;
        continue;
      }
      bool parentFresh = false;
      if (entry.Relative.empty()) {
        if (DWORD error = MakeParents(target, parentFresh)) return Failure{error, name};
      } else {
        parentFresh = fresh[ParentOf(entry.Relative)];
      }
      ShowFile(job, entry);
      auto source = entry.Relative.empty() ? job.Source : job.Source / entry.Relative;
      DWORD error = CopyOne(source, target, entry, parentFresh, name);
      if (error) return Failure{error, name};
    }
    return {};
  }

  // Missing folders on the way to the destination are made, as the shell
  // makes them.
  static DWORD MakeParents(const std::filesystem::path& target, bool& made) {
    std::error_code error;
    auto parent = target.parent_path();
    made = !std::filesystem::exists(parent, error);
    std::filesystem::create_directories(parent, error);
    return error ? ErrorFromErrno(error.value()) : 0;
  }

  static DWORD MakeFolder(const std::filesystem::path& target, bool isRoot, bool& made) {
    if (isRoot) {
      bool parentMade = false;
      if (DWORD error = MakeParents(target, parentMade)) return error;
    }
    if (::mkdir(target.c_str(), 0777) == 0) {
      made = true;
      return 0;
    }
    if (errno != EEXIST) return ErrorFromErrno(errno);
    struct stat st;
    // A file where the folder should go is not replaced by a folder.
    if (::stat(target.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return ERROR_ALREADY_EXISTS;
    made = false;
    return 0;
  }

  void ShowFile(const CopyJob& job, const Entry& entry) {
    std::string from = WindowsBelow(job.SourceWindows, entry.Relative);
    std::string to = WindowsBelow(job.TargetWindows, entry.Relative);
    progress_.FileName = WindowsNameOf(from);
    progress_.FromFolder = WindowsFolderOf(from);
    progress_.ToFolder = WindowsFolderOf(to);
    ui_.ShowProgress(progress_);
  }

  DWORD CopyOne(const std::filesystem::path& source, const std::filesystem::path& target, const Entry& entry,
                bool parentFresh, const std::string& name) {
    bool replacing = false;
    struct stat existing;
    if (!parentFresh && ::stat(target.c_str(), &existing) == 0) {
      Verdict verdict = DecideOnExisting(entry, existing, name);
      if (verdict.Error) return verdict.Error;
      if (verdict.What == Decision::Cancel) return ERROR_CANCELLED;
      if (verdict.What == Decision::Skip) return Skip(entry);
      replacing = true;
    }
    return WriteCopy(source, target, entry, replacing, name);
  }

  DWORD Skip(const Entry& entry) {
    anyAborted_ = true;
    progress_.BytesDone += entry.Size;
    ui_.ShowProgress(progress_);
    return 0;
  }

  // What to do with a file that exists where the copy goes: the question,
  // unless it is the source itself or cannot be replaced.
  Verdict DecideOnExisting(const Entry& entry, const struct stat& existing, const std::string& name) {
    if (S_ISDIR(existing.st_mode)) return {ERROR_ACCESS_DENIED};
    if (existing.st_dev == entry.Device && existing.st_ino == entry.Inode) return {static_cast<DWORD>(DE_SAMEFILE)};
    Decision what = Ask(entry, existing, name);
    // An open of it here that does not allow deletion forbids the rename.
    if (what == Decision::Write && !OpensAllowDelete(FileKey{existing.st_dev, existing.st_ino})) {
      return {ERROR_SHARING_VIOLATION};
    }
    return {0, what};
  }

  Decision Ask(const Entry& entry, const struct stat& existing, const std::string& name) {
    if (yesToAll_) return Decision::Write;
    std::string text = "This folder already contains a file named '" + name +
                       "'.\n\nWould you like to replace the existing file\n\n    " +
                       WithThousands(static_cast<std::uint64_t>(existing.st_size)) + " bytes\n    modified on " +
                       FormatModified(existing.st_mtim) + "\n\nwith this one?\n\n    " + WithThousands(entry.Size) +
                       " bytes\n    modified on " + FormatModified(entry.Modified);
    ui_.ShowProgress(progress_);
    switch (ui_.AskReplace("Confirm File Replace", text)) {
      case ShellAnswer::Yes: return Decision::Write;
      case ShellAnswer::YesToAll: yesToAll_ = true; return Decision::Write;
      case ShellAnswer::No: return Decision::Skip;
      case ShellAnswer::Cancel: return Decision::Cancel;
    }
    return Decision::Cancel;
  }

  std::filesystem::path TemporaryFor(const std::filesystem::path& target) {
    return target.parent_path() / ("." + target.filename().string() + ".copy." + std::to_string(::getpid()) + "." +
                                   std::to_string(++temporaries_));
  }

  // The read-only attribute and the run bit travel with the copy; the rest
  // of the permissions come from the umask, as a Windows copy takes the
  // destination's access rules rather than the source's.
  static mode_t ModeFor(const Entry& entry) {
    mode_t mode = (entry.Mode & S_IWUSR) ? 0666 : 0444;
    if (entry.Mode & S_IXUSR) mode |= 0111;
    return mode;
  }

  DWORD WriteCopy(const std::filesystem::path& source, const std::filesystem::path& target, const Entry& entry,
                  bool replacing, const std::string& name) {
    FileDescriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.Valid()) return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ErrorFromErrno(errno);
    ShareReservation reading;
    if (!ReserveShare(in.Get(), GENERIC_READ, FILE_SHARE_READ, reading)) return GetLastError();
    auto temporary = TemporaryFor(target);
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, ModeFor(entry)));
    if (!out.Valid()) return ErrorFromErrno(errno);
    // The temporary goes on every way out but the rename.
    struct Remover {
      const std::filesystem::path* Path;
      ~Remover() {
        if (Path) ::unlink(Path->c_str());
      }
    } remover{&temporary};

    if (DWORD error = CopyData(in.Get(), out.Get())) return error;
    // Windows keeps the last-write time; the last access is now.
    timespec times[2] = {{0, UTIME_NOW}, entry.Modified};
    if (::futimens(out.Get(), times) != 0) return ErrorFromErrno(errno);
    if (::close(out.Release()) != 0) return ErrorFromErrno(errno);

    if (replacing) {
      if (::rename(temporary.c_str(), target.c_str()) != 0) return ErrorFromErrno(errno);
      remover.Path = nullptr;
      return 0;
    }
    if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
      remover.Path = nullptr;
      return 0;
    }
    if (errno != EEXIST) return ErrorFromErrno(errno);
    // Someone made the file while it was being copied: now it is a question.
    struct stat existing;
    if (::stat(target.c_str(), &existing) != 0) return ErrorFromErrno(errno);
    Verdict verdict = DecideOnExisting(entry, existing, name);
    if (verdict.Error) return verdict.Error;
    if (verdict.What == Decision::Cancel) return ERROR_CANCELLED;
    if (verdict.What == Decision::Skip) {
      anyAborted_ = true;
      return 0;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) return ErrorFromErrno(errno);
    remover.Path = nullptr;
    return 0;
  }

  DWORD Advance(std::size_t bytes) {
    progress_.BytesDone += bytes;
    ui_.ShowProgress(progress_);
    return ui_.CancelRequested() ? ERROR_CANCELLED : 0;
  }

  static bool CallNotUsable(int err) {
    return err == EXDEV || err == EINVAL || err == ENOSYS || err == EOPNOTSUPP || err == EBADF;
  }

  DWORD CopyData(int in, int out) {
    enum class Method { Range, SendFile, ReadWrite } method = Method::Range;
    std::vector<char> buffer;
    for (;;) {
      ssize_t n = 0;
      if (method == Method::Range) {
        n = ::copy_file_range(in, nullptr, out, nullptr, kPieceBytes, 0);
        if (n < 0 && CallNotUsable(errno)) {
          method = Method::SendFile;
          continue;
        }
      } else if (method == Method::SendFile) {
        n = ::sendfile(out, in, nullptr, kPieceBytes);
        if (n < 0 && (errno == EINVAL || errno == ENOSYS)) {
          method = Method::ReadWrite;
          continue;
        }
      } else {
        if (buffer.empty()) buffer.resize(kBufferBytes);
        n = ReadAndWrite(in, out, buffer);
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return errno == ENOSPC ? ERROR_DISK_FULL : ErrorFromErrno(errno);
      if (n == 0) return 0;
      if (DWORD error = Advance(static_cast<std::size_t>(n))) return error;
    }
  }

  static ssize_t ReadAndWrite(int in, int out, std::vector<char>& buffer) {
    ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n <= 0) return n;
    std::size_t written = 0;
    while (written < static_cast<std::size_t>(n)) {
      ssize_t w = ::write(out, buffer.data() + written, static_cast<std::size_t>(n) - written);
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return -1;
      if (w == 0) {
        errno = ENOSPC;
        return -1;
      }
      written += static_cast<std::size_t>(w);
    }
    return n;
  }

  const CopyOptions& options_;
  IShellOperationUi& ui_;
  ShellProgress progress_;
  bool yesToAll_;
  bool anyAborted_ = false;
  unsigned temporaries_ = 0;
};

}  // namespace

std::string CopyErrorText(const std::string& name, DWORD error) {
  std::string head = "Cannot copy " + name + ": ";
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return head + "Cannot find the specified file.\n\nMake sure you specify the correct path and filename.";
    case static_cast<DWORD>(DE_SAMEFILE): return head + "The source and destination file names are the same.";
    case static_cast<DWORD>(DE_DESTSUBTREE):
      return head + "The destination folder is a subfolder of the source folder.";
    default: return head + SystemText(error);
  }
}

CopyOutcome CopyTrees(const std::vector<CopyJob>& jobs, const CopyOptions& options, IShellOperationUi& ui) {
  std::vector<ScannedJob> scanned(jobs.size());
  std::uint64_t total = 0;
  Scanner scanner;
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (auto failure = scanner.Scan(jobs[i], scanned[i])) {
      if (options.ShowErrors) ui.ShowError(kCopyErrorCaption, CopyErrorText(failure->Name, failure->Error));
      return CopyOutcome{failure->Error, false};
    }
    for (const Entry& entry : scanned[i].Entries) total += entry.Size;
  }
  Copier copier(options, ui, total);
  return copier.Run(scanned);
}

}  // namespace qorv::platform
