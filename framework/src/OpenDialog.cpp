#include "OpenDialog.h"

#include <systemroot.h>

#include <fnmatch.h>
#include <algorithm>
#include <filesystem>

#include "AnsiStrings.h"
#include "Button.h"
#include "Edit.h"
#include "Forms.h"
#include "Label.h"

namespace {

namespace fs = std::filesystem;

struct TEntry {
  std::string Name;  // ANSI
  bool Folder = false;
};

std::vector<std::string> PatternsOf(const std::string& filter, int index) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  std::size_t at = static_cast<std::size_t>(std::max(1, index) - 1) * 2 + 1;
  if (at >= parts.size()) return {"*"};
  std::vector<std::string> patterns;
  std::string list = parts[at];
  for (std::size_t from = 0;;) {
    std::size_t semi = list.find(';', from);
    std::string p = list.substr(from, semi == std::string::npos ? std::string::npos : semi - from);
    if (p == "*.*") p = "*";
    if (!p.empty()) patterns.push_back(p);
    if (semi == std::string::npos) break;
    from = semi + 1;
  }
  return patterns.empty() ? std::vector<std::string>{"*"} : patterns;
}

bool Matches(const std::string& name, const std::vector<std::string>& patterns) {
  for (const std::string& p : patterns) {
    if (fnmatch(p.c_str(), name.c_str(), FNM_CASEFOLD) == 0) return true;
  }
  return false;
}

std::string JoinWindows(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '\\') return folder + name;
  return folder + "\\" + name;
}

std::string ParentFolder(const std::string& folder) {
  std::string f = folder;
  if (f.size() > 3 && f.back() == '\\') f.pop_back();
  std::size_t slash = f.rfind('\\');
  if (slash == std::string::npos) return folder;
  if (slash <= 2) return f.substr(0, 3);  // "C:\"
  return f.substr(0, slash);
}

// The list of the current folder: one row per entry, folders first.
class TFileList : public TWinControl {
 public:
  using TWinControl::TWinControl;
  std::vector<TEntry> Entries;
  int Selected = -1;
  std::function<void(int)> OnChoose;
  std::function<void(int)> OnOpen;
  static constexpr int RowHeight = 16;

  bool CanFocus() const override { return true; }
  void PaintControl(TCanvas& canvas) override {
    TRect r = ClientRect();
    canvas.Frame3D(r, clBtnShadow, clBtnHighlight, 1);
    canvas.Brush = TBrush{clWindow, bsSolid};
    canvas.FillRect(r);
    canvas.Font.Assign(Font());
    for (std::size_t i = 0; i < Entries.size(); ++i) {
      TRect row{r.Left, r.Top + static_cast<int>(i) * RowHeight, r.Right, r.Top + static_cast<int>(i + 1) * RowHeight};
      if (row.Top >= r.Bottom) break;
      bool chosen = static_cast<int>(i) == Selected;
      canvas.Brush = TBrush{chosen ? clHighlight : clWindow, bsSolid};
      canvas.FillRect(row);
      canvas.Font.Color = chosen ? clHighlightText : clWindowText;
      canvas.Brush.Style = bsClear;
      std::string text = Entries[i].Folder ? "[" + Entries[i].Name + "]" : Entries[i].Name;
      canvas.DrawTextInRect({row.Left + 3, row.Top, row.Right - 3, row.Bottom}, text, taLeftJustify, tlCenter, false,
                            false);
    }
  }
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
    int index = (y - 1) / RowHeight;
    if (button == mbLeft && index >= 0 && index < static_cast<int>(Entries.size())) {
      Selected = index;
      Invalidate();
      if ((shift & ssDouble) && OnOpen) {
        OnOpen(index);
      } else if (OnChoose) {
        OnChoose(index);
      }
    }
    TWinControl::MouseDown(button, shift, x, y);
  }
};

class TChooserForm : public TForm {
 public:
  TChooserForm(const TOpenDialog& dialog, const std::string& startFolder) : TForm(nullptr), dialog_(dialog) {
    SetName("OpenDialogForm");
    SetCaption(dialog.Title.empty() ? std::string("Open") : dialog.Title);
    BorderStyle = bsDialog;
    BorderIcons = biSystemMenu;
    Position = poScreenCenter;
    SetBounds(0, 0, 420, 300);
    folderLabel_ = Make<TLabel>(8, 8, 404, 16);
    list_ = Make<TFileList>(8, 28, 404, 194);
    auto* nameLabel = Make<TLabel>(8, 234, 70, 16);
    nameLabel->SetCaption("File name:");
    edit_ = Make<TEdit>(80, 230, 332, 21);
    auto* ok = Make<TButton>(256, 264, 75, 25);
    ok->SetCaption("&Open");
    ok->Default = true;
    ok->OnClick = [this](TObject*) { Accept(); };
    auto* cancel = Make<TButton>(337, 264, 75, 25);
    cancel->SetCaption("Cancel");
    cancel->Cancel = true;
    cancel->ModalResult = mrCancel;
    list_->OnChoose = [this](int i) {
      if (!list_->Entries[static_cast<std::size_t>(i)].Folder)
        edit_->SetText(list_->Entries[static_cast<std::size_t>(i)].Name);
    };
    list_->OnOpen = [this](int i) {
      const TEntry& e = list_->Entries[static_cast<std::size_t>(i)];
      if (e.Folder) {
        EnterFolder(e.Name == ".." ? ParentFolder(folder_) : JoinWindows(folder_, e.Name));
      } else {
        edit_->SetText(e.Name);
        Accept();
      }
    };
    EnterFolder(startFolder);
    SetActiveControl(edit_);
  }

  std::string Chosen;

 private:
  template <class T>
  T* Make(int l, int t, int w, int h) {
    auto* c = new T(this);
    c->SetParent(this);
    c->SetBounds(l, t, w, h);
    return c;
  }

  void EnterFolder(const std::string& folder) {
    auto native = qorv::platform::WindowsToLinuxPath(folder);
    std::error_code ec;
    if (!native || !fs::is_directory(*native, ec)) return;
    folder_ = folder;
    folderLabel_->SetCaption(folder_);
    std::vector<TEntry> folders, files;
    if (folder_.size() > 3) folders.push_back({"..", true});
    auto patterns = PatternsOf(dialog_.Filter, dialog_.FilterIndex);
    for (const auto& item : fs::directory_iterator(*native, ec)) {
      std::string name = Utf8ToAnsi(item.path().filename().string());
      if (item.is_directory(ec)) {
        folders.push_back({name, true});
      } else if (Matches(item.path().filename().string(), patterns)) {
        files.push_back({name, false});
      }
    }
    auto byName = [](const TEntry& a, const TEntry& b) { return a.Name < b.Name; };
    std::sort(folders.begin() + (folder_.size() > 3 ? 1 : 0), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    folders.insert(folders.end(), files.begin(), files.end());
    list_->Entries = std::move(folders);
    list_->Selected = -1;
    list_->Invalidate();
  }

  // A typed folder is entered; a typed file that exists ends the dialog.
  void Accept() {
    std::string typed = edit_->Text();
    if (typed.empty()) return;
    std::string path = typed.size() > 1 && typed[1] == ':' ? typed : JoinWindows(folder_, typed);
    auto native = qorv::platform::WindowsToLinuxPath(path);
    std::error_code ec;
    if (!native) return;
    if (fs::is_directory(*native, ec)) {
      EnterFolder(path);
      edit_->SetText("");
      return;
    }
    if (!fs::exists(*native, ec) && !dialog_.DefaultExt.empty()) {
      std::string withExt = path + "." + dialog_.DefaultExt;
      auto other = qorv::platform::WindowsToLinuxPath(withExt);
      if (other && fs::exists(*other, ec)) path = withExt, native = other;
    }
    if (!fs::exists(*native, ec)) return;
    Chosen = path;
    SetModalResult(mrOk);
  }

  const TOpenDialog& dialog_;
  std::string folder_;
  TLabel* folderLabel_;
  TFileList* list_;
  TEdit* edit_;
};

}  // namespace

TOpenDialog::TOpenDialog(TComponent* owner) : TComponent(owner) {}

bool TOpenDialog::Execute() {
  std::string start = !FileName.empty()     ? ParentFolder(FileName)
                      : !InitialDir.empty() ? InitialDir
                                            : qorv::platform::CurrentWindowsDirectory();
  TChooserForm form(*this, start);
  if (form.ShowModal() != mrOk) return false;
  FileName = form.Chosen;
  return true;
}
