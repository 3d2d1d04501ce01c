// The shell's windows, supplied from above: the platform cannot call the GUI
// framework, so the framework registers an implementation of this interface
// (TApplication::Initialize does) and the shell calls through it. The shell
// composes every text; the implementation only shows it and returns the
// answer. Everything runs on the thread that called the shell function.
//
// Without a registered implementation the shell writes its questions and
// messages to standard error and takes the default answer (Yes), as the
// framework does for a modal box with no display, so nothing waits for a
// person who cannot see it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "wintypes.h"

namespace qorv::platform {

enum class ShellAnswer { Yes, YesToAll, No, Cancel };

// What the progress window shows; texts in the ANSI code page.
struct ShellProgress {
  std::string Title;       // "Copying..." or the caller's title
  std::string FileName;    // the file being copied, name only
  std::string FromFolder;  // its folder, Windows path
  std::string ToFolder;    // where it goes, Windows path
  std::uint64_t BytesDone = 0;
  std::uint64_t BytesTotal = 0;
};

// The windows of one file operation: made when it starts, destroyed when it
// ends (which closes the progress window).
class IShellOperationUi {
 public:
  virtual ~IShellOperationUi() = default;
  // Called often (each file, each large piece of a file); the window may show
  // the state later, but must show it before a question is asked.
  virtual void ShowProgress(const ShellProgress& progress) = 0;
  // True once the user has cancelled in the progress window. Lets the
  // thread's windows handle their pending messages meanwhile.
  virtual bool CancelRequested() = 0;
  virtual ShellAnswer AskReplace(const std::string& caption, const std::string& text) = 0;
  // One OK button.
  virtual void ShowError(const std::string& caption, const std::string& text) = 0;
};

class IShellUi {
 public:
  virtual ~IShellUi() = default;
  // showProgress false: no progress window (questions and messages only).
  virtual std::unique_ptr<IShellOperationUi> BeginOperation(HWND owner, bool showProgress) = 0;
  // A message outside a file operation (ShellExecuteExA's), one OK button.
  virtual void ShowError(HWND owner, const std::string& caption, const std::string& text) = 0;
};

// The last registered implementation serves; unregistering it brings back
// the one before. A module unregisters its own before it is unloaded.
void RegisterShellUi(IShellUi* ui);
void UnregisterShellUi(IShellUi* ui);
// The one serving now: the last registered, else the standard error one.
IShellUi& CurrentShellUi();

}  // namespace qorv::platform
