// Restores from a backup file the user picks (into the main database, or
// from the button outside the page into "mydatabase1"), and the reset of the
// application's database settings.
#include <fileapi.h>

#include <string>

#include "ADODB.h"
#include "AnsiStrings.h"
#include "Dialogs.h"
#include "OpenDialog.h"
#include "WideText.h"
#include "uNIiNSTALL.h"

namespace {

// "The backup file was restored successfully", in the two wordings the
// two buttons use.
constexpr const char kRestoreDone[] = "فايل پشتيبان با موفقيت آميز بازيابي شد";
constexpr const char kOffScreenRestoreDone[] = "فايل پشتيبان موفقيت آميز احيا شد";
// "The database settings were changed successfully."
constexpr const char kResetDone[] = "تنظيمات ديتابيس با موفقيت تغيير يافت";

// The file name goes into the statement as a quoted text, so a quote in a
// folder or file name cannot end it early. A failing restore is left to the
// application's error box: the success message then does not appear.
void Restore(TForm1& form, TADOCommand* command, const std::string& database, const std::string& suffix,
             const char* done) {
  if (!form.OpenDialog1->Execute()) return;
  std::string statement =
      "RESTORE DATABASE " + database + " FROM DISK=" + QuotedStr(form.OpenDialog1->FileName + suffix);
  command->SetCommandText(AnsiToWide(statement));
  command->Execute();
  ShowMessage(Utf8ToAnsi(done));
}

}  // namespace

void TForm1::SpeedButton4Click(TObject*) { Restore(*this, ADOCommand2, "ostrivel", "", kRestoreDone); }

// The suffix is appended to the chosen name itself, without a separator.
void TForm1::Button5Click(TObject*) { Restore(*this, ADOCommand1, "mydatabase1", "MYBACKUP", kOffScreenRestoreDone); }

// Missing or locked settings files are not worth a word: the application
// writes them afresh.
void TForm1::SpeedButton10Click(TObject*) {
  DeleteFileA("C:\\Windows\\sisdisk35.kdf");
  DeleteFileA("C:\\Windows\\sispisk35.kdf");
  ShowMessage(Utf8ToAnsi(kResetDone));
}
