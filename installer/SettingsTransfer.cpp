// Carries the settings of an earlier installation over: the earlier client
// database's settings table gains the columns this version reads, its empty
// new fields get "0", and its rows replace those of the main database's copy.
#include <string>

#include "ADODB.h"
#include "AnsiStrings.h"
#include "Dialogs.h"
#include "uNIiNSTALL.h"

namespace {

// "A problem occurred while running the program."
constexpr const char kTableNotOpened[] = "مشکلي در اجراي برنامه پيش آمده است";
// "There is a problem in the settings part."
constexpr const char kCopyFailed[] = "مشکلي در قسمت تنظيمات وجود دارد";
// "The transfer of the previous settings completed successfully."
constexpr const char kTransferDone[] = "انتقال تنظيمات قبلي  با موفقيت به پايان رسيد";

struct TUpgradeColumn {
  const char* Field;
  const char16_t* Statement;
};

// The columns in the order they are added and filled; PaCaAuto's statement
// has a blank where the others have a TAB.
constexpr TUpgradeColumn kUpgradeColumns[] = {
    {"Caller2", u"ALTER TABLE Primery ADD Caller2\ttinyint "},
    {"PrintPakat", u"ALTER TABLE Primery ADD PrintPakat\ttinyint "},
    {"PakatPrinter", u"ALTER TABLE Primery ADD PakatPrinter\tnvarchar(50) "},
    {"FactorPrinter", u"ALTER TABLE Primery ADD FactorPrinter\tnvarchar(50) "},
    {"LabelPrinter", u"ALTER TABLE Primery ADD LabelPrinter\tnvarchar(50) "},
    {"MorePrint", u"ALTER TABLE Primery ADD MorePrint\ttinyint "},
    {"Url2", u"ALTER TABLE Primery ADD Url2\tnvarchar(250) "},
    {"PaCaAuto", u"ALTER TABLE Primery ADD PaCaAuto nvarchar(2) "},
    {"Saghfjami", u"ALTER TABLE Primery ADD Saghfjami\tint "},
    {"SimC", u"ALTER TABLE Primery ADD SimC\ttinyint "},
    {"SmsNazarfact", u"ALTER TABLE Primery ADD SmsNazarfact\ttinyint "},
    {"NumNazar", u"ALTER TABLE Primery ADD NumNazar\tnvarchar(14) "},
    {"smsfact", u"ALTER TABLE Primery ADD smsfact\tnvarchar(8) "},
    {"Urls", u"ALTER TABLE Primery ADD Urls\ttinyint "},
    {"SmsRezervTxt", u"ALTER TABLE Primery ADD SmsRezervTxt\tnvarchar(200) "},
    {"SmsRezerv", u"ALTER TABLE Primery ADD SmsRezerv\ttinyint "},
    {"SmsKhoshTxt", u"ALTER TABLE Primery ADD SmsKhoshTxt\tnvarchar(200) "},
    {"SmsKhosh", u"ALTER TABLE Primery ADD SmsKhosh\ttinyint "},
    {"SROF", u"ALTER TABLE Primery ADD SROF\ttinyint "},
    {"susr2", u"ALTER TABLE Primery ADD susr2\tnvarchar(50) "},
    {"spss2", u"ALTER TABLE Primery ADD spss2\tnvarchar(50) "},
    {"sus", u"ALTER TABLE Primery ADD sus\tnvarchar(50) "},
    {"sps", u"ALTER TABLE Primery ADD sps\tnvarchar(50) "},
    {"SmsKhoshMoshTxt", u"ALTER TABLE Primery ADD SmsKhoshMoshTxt\tnvarchar(200) "},
    {"Mac", u"ALTER TABLE Primery ADD Mac\tnvarchar(50) "},
};

// Empties the main database's copy and fills it with every row and column of
// the earlier table, as one batch.
constexpr const char16_t kCopyBatch[] =
    u" DELETE FROM ostrivel.dbo.PrimeryMacPri  INSERT INTO ostrivel.dbo.PrimeryMacPri  SELECT *  FROM "
    u"Tavro_Client.dbo.primery ";

// A column that is there already (an upgraded database, a second click)
// makes its statement fail; that is expected and not worth a word.
void AddUpgradeColumns(TADOCommand* command) {
  for (const TUpgradeColumn& column : kUpgradeColumns) {
    command->SetCommandText(column.Statement);
    try {
      command->Execute();
    } catch (const std::exception&) {
    }
  }
}

}  // namespace

// The columns come first so that the table, whose persistent fields include
// them, can be opened on an earlier database. A failure between editing and
// posting ends the click in the application's error box before any copy.
void TForm1::SpeedButton11Click(TObject*) {
  AddUpgradeColumns(ADOCommand3);
  try {
    TblPrimery->Open();
  } catch (const std::exception&) {
    ShowMessage(Utf8ToAnsi(kTableNotOpened));
  }
  TblPrimery->Edit();
  for (const TUpgradeColumn& column : kUpgradeColumns) {
    TField* field = TblPrimery->FieldByName(column.Field);
    if (field->IsNull()) field->SetAsString("0");
  }
  TblPrimery->Post();
  ADOCommand4->SetCommandText(kCopyBatch);
  try {
    ADOCommand4->Execute();
  } catch (const std::exception&) {
    ShowMessage(Utf8ToAnsi(kCopyFailed));
    return;
  }
  ShowMessage(Utf8ToAnsi(kTransferDone));
}
