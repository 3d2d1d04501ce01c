// Data access to an SQL Server: an SQL command (TADOCommand) and a table with
// persistent fields (TADOTable), both usable from form descriptions.
//
// Every component carries its own ADO connection string ("Provider=SQLOLEDB.1;
// Integrated Security=SSPI;...;Initial Catalog=master") and opens its own
// connection for each Execute or Open. The string does not name a server: the
// local default instance is the one configured in the system root (see
// sqlsession.h); "Initial Catalog" picks the database.
//
// Statements travel as UTF-16 text. Values are always sent as parameters,
// never pasted into statement text.
//
// Failures:
// - EADOError: the server or the driver refused (a statement, a log-in, a
//   connection); the message is the server's or the driver's own text.
// - EDatabaseError: misuse on our side (a closed table, a field not found, a
//   persistent field that does not match its column, a value a field cannot
//   take); the message names the field or the component.
// - EConvertError (Exceptions.h): a text that is not a number for a number
//   field.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "Classes.h"
#include "Exceptions.h"

using WideString = std::u16string;

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// A refusal from the server or the driver. NativeError is the server's error
// number (0 for driver failures such as a refused connection); SqlState the
// five-character ODBC state.
class EADOError : public EDatabaseError {
 public:
  EADOError(std::string message, int nativeError, std::string sqlState);
  int NativeError() const noexcept { return nativeError_; }
  const std::string& SqlState() const noexcept { return sqlState_; }

 private:
  int nativeError_;
  std::string sqlState_;
};

// Wraps the text in single quotes and doubles every single quote inside it,
// the way SQL Server reads a string literal.
std::string QuotedStr(const std::string& text);
WideString QuotedStr(const WideString& text);

// The kinds of persistent field and the SQL Server column types they match.
enum TFieldType {
  ftUnknown,
  ftString,      // varchar / char: 8-bit text in the ANSI code page
  ftWord,        // tinyint, as an unsigned number
  ftInteger,     // int
  ftBoolean,     // bit
  ftMemo,        // text / ntext
  ftWideString,  // nvarchar / nchar
  ftAutoInc,     // an identity int, read-only
};

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// Every cursor type reads the whole result at Open and moves over the rows
// held in memory, as a static cursor does; the value is kept as stored.
enum TCursorType { ctUnspecified, ctOpenForwardOnly, ctKeyset, ctDynamic, ctStatic };

class TDataSet;
// The rows a data set holds and its current row's edit buffer; kept out of
// this header.
struct TDataSetRows;

// One persistent field: a column of the data set's current row, by name and
// kind. Reading a Null gives 0, false or an empty text; IsNull tells them
// apart. Writing needs the data set in dsEdit or dsInsert.
class TField : public TComponent {
 public:
  ~TField() override;

  const std::string& FieldName() const { return fieldName_; }
  void SetFieldName(std::string name) { fieldName_ = std::move(name); }
  TFieldType DataType() const { return dataType_; }
  // Characters for string kinds (the column's declared size is not checked
  // against it); 0 for the others.
  int Size() const { return size_; }
  void SetSize(int size) { size_ = size; }
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

  // Attaches the field to a data set (which must be closed); nullptr detaches.
  TDataSet* DataSet() const { return dataSet_; }
  void SetDataSet(TDataSet* dataSet);
  // Position among the data set's fields.
  int Index() const;

  bool IsNull() const;
  // Makes the value Null.
  void Clear();

  // Text in the ANSI code page. Into a number field the text must be a
  // whole number ("0"; EConvertError otherwise), into a Boolean field
  // "0"/"1" or a leading part of "True"/"False" in any case; into either an
  // empty text makes the value Null. A word field takes 0 to 65535.
  std::string AsString() const;
  void SetAsString(const std::string& value);
  WideString AsWideString() const;
  void SetAsWideString(const WideString& value);
  int AsInteger() const;
  void SetAsInteger(int value);
  bool AsBoolean() const;
  void SetAsBoolean(bool value);

  // A field read inside a data set's description belongs to that data set.
  void SetParentComponent(TComponent* parent) override;

 protected:
  TField(TComponent* owner, TFieldType dataType, int defaultSize);

 private:
  friend class TDataSet;
  const std::variant<std::monostate, std::int64_t, bool, std::u16string>& Value() const;
  void SetValue(std::variant<std::monostate, std::int64_t, bool, std::u16string> value);
  std::string fieldName_;
  TFieldType dataType_;
  int size_;
  bool readOnly_ = false;
  TDataSet* dataSet_ = nullptr;
};

class TStringField : public TField {
 public:
  explicit TStringField(TComponent* owner) : TField(owner, ftString, 20) {}
};
class TWideStringField : public TField {
 public:
  explicit TWideStringField(TComponent* owner) : TField(owner, ftWideString, 20) {}
};
class TMemoField : public TField {
 public:
  explicit TMemoField(TComponent* owner) : TField(owner, ftMemo, 0) {}
};
class TWordField : public TField {
 public:
  explicit TWordField(TComponent* owner) : TField(owner, ftWord, 0) {}
};
class TIntegerField : public TField {
 public:
  explicit TIntegerField(TComponent* owner) : TField(owner, ftInteger, 0) {}
};
class TAutoIncField : public TField {
 public:
  explicit TAutoIncField(TComponent* owner) : TField(owner, ftAutoInc, 0) { SetReadOnly(true); }
};
class TBooleanField : public TField {
 public:
  explicit TBooleanField(TComponent* owner) : TField(owner, ftBoolean, 0) {}
};

// Rows and a current row, with the edit/post cycle. Open reads every row.
class TDataSet : public TComponent {
 public:
  explicit TDataSet(TComponent* owner);
  ~TDataSet() override;

  bool Active() const { return state_ != dsInactive; }
  // Opens or closes; a description's "Active = True" opens after loading.
  void SetActive(bool active);
  void Open() { SetActive(true); }
  // Drops an unposted edit.
  void Close() { SetActive(false); }
  TDataSetState State() const { return state_; }

  int FieldCount() const { return static_cast<int>(fields_.size()); }
  TField* Fields(int index) const;
  // The persistent field of that name (case-insensitive, as the original
  // matched names); FieldByName raises EDatabaseError "<table>: Field 'X' not
  // found" when none, FindField gives nullptr.
  TField* FieldByName(const std::string& name) const;
  TField* FindField(const std::string& name) const;

  int RecordCount() const;
  bool Eof() const;
  bool Bof() const;
  void First();
  void Next();
  // Starts editing the current row; on a table without rows, a new row.
  void Edit();
  // Starts a new, all-Null row after the last.
  void Append();
  // Writes the changed fields of the row (or inserts the new row); on failure
  // the data set stays in its editing state with the values as they were.
  void Post();
  void Cancel();

 protected:
  // Reads every row and the columns' descriptions; raises on failure.
  virtual void OpenCursor(TDataSetRows& rows) = 0;
  // Writes the current row of rows: an insert of the new row, or an update
  // of the changed fields keyed by the row's values as they were read.
  virtual void WriteRow(TDataSetRows& rows) = 0;
  // The name used in messages: the component's name, else its class's.
  virtual std::string DisplayName() const;
  void Loaded() override;
  void CheckActive() const;
  void CheckInactive() const;

 private:
  friend class TField;
  void AddField(TField* field);
  void RemoveField(TField* field);

  std::vector<TField*> fields_;
  std::unique_ptr<TDataSetRows> rows_;
  TDataSetState state_ = dsInactive;
  bool openWhenLoaded_ = false;
};

// A table of the database read whole ("SELECT * FROM [TableName]"). Opening
// checks each persistent field against the result's columns (exact name,
// matching kind) and names the first that does not match. Post updates the
// row by its identity column, or inserts a new row; identity columns are never
// written.
class TADOTable : public TDataSet {
 public:
  explicit TADOTable(TComponent* owner);
  ~TADOTable() override;

  const std::string& ConnectionString() const { return connectionString_; }
  void SetConnectionString(std::string value);
  const std::string& TableName() const { return tableName_; }
  void SetTableName(std::string value);
  TCursorType CursorType() const { return cursorType_; }
  void SetCursorType(TCursorType value) { cursorType_ = value; }

 protected:
  void OpenCursor(TDataSetRows& rows) override;
  void WriteRow(TDataSetRows& rows) override;
  std::string DisplayName() const override;

 private:
  std::u16string TableReference() const;
  std::string connectionString_;
  std::string tableName_;
  TCursorType cursorType_ = ctUnspecified;
};

// One statement (or a batch of several) run on its own connection.
class TADOCommand : public TComponent {
 public:
  explicit TADOCommand(TComponent* owner);
  ~TADOCommand() override;

  const std::string& ConnectionString() const { return connectionString_; }
  void SetConnectionString(std::string value) { connectionString_ = std::move(value); }
  const WideString& CommandText() const { return commandText_; }
  void SetCommandText(WideString value) { commandText_ = std::move(value); }
  // Seconds the statement may run; 0 waits as long as it takes (the default,
  // as nothing in the installer sets one).
  int CommandTimeout() const { return commandTimeout_; }
  void SetCommandTimeout(int seconds) { commandTimeout_ = seconds; }

  // Connects, runs the text as one batch and reads every result of it. The
  // first error the server reports in the batch is raised as EADOError; what
  // ran before it stays done.
  void Execute();

 private:
  std::string connectionString_;
  WideString commandText_;
  int commandTimeout_ = 0;
};

// Makes TADOCommand, TADOTable and the field classes known to form
// descriptions (ConnectionString, CommandText, TableName, CursorType, Active;
// fields nested in their table with FieldName, Size, ReadOnly). Safe to call
// more than once.
void RegisterDataAccessClasses();
