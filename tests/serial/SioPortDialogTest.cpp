// The port selection dialog over ptys mapped to port numbers: which ports it
// lists, the chosen number, and how the port component's hook answers OK,
// Cancel and the close box.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>

#include "Application.h"
#include "FormInput.h"
#include "GoldenImage.h"
#include "HeadlessGuiTest.h"
#include "SioErrors.h"
#include "SioPort.h"
#include "SioPortDialog.h"
#include "StrToInt.h"
#include "systemroot.h"
#include "windows.h"

namespace {

// A pty whose slave side is the device of one port number.
class TMappedPty {
 public:
  explicit TMappedPty(int portNumber) : port_(portNumber) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ >= 0 && grantpt(master_) == 0 && unlockpt(master_) == 0) {
      qorv::platform::WriteDeviceMapping(portNumber, ptsname(master_));
    }
  }
  ~TMappedPty() {
    qorv::platform::RemoveDeviceMapping(port_);
    if (master_ >= 0) close(master_);
  }
  bool Valid() const { return master_ >= 0; }

 private:
  int port_;
  int master_ = -1;
};

using SioPortDialog = HeadlessGuiTest;

TEST_F(SioPortDialog, ListsTheMappedPortsInOrderWithTheFirstChosen) {
  TMappedPty seven(7), three(3), fiftyOne(51);
  ASSERT_TRUE(seven.Valid() && three.Valid() && fiftyOne.Valid());
  std::unique_ptr<TComSelectForm> form(NewForm<TComSelectForm>(nullptr));
  EXPECT_EQ(form->PortsComboBox->Items, (std::vector<std::string>{"COM3", "COM7"})) << "51 is never probed";
  EXPECT_EQ(form->PortsComboBox->ItemIndex(), 0);
  EXPECT_EQ(form->SelectedComNumber(), 3);
  form->PortsComboBox->SetItemIndex(1);
  EXPECT_EQ(form->SelectedComNumber(), 7);
  EXPECT_EQ(form->Caption(), "Select Port");
  EXPECT_EQ(form->Width(), 220);
  EXPECT_EQ(form->OkBtn->ModalResult, mrOk);
  EXPECT_EQ(form->AbortBtn->ModalResult, mrAbort);
}

TEST_F(SioPortDialog, AHeldPortIsAvailableAndAMissingOneIsNot) {
  TMappedPty five(5);
  std::unique_ptr<TComSelectForm> form(NewForm<TComSelectForm>(nullptr));
  HANDLE held = CreateFileA("\\\\.\\COM5", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(form->PortAvailable(5)) << "held by another handle: access denied counts as available";
  CloseHandle(held);
  EXPECT_TRUE(form->PortAvailable(5));
  EXPECT_FALSE(form->PortAvailable(6));
  EXPECT_FALSE(form->PortAvailable(0));
  char name[16];
  EXPECT_STREQ(TComSelectForm::ComDeviceName(name, 12), "\\\\.\\COM12");
}

TEST_F(SioPortDialog, EmptyListGivesAConvertError) {
  std::unique_ptr<TComSelectForm> form(NewForm<TComSelectForm>(nullptr));
  ASSERT_TRUE(form->PortsComboBox->Items.empty());
  EXPECT_EQ(form->PortsComboBox->ItemIndex(), -1);
  try {
    form->SelectedComNumber();
    ADD_FAILURE();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "'' is not a valid integer value");
  }
}

TEST_F(SioPortDialog, HookAnswersOkWithTheChosenPortAndNothingOtherwise) {
  TMappedPty two(2), five(5);
  InstallPortDialog();
  struct Case {
    const char* What;
    std::function<void(TCustomForm&)> Input;
    bool Chosen;
    WORD Port;
  } cases[] = {
      {"Down then Enter",
       [](TCustomForm& f) {
         PostKey(f, VK_DOWN);
         PostKey(f, VK_RETURN);
       },
       true, 5},
      {"Cancel", [](TCustomForm& f) { PostClick(f, 130, 100); }, false, 0},
      {"close box", [](TCustomForm& f) { PostClose(f); }, false, 0},
  };
  for (const Case& c : cases) {
    SetModalResponder([&](TCustomForm& f) {
      static_cast<TComSelectForm&>(f).PortsComboBox->SetFocus();
      c.Input(f);
    });
    WORD port = 0;
    EXPECT_EQ(SioPortHooks().SelectPort(port), c.Chosen) << c.What;
    EXPECT_EQ(port, c.Port) << c.What;
  }
  EXPECT_EQ(Application->ComponentCount(), 0) << "every dialog was freed";
}

TEST_F(SioPortDialog, PortOpenedWithoutANumberAsksAndUsesTheChoice) {
  TMappedPty two(2), five(5);
  InstallPortDialog();
  SetModalResponder([](TCustomForm& f) {
    static_cast<TComSelectForm&>(f).PortsComboBox->SetFocus();
    PostKey(f, VK_DOWN);
    PostKey(f, VK_RETURN);
  });
  auto port = std::make_unique<TSioComPort>(nullptr);
  port->SetComNumber(0);
  port->SetOpen(true);
  EXPECT_TRUE(port->Open());
  EXPECT_EQ(port->ComNumber(), 5);
  port->SetOpen(false);

  // The dialog has no cancel button, so Escape does nothing; the close box ends it.
  SetModalResponder([](TCustomForm& f) {
    PostKey(f, VK_ESCAPE);
    PostClose(f);
  });
  auto cancelled = std::make_unique<TSioComPort>(nullptr);
  cancelled->SetComNumber(0);
  EXPECT_THROW(cancelled->SetOpen(true), ENoPortSelected);
  EXPECT_FALSE(cancelled->Open());
}

// The dialog as shown: the labels inside their bevel, the buttons and the
// list at their stored places, the OK button holding the focus.
TEST_F(SioPortDialog, ShownAsLaidOut) {
  TMappedPty three(3), seven(7);
  std::unique_ptr<TComSelectForm> form(NewForm<TComSelectForm>(nullptr));
  form->Show();
  Application->ProcessMessages();
  const TBevel& bevel = *form->Bevel1;
  for (const TLabel* label : {form->Label1, form->Label2}) {
    EXPECT_LE(label->Left() + label->Width(), bevel.Left() + bevel.Width() - 2) << label->Caption();
    EXPECT_LE(label->Top() + label->Height(), bevel.Top() + bevel.Height() - 2) << label->Caption();
  }
  EXPECT_EQ(form->ActiveControl(), form->OkBtn);
  auto surface = form->PaintToSurface();
  qorv::test::ExpectLikeGolden(*surface, "serial", "port-dialog.png");
}

// Tab order starts at OK: Tab moves the focus to Cancel, whose Enter aborts.
TEST_F(SioPortDialog, FocusStartsOnOkSoTabThenEnterCancels) {
  TMappedPty two(2);
  InstallPortDialog();
  std::string focusedWhenShown;
  SetModalResponder([&](TCustomForm& f) {
    if (TControl* focused = f.ActiveControl()) focusedWhenShown = focused->Name();
    PostKey(f, VK_TAB);
    PostKey(f, VK_RETURN);
  });
  WORD port = 0;
  EXPECT_FALSE(SioPortHooks().SelectPort(port));
  EXPECT_EQ(focusedWhenShown, "OkBtn");
}

TEST_F(SioPortDialog, OkOnAnEmptyListLeavesThePortClosedWithAConvertError) {
  InstallPortDialog();
  SetModalResponder([](TCustomForm& f) { PostKey(f, VK_RETURN); });
  auto port = std::make_unique<TSioComPort>(nullptr);
  port->SetComNumber(0);
  EXPECT_THROW(port->SetOpen(true), EConvertError);
  EXPECT_FALSE(port->Open());
  EXPECT_EQ(port->Dispatcher(), nullptr);
  EXPECT_EQ(Application->ComponentCount(), 0) << "the dialog was freed";
}

}  // namespace
