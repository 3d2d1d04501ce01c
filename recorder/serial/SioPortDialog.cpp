#include "SioPortDialog.h"

#include <cstdio>
#include <memory>

#include "Application.h"
#include "SioPort.h"
#include "SioWin32.h"
#include "StrToInt.h"

namespace {

constexpr WORD kHighestPort = 50;

}  // namespace

TComSelectForm::TComSelectForm(TComponent* owner) : TForm(owner) {
  RegisterField("Label1", Label1);
  RegisterField("Label2", Label2);
  RegisterField("Bevel1", Bevel1);
  RegisterField("OkBtn", OkBtn);
  RegisterField("AbortBtn", AbortBtn);
  RegisterField("PortsComboBox", PortsComboBox);
  RegisterHandler("FormCreate", &TComSelectForm::FormCreate);
}

char* TComSelectForm::ComDeviceName(char* buffer, WORD n) {
  std::snprintf(buffer, 16, "\\\\.\\COM%u", static_cast<unsigned>(n));
  return buffer;
}

bool TComSelectForm::PortAvailable(WORD n) {
  if (n == 0) return false;
  // A dispatcher of no port component; it holds a dispatcher slot only while
  // it exists, and frees itself on every way out.
  auto dispatcher = std::make_unique<TSioWin32Dispatcher>(nullptr);
  char name[16];
  LONG_PTR result = dispatcher->OpenDeviceHandle(ComDeviceName(name, n), 64, 64);
  if (result >= 0) {
    dispatcher->CloseDeviceHandle();
    return true;
  }
  return GetLastError() == ERROR_ACCESS_DENIED;
}

void TComSelectForm::FormCreate(TObject*) {
  for (WORD n = 1; n <= kHighestPort; ++n) {
    if (PortAvailable(n)) PortsComboBox->Items.push_back("COM" + std::to_string(n));
  }
  PortsComboBox->SetItemIndex(PortsComboBox->Items.empty() ? -1 : 0);
}

int TComSelectForm::SelectedComNumber() {
  std::string text = PortsComboBox->Text();
  std::string number = text.size() > 3 ? text.substr(3, 255) : std::string();
  return StrToInt(number);
}

void InstallPortDialog() {
  SioPortHooks().SelectPort = [](WORD& portNumber) {
    std::unique_ptr<TComSelectForm> form(NewForm<TComSelectForm>(Application));
    if (form->ShowModal() != mrOk) return false;
    portNumber = static_cast<WORD>(form->SelectedComNumber());
    return true;
  };
}
