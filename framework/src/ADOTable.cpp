// A table read whole, its persistent fields checked against the columns,
// rows written back with parameters by the identity column.
#include <sqlsession.h>

#include "ADODB.h"
#include "DataSetRows.h"

using qorv::platform::SqlColumn;
using qorv::platform::SqlColumnKind;

namespace {

const char* FieldTypeName(TFieldType type) {
  switch (type) {
    case ftUnknown: return "Unknown";
    case ftString: return "String";
    case ftWord: return "Word";
    case ftInteger: return "Integer";
    case ftBoolean: return "Boolean";
    case ftMemo: return "Memo";
    case ftWideString: return "WideString";
    case ftAutoInc: return "AutoInc";
  }
  return "Unknown";
}

// The field kind a column reads as.
const char* ColumnTypeName(const SqlColumn& column) {
  switch (column.Kind) {
    case SqlColumnKind::TinyInt: return "Word";
    case SqlColumnKind::SmallInt: return "Smallint";
    case SqlColumnKind::Int: return column.Identity ? "AutoInc" : "Integer";
    case SqlColumnKind::BigInt: return "Largeint";
    case SqlColumnKind::Bit: return "Boolean";
    case SqlColumnKind::VarChar: return "String";
    case SqlColumnKind::NVarChar: return "WideString";
    case SqlColumnKind::Text:
    case SqlColumnKind::NText: return "Memo";
    case SqlColumnKind::Other: return "Unknown";
  }
  return "Unknown";
}

bool Matches(TFieldType type, const SqlColumn& column) {
  switch (type) {
    case ftWord: return column.Kind == SqlColumnKind::TinyInt;
    case ftInteger: return column.Kind == SqlColumnKind::Int && !column.Identity;
    case ftAutoInc: return column.Kind == SqlColumnKind::Int && column.Identity;
    case ftBoolean: return column.Kind == SqlColumnKind::Bit;
    case ftString: return column.Kind == SqlColumnKind::VarChar;
    case ftWideString: return column.Kind == SqlColumnKind::NVarChar;
    case ftMemo: return column.Kind == SqlColumnKind::Text || column.Kind == SqlColumnKind::NText;
    case ftUnknown: return false;
  }
  return false;
}

// A name as SQL Server reads it between brackets (']' doubled).
std::u16string Bracketed(const std::string& name) {
  std::u16string out = u"[";
  for (char16_t c : AnsiToWide(name)) {
    out += c;
    if (c == u']') out += u']';
  }
  return out + u"]";
}

// A column name as the driver gave it (UTF-8), bracketed.
std::u16string BracketedColumn(const std::string& utf8) {
  std::u16string out = u"[";
  for (char16_t c : Utf8ToWide(utf8)) {
    out += c;
    if (c == u']') out += u']';
  }
  return out + u"]";
}

[[noreturn]] void RaiseAdo(const qorv::platform::SqlError& e) {
  throw EADOError(e.what(), e.NativeError(), e.SqlState());
}

// Text and long-text columns cannot be compared in SQL Server's WHERE.
bool Comparable(const SqlColumn& column) {
  return column.Kind != SqlColumnKind::Text && column.Kind != SqlColumnKind::NText &&
         column.Kind != SqlColumnKind::Other;
}

}  // namespace

TADOTable::TADOTable(TComponent* owner) : TDataSet(owner) {}

TADOTable::~TADOTable() = default;

void TADOTable::SetConnectionString(std::string value) {
  if (Active()) throw EDatabaseError(DisplayName() + ": Operation not allowed when the object is open");
  connectionString_ = std::move(value);
}

void TADOTable::SetTableName(std::string value) {
  if (Active()) throw EDatabaseError(DisplayName() + ": Cannot perform this operation on an open dataset");
  tableName_ = std::move(value);
}

// A plain name goes between brackets; one the user qualified or bracketed
// ("dbo.Primery", "[Primery]") is taken as written.
std::u16string TADOTable::TableReference() const {
  if (tableName_.find_first_of(".[") != std::string::npos) return AnsiToWide(tableName_);
  return Bracketed(tableName_);
}

std::string TADOTable::DisplayName() const { return Name().empty() ? std::string("TADOTable") : Name(); }

void TADOTable::OpenCursor(TDataSetRows& rows) {
  if (tableName_.empty()) throw EDatabaseError(DisplayName() + ": Missing TableName property");
  qorv::platform::SqlResultSet result;
  try {
    qorv::platform::SqlSession session(connectionString_);
    result = session.Execute(u"SELECT * FROM " + TableReference());
  } catch (const qorv::platform::SqlError& e) {
    RaiseAdo(e);
  }
  rows.Columns = std::move(result.Columns);
  rows.Rows = std::move(result.Rows);
  rows.Current = 0;
  for (int i = 0; i < FieldCount(); ++i) {
    const TField* field = Fields(i);
    std::string name = WideToUtf8(AnsiToWide(field->FieldName()));
    std::size_t column = 0;
    while (column < rows.Columns.size() && rows.Columns[column].Name != name) ++column;
    if (column == rows.Columns.size()) {
      throw EDatabaseError(DisplayName() + ": Field '" + field->FieldName() + "' not found");
    }
    if (!Matches(field->DataType(), rows.Columns[column])) {
      throw EDatabaseError(DisplayName() + ": Type mismatch for field '" + field->FieldName() + "', expecting: " +
                           FieldTypeName(field->DataType()) + " actual: " + ColumnTypeName(rows.Columns[column]));
    }
    rows.FieldColumn.push_back(column);
  }
}

void TADOTable::WriteRow(TDataSetRows& rows) {
  std::u16string sql;
  std::vector<qorv::platform::SqlValue> parameters;
  std::u16string table = TableReference();
  if (rows.Inserting) {
    std::u16string names, marks;
    for (std::size_t c = 0; c < rows.Columns.size(); ++c) {
      if (!rows.Changed[c] || rows.Columns[c].Identity) continue;
      names += (names.empty() ? u"" : u", ") + BracketedColumn(rows.Columns[c].Name);
      marks += marks.empty() ? u"?" : u", ?";
      parameters.push_back(rows.Buffer[c]);
    }
    sql = names.empty() ? u"INSERT INTO " + table + u" DEFAULT VALUES"
                        : u"INSERT INTO " + table + u" (" + names + u") VALUES (" + marks + u")";
  } else {
    std::u16string assignments;
    for (std::size_t c = 0; c < rows.Columns.size(); ++c) {
      if (!rows.Changed[c] || rows.Columns[c].Identity) continue;
      assignments += (assignments.empty() ? u"" : u", ") + BracketedColumn(rows.Columns[c].Name) + u" = ?";
      parameters.push_back(rows.Buffer[c]);
    }
    if (assignments.empty()) return;
    // The row is found by its identity column; without one, by every
    // comparable value it had when read.
    const std::vector<TFieldValue>& original = rows.Rows[rows.Current];
    std::u16string where;
    bool hasIdentity = false;
    for (std::size_t c = 0; c < rows.Columns.size(); ++c) hasIdentity = hasIdentity || rows.Columns[c].Identity;
    for (std::size_t c = 0; c < rows.Columns.size(); ++c) {
      const SqlColumn& column = rows.Columns[c];
      if (hasIdentity ? !column.Identity : !Comparable(column)) continue;
      where += where.empty() ? u"" : u" AND ";
      if (std::holds_alternative<std::monostate>(original[c])) {
        if (hasIdentity) {
          throw EDatabaseError(DisplayName() +
                               ": Row cannot be located for updating. Some values may have been changed since it "
                               "was last read");
        }
        where += BracketedColumn(column.Name) + u" IS NULL";
      } else {
        where += BracketedColumn(column.Name) + u" = ?";
        parameters.push_back(original[c]);
      }
    }
    sql = u"UPDATE " + table + u" SET " + assignments + (where.empty() ? u"" : u" WHERE " + where);
  }
  qorv::platform::SqlResultSet result;
  try {
    qorv::platform::SqlSession session(connectionString_);
    result = session.Execute(sql, parameters);
  } catch (const qorv::platform::SqlError& e) {
    RaiseAdo(e);
  }
  if (result.RowsAffected == 0) {
    throw EDatabaseError(DisplayName() + (rows.Inserting ? ": The row was not inserted"
                                                         : ": Row cannot be located for updating. Some values may "
                                                           "have been changed since it was last read"));
  }
}
