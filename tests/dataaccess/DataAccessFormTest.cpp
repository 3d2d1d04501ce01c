// The data-access components as a form description declares them: fields
// nested in their table belong to it, command text keeps its Persian, and
// a table described as active opens once its fields are there.
#include "DataAccessFixture.h"
#include "FormLoader.h"
#include "Forms.h"
#include "Utf16.h"

namespace qorv::test {
namespace {

class TDataForm : public TForm {
 public:
  explicit TDataForm(TComponent* owner) : TForm(owner) {
    RegisterDataAccessClasses();
    RegisterField("ADOCommand3", ADOCommand3);
    RegisterField("TblPrimery", TblPrimery);
    RegisterField("TblPrimeryMac", TblPrimeryMac);
  }
  std::string DescriptionName() const override { return {}; }
  void Load(const std::string& text) {
    LoadFromDescription(text);
    InitForm();
  }

  TADOCommand* ADOCommand3 = nullptr;
  TADOTable* TblPrimery = nullptr;
  TWideStringField* TblPrimeryMac = nullptr;
};

std::string Description(bool active) {
  return std::string(
             "object Form1: TDataForm\n"
             "  object ADOCommand3: TADOCommand\n"
             "    CommandText = 'ALTER TABLE Primery ADD Mac'#9'nvarchar(50) '\n"
             "    ConnectionString = 'Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
             "Catalog=Tavro_Client'\n"
             "    Left = 8\n"
             "    Top = 8\n"
             "  end\n"
             "  object TblPrimery: TADOTable\n"
             "    ConnectionString = 'Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Initial "
             "Catalog=Tavro_Client'\n"
             "    CursorType = ctStatic\n"
             "    TableName = 'Primery'\n") +
         (active ? "    Active = True\n" : "") +
         "    object TblPrimeryid: TAutoIncField\n"
         "      FieldName = 'id'\n"
         "      ReadOnly = True\n"
         "    end\n"
         "    object TblPrimeryMac: TWideStringField\n"
         "      FieldName = 'Mac'\n"
         "      Size = 50\n"
         "    end\n"
         "    object TblPrimeryDeviseSMS: TMemoField\n"
         "      FieldName = 'DeviseSMS'\n"
         "      BlobType = ftMemo\n"
         "    end\n"
         "  end\n"
         "end\n";
}

using DataAccessForm = DataAccessTest;

TEST_F(DataAccessForm, NestedFieldsBelongToTheirTable) {
  TDataForm form(nullptr);
  form.Load(Description(false));
  ASSERT_NE(form.TblPrimery, nullptr);
  ASSERT_EQ(form.TblPrimery->FieldCount(), 3);
  EXPECT_EQ(form.TblPrimery->FieldByName("Mac"), form.TblPrimeryMac);
  EXPECT_EQ(form.TblPrimeryMac->Size(), 50);
  EXPECT_TRUE(form.TblPrimery->FieldByName("id")->ReadOnly());
  EXPECT_EQ(form.TblPrimery->FieldByName("DeviseSMS")->DataType(), ftMemo);
  EXPECT_EQ(form.TblPrimery->CursorType(), ctStatic);
  EXPECT_EQ(form.ADOCommand3->CommandText(), u"ALTER TABLE Primery ADD Mac\tnvarchar(50) ");
}

TEST_F(DataAccessForm, ActiveTableOpensAfterItsFieldsAreLoaded) {
  AttachSamples();
  TDataForm form(nullptr);
  form.Load(Description(false));
  form.ADOCommand3->Execute();
  TDataForm active(nullptr);
  active.Load(Description(true));
  EXPECT_TRUE(active.TblPrimery->Active());
  EXPECT_EQ(active.TblPrimery->FieldCount(), 3);
}

TEST_F(DataAccessForm, PersianCommandTextFromTheDescriptionArrivesWhole) {
  AttachSamples();
  TDataForm form(nullptr);
  // "SELECT N'تنظيمات'" with the Persian written as character codes, as a
  // stored description keeps it.
  form.Load(
      "object Form1: TDataForm\n"
      "  object ADOCommand3: TADOCommand\n"
      "    CommandText = 'SELECT N'#39#1578#1606#1592#1610#1605#1575#1578#39' AS x'\n"
      "    ConnectionString = 'Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=master'\n"
      "  end\n"
      "end\n");
  form.ADOCommand3->Execute();
  auto batches = standIn_->Batches();
  EXPECT_NE(std::find(batches.begin(), batches.end(), "SELECT N'تنظيمات' AS x"), batches.end());
}

}  // namespace
}  // namespace qorv::test
