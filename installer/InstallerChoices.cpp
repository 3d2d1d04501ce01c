// The choices every install action shares (system folder, target drive) and
// the progress bar rules they follow.
#include <fileapi.h>

#include "ProgressBar.h"
#include "uNIiNSTALL.h"

namespace {

bool FolderExists(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool TForm1::IsDriveDFixed() { return GetDriveTypeA("D:\\") == DRIVE_FIXED; }

bool TForm1::IsDriveEFixed() { return GetDriveTypeA("E:\\") == DRIVE_FIXED; }

// Literal folders: a 32-bit program on 64-bit Windows finds its system
// folder under SysWOW64, and the product never asks where Windows is.
std::string TForm1::SystemFolder() {
  return FolderExists("C:\\Windows\\SysWOW64") ? "C:\\Windows\\SysWOW64" : "C:\\Windows\\System32";
}

// C: is taken without asking: it holds Windows.
char TForm1::TargetDrive() {
  if (IsDriveDFixed()) return 'D';
  if (IsDriveEFixed()) return 'E';
  return 'C';
}

void TForm1::StartProgress(int total) {
  ProgressBar1->SetPosition(0);
  ProgressBar1->SetMax(total);
  ProgressBar1->SetVisible(true);
}

void TForm1::StepProgress() { ProgressBar1->SetPosition(ProgressBar1->Position() + 1); }

// The position stays where the action left it.
void TForm1::EndProgress() { ProgressBar1->SetVisible(false); }
