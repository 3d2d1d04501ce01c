// Font resources. Fonts added here belong to this process, as on Windows
// without a registry entry: they are gone when it ends. The GUI framework
// reads the list before it lays out text, so an added font is usable by name
// in every window of the process at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "wintypes.h"

// The number of fonts the file holds (faces of a TrueType collection count
// one each), 0 for a missing file or one that is not a font. A font file
// resource made by CreateScalableFontResourceA adds the font it names. Adding
// the same file again adds nothing new but answers the same number.
int WINAPI AddFontResourceA(LPCSTR lpFileName);

// Writes the font resource file lpszFontRes naming the TrueType font
// lpszFontFile (when lpszCurrentPath is given, the font is that folder's
// lpszFontFile and the resource names the file alone, to be found beside the
// resource or in the Fonts folder at AddFontResourceA time). The file is a
// small text of our own, not Windows' executable format. FALSE with
// ERROR_FILE_EXISTS when lpszFontRes exists (it is never replaced),
// ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND for a missing font,
// ERROR_INVALID_DATA when it is not a TrueType font, ERROR_INVALID_PARAMETER
// for a null name.
BOOL WINAPI CreateScalableFontResourceA(DWORD fdwHidden, LPCSTR lpszFontRes, LPCSTR lpszFontFile,
                                        LPCSTR lpszCurrentPath);

namespace qorv::platform {

// The font files added so far (Linux paths, in the order added; the list only
// grows) with a count that changes whenever a file is added, read together.
struct AddedFonts {
  std::uint64_t Generation = 0;
  std::vector<std::filesystem::path> Files;
};
AddedFonts AddedFontFiles();
// The count alone, cheap enough to read before every text layout.
std::uint64_t AddedFontGeneration();

}  // namespace qorv::platform
