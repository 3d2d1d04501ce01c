// The data-access classes as form descriptions name them.
#include <mutex>

#include "ADODB.h"
#include "DataSetRows.h"
#include "FormLoader.h"

namespace {

template <class T>
TComponentClass& Register(const char* name, const char* parent) {
  return RegisterComponentClass(name, parent, [](TComponent* owner) -> TComponent* { return new T(owner); });
}

// A string property kept as wide text: the description's text is Unicode
// already, so it goes over without the ANSI code page in between.
WideString WideText(const TLoadContext& ctx) {
  if (ctx.Property.Value.Kind != TFormValueKind::String) ctx.Text();  // raises the usual error
  return Utf8ToWide(ctx.Property.Value.Text);
}

void Ignore(TComponent&, const TLoadContext&) {}

void RegisterDataSets() {
  TComponentClass& dataSet = RegisterComponentClass("TDataSet", "TComponent", nullptr);
  dataSet.Property<TDataSet>("Active", [](TDataSet& d, const TLoadContext& ctx) { d.SetActive(ctx.Boolean()); });

  TComponentClass& table = Register<TADOTable>("TADOTable", "TDataSet");
  table.Property<TADOTable>("ConnectionString",
                            [](TADOTable& t, const TLoadContext& ctx) { t.SetConnectionString(ctx.Text()); });
  table.Property<TADOTable>("TableName", [](TADOTable& t, const TLoadContext& ctx) { t.SetTableName(ctx.Text()); });
  table.Property<TADOTable>("CursorType", [](TADOTable& t, const TLoadContext& ctx) {
    t.SetCursorType(static_cast<TCursorType>(
        ctx.Enum({"ctUnspecified", "ctOpenForwardOnly", "ctKeyset", "ctDynamic", "ctStatic"})));
  });

  TComponentClass& command = Register<TADOCommand>("TADOCommand", "TComponent");
  command.Property<TADOCommand>("ConnectionString",
                                [](TADOCommand& c, const TLoadContext& ctx) { c.SetConnectionString(ctx.Text()); });
  command.Property<TADOCommand>("CommandText",
                                [](TADOCommand& c, const TLoadContext& ctx) { c.SetCommandText(WideText(ctx)); });
  command.Property<TADOCommand>("CommandTimeout", [](TADOCommand& c, const TLoadContext& ctx) {
    c.SetCommandTimeout(static_cast<int>(ctx.Integer(0, 1000000)));
  });
}

void RegisterFields() {
  TComponentClass& field = RegisterComponentClass("TField", "TComponent", nullptr);
  field.Property<TField>("FieldName", [](TField& f, const TLoadContext& ctx) { f.SetFieldName(ctx.Text()); });
  field.Property<TField>(
      "Size", [](TField& f, const TLoadContext& ctx) { f.SetSize(static_cast<int>(ctx.Integer(0, 1 << 30))); });
  field.Property<TField>("ReadOnly", [](TField& f, const TLoadContext& ctx) { f.SetReadOnly(ctx.Boolean()); });
  // Memo fields name their blob kind; the field class says it already.
  field.Property<TField>("BlobType", Ignore);
  Register<TStringField>("TStringField", "TField");
  Register<TWideStringField>("TWideStringField", "TField");
  Register<TMemoField>("TMemoField", "TField");
  Register<TWordField>("TWordField", "TField");
  Register<TIntegerField>("TIntegerField", "TField");
  Register<TAutoIncField>("TAutoIncField", "TField");
  Register<TBooleanField>("TBooleanField", "TField");
}

}  // namespace

void RegisterDataAccessClasses() {
  static std::once_flag once;
  std::call_once(once, [] {
    // The framework's own classes first, so TComponent's properties are
    // there to inherit.
    FindComponentClass("TComponent");
    RegisterDataSets();
    RegisterFields();
  });
}
