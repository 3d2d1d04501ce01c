// The table component through the whole stack: the persistent fields
// checked against the columns, the Null fill and its post by key or as a
// new row, values sent as parameters, and the copy batch after it.
#include <algorithm>

#include "DataAccessFixture.h"
#include "Utf16.h"

namespace qorv::test {
namespace {

using AdoTable = DataAccessTest;

std::unique_ptr<TADOTable> PrimeryTable() {
  auto table = std::make_unique<TADOTable>(nullptr);
  table->SetName("TblPrimery");
  table->SetConnectionString(kClientConnection);
  table->SetTableName("Primery");
  table->SetCursorType(ctStatic);
  DeclarePrimeryFields(*table);
  return table;
}

// The Null fill of a settings transfer.
void FillNullUpgradeFields(TADOTable& table) {
  table.Edit();
  for (const std::string& name : UpgradeColumnNames()) {
    if (table.FieldByName(name)->IsNull()) table.FieldByName(name)->SetAsString("0");
  }
  table.Post();
}

std::string OpenError(TADOTable& table) {
  try {
    table.Open();
  } catch (const EDatabaseError& e) {
    return e.Message();
  }
  return "opened";
}

TEST_F(AdoTable, OpensWithAll184FieldsOnceUpgraded) {
  AttachSamples();
  auto table = PrimeryTable();
  ASSERT_EQ(table->FieldCount(), 184);
  EXPECT_EQ(OpenError(*table), "TblPrimery: Field 'Caller2' not found") << "the earlier table lacks the new columns";
  EXPECT_FALSE(table->Active());
  AddUpgradeColumns();
  ASSERT_EQ(OpenError(*table), "opened");
  EXPECT_EQ(table->State(), dsBrowse);
  EXPECT_EQ(table->RecordCount(), 0);
}

// The first field that does not fit is named; nothing is left open.
TEST_F(AdoTable, FieldOfTheWrongKindOrCaseIsNamed) {
  AttachSamples();
  AddUpgradeColumns();
  struct Case {
    std::string name;
    std::function<TField*(TComponent*)> make;
    std::string message;
  } cases[] = {
      {"Modem", [](TComponent* o) { return new TIntegerField(o); },
       "TblPrimery: Type mismatch for field 'Modem', expecting: Integer actual: Word"},
      {"AutoBKP", [](TComponent* o) { return new TWordField(o); },
       "TblPrimery: Type mismatch for field 'AutoBKP', expecting: Word actual: Boolean"},
      {"ColPri", [](TComponent* o) { return new TWideStringField(o); },
       "TblPrimery: Type mismatch for field 'ColPri', expecting: WideString actual: String"},
      {"Mac", [](TComponent* o) { return new TStringField(o); },
       "TblPrimery: Type mismatch for field 'Mac', expecting: String actual: WideString"},
      {"DeviseSMS", [](TComponent* o) { return new TWideStringField(o); },
       "TblPrimery: Type mismatch for field 'DeviseSMS', expecting: WideString actual: Memo"},
      {"id", [](TComponent* o) { return new TIntegerField(o); },
       "TblPrimery: Type mismatch for field 'id', expecting: Integer actual: AutoInc"},
      {"Saghfjami", [](TComponent* o) { return new TAutoIncField(o); },
       "TblPrimery: Type mismatch for field 'Saghfjami', expecting: AutoInc actual: Integer"},
      {"mac", [](TComponent* o) { return new TWideStringField(o); }, "TblPrimery: Field 'mac' not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto table = PrimeryTable();
    TField* replaced = table->FindField(c.name);
    if (replaced) delete replaced;
    TField* field = c.make(table.get());
    field->SetFieldName(c.name);
    field->SetDataSet(table.get());
    EXPECT_EQ(OpenError(*table), c.message);
    EXPECT_FALSE(table->Active());
  }
}

TEST_F(AdoTable, NullFillOfAnExistingRowKeepsItsValuesAndPostsByKey) {
  AttachSamples();
  AddUpgradeColumns();
  Run(kClientConnection, u"INSERT INTO Primery (Url2, SimC, Modem) VALUES (N'http://x/ی''ک', 5, 3)");
  Run(kClientConnection, u"INSERT INTO Primery (Modem) VALUES (9)");
  auto table = PrimeryTable();
  table->Open();
  ASSERT_EQ(table->RecordCount(), 2);
  EXPECT_EQ(table->FieldByName("Url2")->AsWideString(), u"http://x/ی'ک");
  EXPECT_TRUE(table->FieldByName("Mac")->IsNull());
  FillNullUpgradeFields(*table);
  EXPECT_EQ(Scalar("Tavro_Client", "SELECT Url2 FROM Primery WHERE Modem = 3"), "http://x/ی'ک");
  EXPECT_EQ(Scalar("Tavro_Client", "SELECT Mac FROM Primery WHERE Modem = 3"), "0");
  EXPECT_EQ(Scalar("Tavro_Client", "SELECT SimC FROM Primery WHERE Modem = 3"), "5");
  EXPECT_EQ(Scalar("Tavro_Client", "SELECT Caller2 FROM Primery WHERE Modem = 3"), "0");
  EXPECT_EQ(Scalar("Tavro_Client", "SELECT Saghfjami FROM Primery WHERE Modem = 3"), "0");
  // Only the first row was edited.
  EXPECT_EQ(Scalar("Tavro_Client", "SELECT Mac FROM Primery WHERE Modem = 9"), "NULL");
  // The values went as parameters: the statement text holds none of them,
  // and the key is the identity column.
  auto calls = Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("sp_executesql\t'UPDATE [Primery] SET [Caller2] = @P1, [PrintPakat] = @P2", 0), 0u)
      << calls[0];
  std::string statement = calls[0].substr(0, calls[0].find('\t', 14));
  EXPECT_NE(statement.find("WHERE [id] = @P24"), std::string::npos) << statement;
  EXPECT_EQ(statement.find("'0'"), std::string::npos) << statement;
}

TEST_F(AdoTable, EditOnAnEmptyTableInsertsANewRow) {
  AttachSamples();
  AddUpgradeColumns();
  auto table = PrimeryTable();
  table->Open();
  ASSERT_EQ(table->RecordCount(), 0);
  table->Edit();
  EXPECT_EQ(table->State(), dsInsert);
  for (const std::string& name : UpgradeColumnNames()) EXPECT_TRUE(table->FieldByName(name)->IsNull()) << name;
  for (const std::string& name : UpgradeColumnNames()) table->FieldByName(name)->SetAsString("0");
  table->Post();
  EXPECT_EQ(table->State(), dsBrowse);
  EXPECT_EQ(table->RecordCount(), 1);
  EXPECT_EQ(Scalar("Tavro_Client", "SELECT COUNT(*) FROM Primery"), "1");
  EXPECT_EQ(Scalar("Tavro_Client", "SELECT Mac || '/' || Caller2 || '/' || Saghfjami FROM Primery"), "0/0/0");
  EXPECT_EQ(Scalar("Tavro_Client", "SELECT Modem FROM Primery"), "NULL") << "unwritten columns stay Null";
  auto calls = Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].rfind("sp_executesql\t'INSERT INTO [Primery] ([Caller2], [PrintPakat]", 0), 0u) << calls[0];
}

// The whole settings transfer after its column statements: fill, post,
// then the copy into the main database.
TEST_F(AdoTable, CopyBatchAfterTheFillCopiesEveryRow) {
  AttachSamples();
  AddUpgradeColumns();
  Run(kClientConnection, u"INSERT INTO Primery (Modem, Url2) VALUES (1, N'نشانی')");
  Run(kClientConnection, u"INSERT INTO Primery (Modem) VALUES (2)");
  Run(kMasterConnection, u"INSERT INTO ostrivel.dbo.PrimeryMacPri (id) VALUES (99)");
  auto table = PrimeryTable();
  table->Open();
  FillNullUpgradeFields(*table);
  Run(kMasterConnection,
      u" DELETE FROM ostrivel.dbo.PrimeryMacPri  INSERT INTO ostrivel.dbo.PrimeryMacPri  SELECT *  FROM "
      u"Tavro_Client.dbo.primery ");
  EXPECT_EQ(Scalar("Ostrivel", "SELECT COUNT(*) FROM PrimeryMacPri"), "2");
  EXPECT_EQ(Scalar("Ostrivel", "SELECT Url2 || '/' || Mac FROM PrimeryMacPri WHERE Modem = 1"), "نشانی/0");
  EXPECT_EQ(Scalar("Ostrivel", "SELECT COUNT(*) FROM PrimeryMacPri WHERE id = 99"), "0");
}

TEST_F(AdoTable, PersianTextAndQuotesRoundTripThroughPost) {
  AttachDatabase("Notes",
                 "CREATE TABLE Note (id INTEGER PRIMARY KEY, Title nvarchar(200), Body ntext, Code "
                 "varchar(20), Flag bit, Small tinyint, Big int);"
                 "INSERT INTO Note (Title) VALUES ('x');");
  TADOTable table(nullptr);
  table.SetConnectionString("Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=Notes");
  table.SetTableName("Note");
  for (auto [name, make] : std::initializer_list<std::pair<const char*, TField* (*)(TComponent*)>>{
           {"id", [](TComponent* o) -> TField* { return new TAutoIncField(o); }},
           {"Title", [](TComponent* o) -> TField* { return new TWideStringField(o); }},
           {"Body", [](TComponent* o) -> TField* { return new TMemoField(o); }},
           {"Code", [](TComponent* o) -> TField* { return new TStringField(o); }},
           {"Flag", [](TComponent* o) -> TField* { return new TBooleanField(o); }},
           {"Small", [](TComponent* o) -> TField* { return new TWordField(o); }},
           {"Big", [](TComponent* o) -> TField* { return new TIntegerField(o); }}}) {
    TField* field = make(&table);
    field->SetFieldName(name);
    field->SetDataSet(&table);
  }
  table.Open();
  table.Edit();
  const std::u16string title = u"تنظیمات 'قبلی' \"x\" ; -- DROP";
  std::u16string body(6000, u'ک');  // longer than an nvarchar parameter holds
  table.FieldByName("Title")->SetAsWideString(title);
  table.FieldByName("Body")->SetAsWideString(body);
  table.FieldByName("Code")->SetAsString("\xD3\xE1\xC7\xE3");  // "سلام" in code page 1256
  table.FieldByName("Flag")->SetAsString("0");
  table.FieldByName("Small")->SetAsString("0");
  table.FieldByName("Big")->SetAsInteger(-2147483647 - 1);
  table.Post();
  table.Close();
  table.Open();
  EXPECT_EQ(table.FieldByName("Title")->AsWideString(), title);
  EXPECT_EQ(table.FieldByName("Body")->AsWideString(), body);
  EXPECT_EQ(table.FieldByName("Code")->AsWideString(), u"سلام");
  EXPECT_EQ(table.FieldByName("Code")->AsString(), "\xD3\xE1\xC7\xE3");
  EXPECT_FALSE(table.FieldByName("Flag")->IsNull());
  EXPECT_FALSE(table.FieldByName("Flag")->AsBoolean());
  EXPECT_EQ(table.FieldByName("Small")->AsInteger(), 0);
  EXPECT_EQ(table.FieldByName("Big")->AsInteger(), -2147483647 - 1);
}

// A row deleted behind the table's back: the update finds nothing, and that
// is an error rather than a silent loss of the edit.
TEST_F(AdoTable, UpdateOfAVanishedRowIsAnErrorAndTheEditStays) {
  AttachSamples();
  AddUpgradeColumns();
  Run(kClientConnection, u"INSERT INTO Primery (Modem) VALUES (1)");
  auto table = PrimeryTable();
  table->Open();
  Run(kClientConnection, u"DELETE FROM Primery");
  table->Edit();
  table->FieldByName("Mac")->SetAsString("0");
  EXPECT_THROW(table->Post(), EDatabaseError);
  EXPECT_EQ(table->State(), dsEdit);
  EXPECT_EQ(table->FieldByName("Mac")->AsString(), "0");
}

TEST_F(AdoTable, PostOnAStoppedServerRaisesAndKeepsTheEdit) {
  AttachSamples();
  AddUpgradeColumns();
  auto table = PrimeryTable();
  table->Open();
  table->Edit();
  table->FieldByName("Caller2")->SetAsString("0");
  standIn_->Stop();
  EXPECT_THROW(table->Post(), EADOError);
  EXPECT_EQ(table->State(), dsInsert);
  EXPECT_EQ(table->FieldByName("Caller2")->AsInteger(), 0);
  EXPECT_FALSE(table->FieldByName("Caller2")->IsNull());
}

TEST_F(AdoTable, MissingDatabaseLeavesTheTableClosedAndEditFails) {
  auto table = PrimeryTable();
  EXPECT_THROW(table->Open(), EADOError);
  EXPECT_FALSE(table->Active());
  EXPECT_THROW(table->Edit(), EDatabaseError);
  EXPECT_THROW(table->FieldByName("Mac")->IsNull(), EDatabaseError);
}

// The kind conversions the settings transfer relies on, and the refusals
// that keep a bad value out.
TEST_F(AdoTable, FieldsConvertTextToTheirKind) {
  AttachSamples();
  AddUpgradeColumns();
  auto table = PrimeryTable();
  table->Open();
  EXPECT_THROW(table->FieldByName("Mac")->SetAsString("0"), EDatabaseError) << "not editing";
  table->Edit();
  for (const char* name : {"Caller2", "Saghfjami", "AutoBKP", "Mac", "ColPri", "DeviseSMS"}) {
    SCOPED_TRACE(name);
    TField* field = table->FieldByName(name);
    field->SetAsString("0");
    EXPECT_FALSE(field->IsNull());
    EXPECT_EQ(field->AsString(), field->DataType() == ftBoolean ? "False" : "0");
    EXPECT_EQ(field->AsInteger(), 0);
    field->SetAsString("");
    EXPECT_EQ(field->IsNull(),
              field->DataType() != ftString && field->DataType() != ftWideString && field->DataType() != ftMemo);
  }
  EXPECT_THROW(table->FieldByName("Caller2")->SetAsString("zero"), EConvertError);
  EXPECT_THROW(table->FieldByName("Caller2")->SetAsInteger(70000), EDatabaseError);
  EXPECT_THROW(table->FieldByName("AutoBKP")->SetAsString("maybe"), EDatabaseError);
  EXPECT_THROW(table->FieldByName("id")->SetAsInteger(5), EDatabaseError) << "identity is read-only";
  table->FieldByName("AutoBKP")->SetAsString("t");
  EXPECT_TRUE(table->FieldByName("AutoBKP")->AsBoolean());
  EXPECT_THROW(table->FieldByName("NoSuchField"), EDatabaseError);
  EXPECT_EQ(table->FieldByName("caller2"), table->FieldByName("Caller2")) << "lookup ignores case";
  table->Cancel();
  EXPECT_EQ(table->State(), dsBrowse);
  EXPECT_EQ(table->RecordCount(), 0);
}

// Fields map to columns by position while the table is open: a field
// removed then would shift the others onto the wrong columns.
TEST_F(AdoTable, FieldsChangeOnlyWhileTheTableIsClosed) {
  AttachSamples();
  AddUpgradeColumns();
  Run(kClientConnection, u"INSERT INTO Primery (Modem, Mac) VALUES (4, N'm')");
  auto table = PrimeryTable();
  table->Open();
  TField* mac = table->FieldByName("Mac");
  TADOTable other(nullptr);
  EXPECT_THROW(mac->SetDataSet(&other), EDatabaseError);
  EXPECT_EQ(mac->DataSet(), table.get()) << "a refused move leaves the field in place";
  EXPECT_EQ(other.FieldCount(), 0);
  delete table->FieldByName("Modem");
  EXPECT_FALSE(table->Active());
  table->Open();
  EXPECT_EQ(table->FieldByName("Mac")->AsString(), "m");
  EXPECT_EQ(table->FieldCount(), 183);
}

}  // namespace
}  // namespace qorv::test
