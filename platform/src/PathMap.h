// Path helpers shared by the file, folder and module services.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "wintypes.h"

namespace qorv::platform {

// The Windows error for a path that does not exist: ERROR_FILE_NOT_FOUND when
// its folder exists, else ERROR_PATH_NOT_FOUND, as Windows tells them apart.
DWORD MissingPathError(const std::filesystem::path& linuxPath);

// Maps a Windows name for a file service; sets the last error and answers
// nothing for a null, empty or unmappable name.
std::optional<std::filesystem::path> MapFileName(LPCSTR windowsName);

// Stores `text` into a caller's buffer the Windows way: when it fits with its
// terminator, copies it and returns its length; otherwise leaves the buffer
// alone and returns the size needed including the terminator.
DWORD CopyOutPath(const std::string& text, LPSTR buffer, DWORD bufferSize);

// ANSI code page text to UTF-8 and back, for file names; ASCII passes as is.
std::string AnsiToUtf8(const std::string& ansi);
std::string Utf8ToAnsi(const std::string& utf8);

}  // namespace qorv::platform
