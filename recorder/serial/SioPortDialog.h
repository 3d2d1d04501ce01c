// The port selection dialog: lists the serial ports COM1 to COM50 that can
// be opened now (a port held by another program counts), and hands back the
// number of the chosen one.
#pragma once

#include <string>

#include "Bevel.h"
#include "Button.h"
#include "ComboBox.h"
#include "Forms.h"
#include "Label.h"

class TComSelectForm : public TForm {
 public:
  explicit TComSelectForm(TComponent* owner);
  std::string DescriptionName() const override { return "TCOMSELECTFORM"; }

  TLabel* Label1 = nullptr;
  TLabel* Label2 = nullptr;
  TBevel* Bevel1 = nullptr;
  TBitBtn* OkBtn = nullptr;
  TBitBtn* AbortBtn = nullptr;
  TComboBox* PortsComboBox = nullptr;

  // Fills the list; bound to the creation event by the description.
  void FormCreate(TObject* sender);
  // The number of the chosen entry; EConvertError when none is chosen.
  int SelectedComNumber();
  // Whether port n can be opened, or exists but is held elsewhere.
  bool PortAvailable(WORD n);
  // Writes "\\.\COMn" into buffer (room for 16 characters) and returns it.
  static char* ComDeviceName(char* buffer, WORD n);
};

// Lets the serial port component ask for a port with this dialog when it is
// opened with port number 0 (the component's SelectPort hook). A module that
// links the engine calls it once at start-up.
void InstallPortDialog();
