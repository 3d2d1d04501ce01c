// Font resources of the process: which files are fonts (fontconfig reads
// them), the list the GUI framework takes its added fonts from, and the font
// resource files that name a font.
#include <fcntl.h>
#include <fontconfig/fontconfig.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "FileDescriptor.h"
#include "NoThrow.h"
#include "PathMap.h"
#include "systemroot.h"
#include "winerror.h"
#include "wingdi.h"

namespace qorv::platform {

namespace {

constexpr const char* kResourceSignature = "QORV FONT RESOURCE 1";
constexpr const char* kFontFileKey = "FontFile=";

struct FontTable {
  std::mutex Lock;
  std::vector<std::filesystem::path> Files;  // under Lock; only grows
  std::atomic<std::uint64_t> Generation{0};
};

FontTable& Table() {
  static auto* table = new FontTable;  // read by windows painting during exit
  return *table;
}

struct FontFacts {
  int Faces = 0;
  bool TrueType = false;
  std::string Family;
};

// What fontconfig finds in the file; no faces when it is not a font.
FontFacts ReadFontFacts(const std::filesystem::path& file) {
  FontFacts facts;
  int count = 0;
  FcPattern* pattern = FcFreeTypeQuery(reinterpret_cast<const FcChar8*>(file.c_str()), 0, nullptr, &count);
  if (!pattern) return facts;
  facts.Faces = count > 0 ? count : 1;
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, FC_FONTFORMAT, 0, &value) == FcResultMatch) {
    facts.TrueType = std::string(reinterpret_cast<const char*>(value)) == "TrueType";
  }
  if (FcPatternGetString(pattern, FC_FAMILY, 0, &value) == FcResultMatch) {
    facts.Family = reinterpret_cast<const char*>(value);
  }
  FcPatternDestroy(pattern);
  return facts;
}

bool IsRegularFile(const std::filesystem::path& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The font name a resource file holds; nothing for any other file (a font
// file is told apart by its first bytes, never read whole).
std::optional<std::string> FontNameInResource(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string head(std::strlen(kResourceSignature) + 1, '\0');
  if (!in.read(head.data(), static_cast<std::streamsize>(head.size()))) return std::nullopt;
  if (head != std::string(kResourceSignature) + "\n") return std::nullopt;
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(kFontFileKey, 0) == 0) return line.substr(std::strlen(kFontFileKey));
  }
  return std::nullopt;
}

bool HasFolder(const std::string& name) { return name.find_first_of("\\/:") != std::string::npos; }

// The font a resource file names; a bare name is looked for beside the
// resource, then in the Fonts folder. Nothing when the file is no resource.
std::optional<std::filesystem::path> FontNamedByResource(const std::filesystem::path& resource) {
  auto fontName = FontNameInResource(resource);
  if (!fontName || fontName->empty()) return std::nullopt;
  if (HasFolder(*fontName)) return WindowsToLinuxPath(*fontName);
  std::string linuxName = AnsiToUtf8(*fontName);
  if (IsRegularFile(resource.parent_path() / linuxName)) return resource.parent_path() / linuxName;
  return WindowsToLinuxPath(FontFolder() + "\\" + *fontName);
}

void Remember(const std::filesystem::path& file) {
  std::error_code error;
  auto canonical = std::filesystem::canonical(file, error);
  const auto& key = error ? file : canonical;
  auto& table = Table();
  std::lock_guard guard(table.Lock);
  for (const auto& known : table.Files) {
    if (known == key) return;
  }
  table.Files.push_back(key);
  table.Generation.fetch_add(1);
}

// Written under a temporary name and linked into place, so the resource
// appears whole or not at all, and an existing one is never replaced even
// by a writer racing this one.
BOOL WriteResourceFile(const std::filesystem::path& target, const std::string& text) {
  // Named for the writing thread: two writers never share a temporary.
  auto temporary = target.parent_path() / ("." + target.filename().string() + ".new." + std::to_string(::getpid()) +
                                           "." + std::to_string(::gettid()));
  {
    FileDescriptor out(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!out.Valid()) return FailWith(errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrorFromErrno(errno));
    if (::write(out.Get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      int err = errno;
      ::unlink(temporary.c_str());
      return FailWith(ErrorFromErrno(err));
    }
  }
  int linked = ::link(temporary.c_str(), target.c_str());
  int err = errno;
  ::unlink(temporary.c_str());
  if (linked == 0) return TRUE;
  return FailWith(err == EEXIST ? ERROR_FILE_EXISTS : ErrorFromErrno(err));
}

}  // namespace

AddedFonts AddedFontFiles() {
  auto& table = Table();
  std::lock_guard guard(table.Lock);
  return AddedFonts{table.Generation.load(), table.Files};
}

std::uint64_t AddedFontGeneration() { return Table().Generation.load(); }

}  // namespace qorv::platform

using namespace qorv::platform;

int WINAPI AddFontResourceA(LPCSTR lpFileName) {
  return Guarded(0, [&]() -> int {
    auto file = MapFileName(lpFileName);
    if (!file) return 0;
    if (!IsRegularFile(*file)) {
      SetLastError(MissingPathError(*file));
      return 0;
    }
    if (auto named = FontNamedByResource(*file)) file = named;
    FontFacts facts = ReadFontFacts(*file);
    if (facts.Faces == 0) return 0;
    Remember(*file);
    return facts.Faces;
  });
}

BOOL WINAPI CreateScalableFontResourceA(DWORD fdwHidden, LPCSTR lpszFontRes, LPCSTR lpszFontFile,
                                        LPCSTR lpszCurrentPath) {
  return Guarded(BOOL{FALSE}, [&]() -> BOOL {
    if (lpszFontRes == nullptr || lpszFontFile == nullptr) return FailWith(ERROR_INVALID_PARAMETER);
    std::string fontName = lpszFontFile;
    bool inFolder = lpszCurrentPath != nullptr && *lpszCurrentPath != '\0';
    if (inFolder) {
      std::string folder = lpszCurrentPath;
      fontName = folder + (folder.back() == '\\' || folder.back() == '/' ? "" : "\\") + lpszFontFile;
    }
    auto font = MapFileName(fontName.c_str());
    if (!font) return FALSE;
    if (!IsRegularFile(*font)) return FailWith(MissingPathError(*font));
    FontFacts facts = ReadFontFacts(*font);
    if (facts.Faces == 0 || !facts.TrueType) return FailWith(ERROR_INVALID_DATA);
    auto resource = MapFileName(lpszFontRes);
    if (!resource) return FALSE;
    std::string named = inFolder ? std::string(lpszFontFile) : FullWindowsPath(fontName).value_or(fontName);
    std::ostringstream text;
    text << kResourceSignature << "\n"
         << kFontFileKey << named << "\n"
         << "Hidden=" << (fdwHidden ? 1 : 0) << "\n"
         << "Family=" << facts.Family << "\n";
    return WriteResourceFile(*resource, text.str());
  });
}
