// Fonts added at run time (copied to the system root's font folder and
// announced with WM_FONTCHANGE) become usable once this has run; forms call
// it when they receive WM_FONTCHANGE.
#pragma once

void RefreshFonts();
