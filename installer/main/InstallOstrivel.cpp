// The installer program: one window, run until an exit button ends it. It
// reads no command line; the folder it is started from is the medium.
#include <exception>

#include <objbase.h>

#include "Application.h"
#include "uNIiNSTALL.h"

int main() {
  // The desktop shortcut and the data-access components need COM on this
  // thread.
  CoInitialize(nullptr);
  try {
    Application->Initialize();
    Application->CreateForm(Form1);
    Application->Run();
  } catch (const std::exception& error) {
    // A window that cannot be made (a damaged description) is reported, not
    // left to end the program without a word.
    Application->ShowException(error);
    return 1;
  }
  return 0;
}
