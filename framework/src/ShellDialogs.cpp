#include "ShellDialogs.h"

#include <shellui.h>

#include <chrono>

#include "Application.h"
#include "Button.h"
#include "Dialogs.h"
#include "Forms.h"
#include "Label.h"
#include "ProgressBar.h"

namespace {

using qorv::platform::IShellOperationUi;
using qorv::platform::IShellUi;
using qorv::platform::ShellAnswer;
using qorv::platform::ShellProgress;

constexpr TModalResult mrYesToAll = 10;
constexpr int kBarSteps = 1000;
// The window shows the newest state at most this often: a copy of many small
// files would otherwise spend its time painting file names nobody can read.
constexpr auto kRefreshEvery = std::chrono::milliseconds(100);

// The shell's progress window: the file being copied, where from and where
// to, a bar over all bytes, and Cancel (Escape and the close box too).
class TShellProgressForm : public TForm {
 public:
  TShellProgressForm() : TForm(nullptr) {
    SetName("ShellProgressForm");
    BorderStyle = bsDialog;
    BorderIcons = biSystemMenu;
    Position = poScreenCenter;
    SetBounds(0, 0, 400, 130);
    fileName_ = AddLabel("FileName", 12);
    folders_ = AddLabel("Folders", 32);
    bar_ = new TProgressBar(this);
    bar_->SetName("Progress");
    bar_->SetParent(this);
    bar_->Smooth = true;
    bar_->SetMax(kBarSteps);
    bar_->SetBounds(12, 56, 376, 16);
    auto* cancel = new TButton(this);
    cancel->SetName("CancelButton");
    cancel->SetParent(this);
    cancel->SetCaption("Cancel");
    cancel->Cancel = true;
    cancel->SetBounds(313, 90, 75, 25);
    cancel->OnClick = [this](TObject*) { cancelled_ = true; };
    OnClose = [this](TObject*, TCloseAction& action) {
      cancelled_ = true;
      action = caNone;
    };
  }

  void Apply(const ShellProgress& progress) {
    SetCaption(progress.Title);
    fileName_->SetCaption(progress.FileName);
    folders_->SetCaption("From '" + progress.FromFolder + "' to '" + progress.ToFolder + "'");
    int position =
        progress.BytesTotal == 0
            ? kBarSteps
            : static_cast<int>(progress.BytesDone * static_cast<std::uint64_t>(kBarSteps) / progress.BytesTotal);
    bar_->SetPosition(position);
    if (!Visible()) Show();
  }

  bool Cancelled() const { return cancelled_; }

 private:
  TLabel* AddLabel(const char* name, int top) {
    auto* label = new TLabel(this);
    label->SetName(name);
    label->SetParent(this);
    label->SetAutoSize(false);
    label->SetBounds(12, top, 376, 16);
    return label;
  }

  TLabel* fileName_ = nullptr;
  TLabel* folders_ = nullptr;
  TProgressBar* bar_ = nullptr;
  bool cancelled_ = false;
};

class TShellOperationDialogs : public IShellOperationUi {
 public:
  explicit TShellOperationDialogs(bool showProgress) {
    if (showProgress) form_ = std::make_unique<TShellProgressForm>();
  }

  void ShowProgress(const ShellProgress& progress) override {
    latest_ = progress;
    pending_ = true;
    auto now = std::chrono::steady_clock::now();
    if (shown_ && now - lastApplied_ < kRefreshEvery) return;
    ApplyLatest();
    lastApplied_ = now;
  }

  bool CancelRequested() override {
    Application->ProcessMessages();
    return (form_ && form_->Cancelled()) || Application->Terminated();
  }

  ShellAnswer AskReplace(const std::string& caption, const std::string& text) override {
    // The question is about the file the window names.
    ApplyLatest();
    TModalResult answer =
        MessageBoxWithButtons(text, caption, mtConfirmation,
                              {{"&Yes", mrYes}, {"Yes to &All", mrYesToAll}, {"&No", mrNo}, {"Cancel", mrCancel}});
    switch (answer) {
      case mrYes: return ShellAnswer::Yes;
      case mrYesToAll: return ShellAnswer::YesToAll;
      case mrNo: return ShellAnswer::No;
      default: return ShellAnswer::Cancel;
    }
  }

  void ShowError(const std::string& caption, const std::string& text) override {
    ApplyLatest();
    MessageBox(text, caption, MB_OK | MB_ICONHAND);
  }

 private:
  void ApplyLatest() {
    if (!pending_ || !form_) return;
    form_->Apply(latest_);
    pending_ = false;
    shown_ = true;
  }

  std::unique_ptr<TShellProgressForm> form_;
  ShellProgress latest_;
  bool pending_ = false;
  bool shown_ = false;
  std::chrono::steady_clock::time_point lastApplied_;
};

class TShellDialogs : public IShellUi {
 public:
  TShellDialogs() { qorv::platform::RegisterShellUi(this); }
  ~TShellDialogs() override { qorv::platform::UnregisterShellUi(this); }
  TShellDialogs(const TShellDialogs&) = delete;
  TShellDialogs& operator=(const TShellDialogs&) = delete;

  std::unique_ptr<IShellOperationUi> BeginOperation(HWND, bool showProgress) override {
    return std::make_unique<TShellOperationDialogs>(showProgress);
  }
  void ShowError(HWND, const std::string& caption, const std::string& text) override {
    MessageBox(text, caption, MB_OK | MB_ICONHAND);
  }
};

}  // namespace

namespace qorv::framework {

void InstallShellDialogs() {
  // Made on first use and destroyed with the module, which unregisters it.
  static TShellDialogs dialogs;
}

}  // namespace qorv::framework
