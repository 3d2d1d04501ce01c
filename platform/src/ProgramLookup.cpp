// Finding a program the way CreateProcess does, and choosing how Linux runs
// it: directly, through the configured runner, or (Explorer) the opener.
#include "ProgramLookup.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "CommandLine.h"
#include "FileDescriptor.h"
#include "PathMap.h"
#include "systemroot.h"
#include "winerror.h"

namespace qorv::platform {

namespace {

constexpr const char* kSystemFile = "system.ini";
constexpr const char* kRunnerKey = "WindowsRunner";
constexpr const char* kOpenerKey = "Opener";
constexpr const char* kDefaultOpener = "xdg-open";

enum class FileKind { LinuxProgram, Other };

std::string LowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string NamePart(const std::string& path) {
  auto slash = path.find_last_of("\\/:");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ExtensionOf(const std::string& path) {
  std::string name = NamePart(path);
  auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : LowerAscii(name.substr(dot));
}

bool NamesFolder(const std::string& program) { return program.find_first_of("\\/:") != std::string::npos; }

// Windows appends ".exe" to a program name that has no extension.
std::string WithDefaultExtension(const std::string& program) {
  return ExtensionOf(program).empty() ? program + ".exe" : program;
}

bool IsRegularFile(const std::filesystem::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// ELF or "#!" at the start: the kernel can execute it.
FileKind KindOf(const std::filesystem::path& path) {
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  std::array<char, 4> head{};
  if (!fd.Valid() || ::read(fd.Get(), head.data(), head.size()) < 2) return FileKind::Other;
  if (head[0] == 0x7F && head[1] == 'E' && head[2] == 'L' && head[3] == 'F') return FileKind::LinuxProgram;
  if (head[0] == '#' && head[1] == '!') return FileKind::LinuxProgram;
  return FileKind::Other;
}

std::vector<std::string> ConfiguredWords(const char* key) {
  std::vector<std::string> words;
  auto value = ReadIniValue(kSystemFile, key);
  if (!value) return words;
  std::string word;
  for (char c : *value + " ") {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

std::filesystem::path ProgramFolder() {
  std::error_code error;
  auto self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

// The folders a bare program name is looked for in, in CreateProcess's order.
std::vector<std::filesystem::path> SearchFolders() {
  std::vector<std::filesystem::path> folders;
  if (auto own = ProgramFolder(); !own.empty()) folders.push_back(own);
  for (const std::string& windows : {CurrentWindowsDirectory(), SystemFolder(), WindowsFolder()}) {
    if (auto linux = WindowsToLinuxPath(windows)) folders.push_back(*linux);
  }
  return folders;
}

std::optional<std::filesystem::path> FindInFolder(const std::filesystem::path& folder, const std::string& name) {
  if (IsRegularFile(folder / name)) return folder / name;
  // Windows names match ignoring case; the drive map finds such a match.
  if (auto windows = LinuxToWindowsPath(folder)) {
    auto mapped = WindowsToLinuxPath(*windows + "\\" + name);
    if (mapped && IsRegularFile(*mapped)) return mapped;
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> FindProgramFile(const std::string& program, DWORD& error) {
  std::string name = WithDefaultExtension(program);
  if (!NamesFolder(program)) {
    for (const auto& folder : SearchFolders()) {
      if (auto found = FindInFolder(folder, name)) return found;
    }
    error = ERROR_FILE_NOT_FOUND;
    return std::nullopt;
  }
  auto linux = WindowsToLinuxPath(name);
  if (!linux) {
    error = GetLastError();
    return std::nullopt;
  }
  struct stat st;
  if (::stat(linux->c_str(), &st) != 0) {
    error = MissingPathError(*linux);
    return std::nullopt;
  }
  if (!S_ISREG(st.st_mode)) {
    error = ERROR_ACCESS_DENIED;
    return std::nullopt;
  }
  return linux;
}

bool IsExplorer(const std::string& program) {
  std::string lower = LowerAscii(program);
  if (lower == "explorer" || lower == "explorer.exe") return true;
  auto full = FullWindowsPath(program);
  if (!full) return false;
  std::string windows = LowerAscii(WindowsFolder());
  std::string path = LowerAscii(*full);
  return path == windows + "\\explorer" || path == windows + "\\explorer.exe";
}

bool IsAbsoluteWindowsPath(const std::string& text) {
  return text.size() >= 3 && std::isalpha(static_cast<unsigned char>(text[0])) && text[1] == ':' &&
         (text[2] == '\\' || text[2] == '/');
}

// The desktop's opener takes Linux paths and addresses; what it is given on
// a Windows command line is turned into those.
SpawnRequest OpenerStart(const std::string& argumentText) {
  SpawnRequest request;
  auto words = ConfiguredWords(kOpenerKey);
  if (words.empty()) words.push_back(kDefaultOpener);
  request.Program = words.front();
  request.SearchPath = true;
  request.Arguments = words;
  auto arguments = SplitArguments(argumentText);
  if (arguments.empty()) arguments.push_back("C:\\");
  for (const auto& argument : arguments) {
    std::optional<std::filesystem::path> linux;
    if (IsAbsoluteWindowsPath(argument)) linux = WindowsToLinuxPath(argument);
    request.Arguments.push_back(linux ? linux->string() : AnsiToUtf8(argument));
  }
  return request;
}

}  // namespace

bool HasProgramExtension(const std::string& name) {
  static const char* const kProgramExtensions[] = {".exe", ".com", ".bat", ".cmd", ".pif", ".scr"};
  std::string extension = ExtensionOf(WithDefaultExtension(name));
  return std::any_of(std::begin(kProgramExtensions), std::end(kProgramExtensions),
                     [&](const char* known) { return extension == known; });
}

std::filesystem::path CurrentLinuxFolder() {
  auto linux = WindowsToLinuxPath(CurrentWindowsDirectory());
  return linux ? *linux : std::filesystem::path();
}

std::optional<SpawnRequest> PlanProgramStart(const std::string& program, const std::string& argumentText,
                                             DWORD& error) {
  if (IsExplorer(program)) return OpenerStart(argumentText);
  auto file = FindProgramFile(program, error);
  if (!file) return std::nullopt;
  auto arguments = SplitArguments(argumentText);
  SpawnRequest request;
  if (KindOf(*file) == FileKind::LinuxProgram) {
    if (::access(file->c_str(), X_OK) != 0) {
      error = ERROR_ACCESS_DENIED;
      return std::nullopt;
    }
    // A program of this platform reads its arguments as a Windows program
    // would: in the ANSI code page, as given.
    request.Program = *file;
    request.Arguments.push_back(file->string());
    request.Arguments.insert(request.Arguments.end(), arguments.begin(), arguments.end());
    return request;
  }
  auto runner = ConfiguredWords(kRunnerKey);
  if (runner.empty()) {
    error = ERROR_BAD_EXE_FORMAT;
    return std::nullopt;
  }
  request.Program = runner.front();
  request.SearchPath = true;
  request.Arguments = runner;
  request.Arguments.push_back(file->string());
  for (const auto& argument : arguments) request.Arguments.push_back(AnsiToUtf8(argument));
  return request;
}

}  // namespace qorv::platform
