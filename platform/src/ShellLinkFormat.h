// Shell link files (.lnk) in Windows' published binary format: the header,
// the link information that names the target by its local path and volume,
// and the strings (description, relative path, working folder, arguments,
// icon). No item list is written: the link information alone finds the
// target, as for links that other tools write.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "wintypes.h"

namespace qorv::platform {

struct ShellLinkData {
  // Texts in the ANSI code page; Path is a full Windows path "X:\..." or
  // empty (no link information).
  std::string Path;
  std::string Description;
  std::string RelativePath;
  std::string WorkingDirectory;
  std::string Arguments;
  std::string IconLocation;
  int IconIndex = 0;
  int ShowCommand = 1;  // SW_SHOWNORMAL
  WORD HotKey = 0;
  // What the target looked like when the link was saved (zero when it did not
  // exist), and the volume it lies on.
  DWORD FileAttributes = 0;
  FILETIME CreationTime{};
  FILETIME AccessTime{};
  FILETIME WriteTime{};
  DWORD FileSize = 0;
  DWORD DriveType = 0;
  DWORD DriveSerialNumber = 0;
  std::string VolumeLabel;
};

// The link file's bytes. The strings are written in UTF-16 (the link is
// flagged Unicode); the local path both in the ANSI code page and in UTF-16.
// Nothing when a text is too long for the format (65535 characters).
std::optional<std::vector<std::uint8_t>> EncodeShellLink(const ShellLinkData& link);

// Reads a link file; nothing when it is not one or is damaged (every size and
// offset is checked against the data before it is used). Item lists and
// extra data blocks are skipped; texts come back in the ANSI code page.
std::optional<ShellLinkData> DecodeShellLink(const std::uint8_t* data, std::size_t size);

}  // namespace qorv::platform
