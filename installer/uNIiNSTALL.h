// The installer window's unit: the installation operations its actions
// share. Each runs on the window's thread, reports nothing to the user
// itself (the shell shows its own windows) and leaves failures to its flag.
#pragma once

#include <string>

// Copies the folder `source` with everything in it to `destination` through
// the shell, which shows its progress window, asks before replacing files and
// reports failures (a missing source included). True when the shell reports
// success; false on any failure or a cancel.
bool CopyFolder(const std::string& source, const std::string& destination);

// Starts `file` hidden with `parameters` (passed as given, a leading blank
// included) and handles the thread's messages until the program has ended or
// the application is terminating, blocked between looks. False only when the
// program cannot be started (the shell has shown why); there is no time limit.
bool RunAndWait(const std::string& file, const std::string& parameters);

// Places "ostrivel.lnk" on the desktop, starting `target` (a full Windows
// path) in the target's folder, replacing a shortcut of that name. Raises
// EOleSysError or EIntfCastError when the shell link object cannot be had;
// any later failure passes silently and leaves no shortcut.
void CreateDesktopShortcut(const std::string& target);

// Copies the font file `source` (relative to the current folder) into the
// Windows font folder unless a file of its name is there, writes the font
// resource file beside it for a ".ttf" (lower case only), adds the font so
// it is usable at once, and tells every top-level window. Never fails
// visibly.
void InstallFont(const std::string& source);
