// The font map shared by every canvas of this module: fontconfig with the
// system's fonts, the fonts of the system root's font folder, and aliases
// that map the form fonts to installed families.
#pragma once

#include <mutex>

typedef struct _PangoFontMap PangoFontMap;

namespace qorv::framework {

PangoFontMap* SharedFontMap();
// Makes the fonts added with AddFontResourceA since the last call usable;
// called with TextLock held before each text layout.
void SyncAddedFonts();
// Pango's font map is not meant for concurrent use; every use of it and of
// layouts made from it holds this lock.
std::mutex& TextLock();

}  // namespace qorv::framework
