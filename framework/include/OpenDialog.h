// The file-open dialog: a chooser form of our own over the system root's
// drive map. It lists the folders and the files of the current folder (the
// files that match the filter), takes a typed or clicked name, and keeps the
// chosen file name for the next use, which starts in that file's folder.
#pragma once

#include <string>

#include "Classes.h"

class TOpenDialog : public TComponent {
 public:
  explicit TOpenDialog(TComponent* owner);

  // A Windows path ("D:\Backup\data.bak"); kept between uses.
  std::string FileName;
  std::string InitialDir;
  // "Description|*.bak;*.dat|All|*.*"; empty lists every file.
  std::string Filter;
  int FilterIndex = 1;
  std::string Title;
  std::string DefaultExt;

  // Shows the dialog modally; true when a file was chosen (FileName set).
  bool Execute();
};
