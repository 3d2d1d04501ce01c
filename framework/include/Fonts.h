// Fonts added at run time (copied to the system root's font folder and
// announced with WM_FONTCHANGE) become usable once this has run; forms call
// it when they receive WM_FONTCHANGE.
#pragma once

#include <string>
#include <vector>

void RefreshFonts();

// The families Pango draws the text (ANSI code page) with when asked for the
// family: one name, the family's own, when it covers the text; others when
// it falls back. For self-checks and tests of installed fonts.
std::vector<std::string> FontFamiliesUsedFor(const std::string& family, const std::string& text);
