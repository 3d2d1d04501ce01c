// The installer window made from its description, against the SQL Server
// stand-in and a copy of the sample medium: D: a fixed drive whose folder is
// the stand-in's view of D:, the medium on a CD drive M: that is the current
// directory. Buttons are clicked as a person would; every box the window
// shows is recorded and answered from a queue (Enter when it runs out).
#pragma once

#include <gtest/gtest.h>

#include <fileapi.h>
#include <objbase.h>
#include <systemroot.h>

#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ADODB.h"
#include "AnsiStrings.h"
#include "Application.h"
#include "FormInput.h"
#include "HeadlessGuiTest.h"
#include "Label.h"
#include "PageControl.h"
#include "ProgressBar.h"
#include "StandIn.h"
#include "TestSupport.h"
#include "uNIiNSTALL.h"

namespace qorv::test {

namespace fs = std::filesystem;

struct ShownBox {
  std::string Caption;
  std::string Text;   // UTF-8
  int Position = -1;  // the progress bar while the box was up
  bool BarVisible = false;
};

class InstallerActions : public HeadlessGuiTest {
 protected:
  void SetUp() override {
    HeadlessGuiTest::SetUp();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    standIn_ = std::make_unique<StandIn>(folder_.Path());
    ASSERT_GT(standIn_->Port(), 0) << "the stand-in did not start";
    using namespace qorv::platform;
    ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Host", "127.0.0.1"));
    ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Port", std::to_string(standIn_->Port())));
    ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Login", "installer"));
    ASSERT_TRUE(WriteIniValue("sqlserver.ini", "Password", "secret"));
    // The stand-in reads "D:\x" as <its folder>/D/x: the same files as ours.
    ASSERT_TRUE(ConfigureDrive('D', ServerDrive('D'), DriveKind::Fixed));
    fs::copy(QORV_MEDIUM_DIR, Medium(), fs::copy_options::recursive);
    ASSERT_TRUE(ConfigureDrive('M', Medium(), DriveKind::Cdrom));
    ASSERT_TRUE(SetCurrentDirectoryA("M:\\"));
    SetModalResponder([this](TCustomForm& box) { Answer(box); });
  }

  void TearDown() override {
    delete form_;
    SetCurrentDirectoryA("C:\\");
    CoUninitialize();
    HeadlessGuiTest::TearDown();
  }

  fs::path Medium() const { return folder_.Path() / "medium"; }
  fs::path ServerDrive(char letter) const { return folder_.Path() / "server" / std::string(1, letter); }
  static fs::path Linux(const std::string& windows) { return *qorv::platform::WindowsToLinuxPath(windows); }

  // The window as the program makes and shows it (fonts installed, the
  // notice set).
  TForm1& Window() {
    if (!form_) {
      form_ = NewForm<TForm1>(Application);
      form_->Show();
      Application->ProcessMessages();
    }
    return *form_;
  }

  // A click in the middle of the control, handled before this returns
  // (with every box the click shows).
  void Click(TControl* control) {
    ASSERT_NE(control, nullptr);
    TForm1& window = Window();
    // The page of the control in front, as a click on its tab would bring it.
    for (TWinControl* parent = control->Parent(); parent; parent = parent->Parent()) {
      if (auto* sheet = dynamic_cast<TTabSheet*>(parent)) window.PageControl1->SetActivePage(sheet);
    }
    TPoint middle = control->ClientToForm({control->Width() / 2, control->Height() / 2});
    PostClick(window, middle.X, middle.Y);
    Application->ProcessMessages();
  }

  // Queues the input for the next box; boxes beyond the queue get Enter.
  void ThenAnswer(std::function<void(TCustomForm&)> input) { answers_.push_back(std::move(input)); }
  void ThenType(const std::string& text) {
    ThenAnswer([text](TCustomForm& box) {
      for (char c : text) PostChar(box, c);
      PostKey(box, VK_RETURN);
    });
  }
  void ThenKey(WORD key) {
    ThenAnswer([key](TCustomForm& box) { PostKey(box, key); });
  }

  std::vector<std::string> BoxTexts() const {
    std::vector<std::string> texts;
    for (const ShownBox& box : boxes_) texts.push_back(box.Text);
    return texts;
  }

  // Batches the stand-in received from this point on.
  std::vector<std::string> BatchesSince(std::size_t start) const {
    auto all = standIn_->Batches();
    return {all.begin() + static_cast<std::ptrdiff_t>(std::min(start, all.size())), all.end()};
  }
  std::size_t BatchCount() const { return standIn_->Batches().size(); }

  // Runs a statement on the stand-in as the installer's components do.
  void RunSql(const std::string& database, const std::string& statement) {
    TADOCommand command(nullptr);
    command.SetConnectionString(
        "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial Catalog=" + database);
    command.SetCommandText(std::u16string(statement.begin(), statement.end()));
    command.Execute();
  }

  TempDir folder_{"qorv-installer"};
  std::unique_ptr<StandIn> standIn_;
  TForm1* form_ = nullptr;
  std::vector<ShownBox> boxes_;
  std::deque<std::function<void(TCustomForm&)>> answers_;

 private:
  void Answer(TCustomForm& box) {
    ShownBox shown;
    shown.Caption = box.Caption();
    if (auto* label = dynamic_cast<TLabel*>(box.FindComponent("Message"))) shown.Text = AnsiToUtf8(label->Caption());
    if (form_) {
      shown.Position = form_->ProgressBar1->Position();
      shown.BarVisible = form_->ProgressBar1->Visible();
    }
    boxes_.push_back(shown);
    if (answers_.empty()) {
      PostKey(box, VK_RETURN);
      return;
    }
    auto input = std::move(answers_.front());
    answers_.pop_front();
    input(box);
  }
};

}  // namespace qorv::test
