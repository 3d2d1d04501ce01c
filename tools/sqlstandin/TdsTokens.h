#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace sqlstandin {

// SQL Server column types the stand-in reports.
enum class SqlType { TinyInt, Int, BigInt, Bit, Float, NVarChar, VarChar, Text, NText };

struct Column {
  std::string name;
  SqlType type = SqlType::Int;
  uint32_t maxChars = 0;  // nvarchar/varchar only
  bool identity = false;
};

using Value = std::variant<std::monostate, int64_t, double, std::string>;

struct Message {
  int32_t number = 0;
  uint8_t state = 1;
  uint8_t severity = 16;
  std::string text;
};

enum DoneStatus : uint16_t { kDoneFinal = 0x00, kDoneMore = 0x01, kDoneError = 0x02, kDoneCount = 0x10 };

// Builds the token stream of one reply; text goes out as UTF-16LE.
class TokenWriter {
 public:
  void loginAck();
  void envDatabase(const std::string& newName, const std::string& oldName);
  void envPacketSize(uint32_t size);
  void envCollation();
  void envLanguage();
  void info(const Message& message);
  void error(const Message& message);
  void columns(const std::vector<Column>& columns);
  void row(const std::vector<Column>& columns, const std::vector<Value>& values);
  void done(uint16_t status, uint64_t rows, bool inProc = false);
  // The end of a procedure call: its return status, then DONEPROC.
  void returnStatus(int32_t status);
  void doneProc(uint16_t status, uint64_t rows);
  // An output parameter's value (an int) after a procedure's return status.
  void returnValue(uint16_t ordinal, const std::string& name, int32_t value);

  void append(const TokenWriter& other) { bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end()); }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  void u8(uint8_t v) { bytes_.push_back(v); }
  void le16(uint16_t v);
  void le32(uint32_t v);
  void le64(uint64_t v);
  void bVarChar(const std::string& text);
  void usVarChar(const std::string& text);
  void collation();
  void message(uint8_t token, const Message& message);
  void envChange(uint8_t type, const std::string& newValue, const std::string& oldValue);
  void value(const Column& column, const Value& value);
  void patch16(size_t at, size_t value);

  std::vector<uint8_t> bytes_;
};

constexpr const char* kServerName = "QORVSQL";

}  // namespace sqlstandin
