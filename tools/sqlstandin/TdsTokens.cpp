#include "TdsTokens.h"

#include <cstring>

#include "CodePage1256.h"
#include "Utf16.h"

namespace sqlstandin {

namespace {

enum Token : uint8_t {
  kColMetadata = 0x81,
  kError = 0xAA,
  kInfo = 0xAB,
  kLoginAck = 0xAD,
  kRow = 0xD1,
  kEnvChange = 0xE3,
  kDone = 0xFD,
  kDoneInProc = 0xFF,
  kDoneProc = 0xFE,
  kReturnStatus = 0x79,
  kReturnValue = 0xAC,
};

// Arabic_CI_AS: case-insensitive, as a default installation, with the
// eight-bit text of varchar and text columns in code page 1256, as the
// installer's Persian server keeps it.
constexpr uint8_t kCollation[5] = {0x01, 0x04, 0xD0, 0x00, 0x00};

std::string int64Text(int64_t v) { return std::to_string(v); }

std::string valueText(const Value& value) {
  if (auto* i = std::get_if<int64_t>(&value)) {
    return int64Text(*i);
  }
  if (auto* d = std::get_if<double>(&value)) {
    return std::to_string(*d);
  }
  if (auto* s = std::get_if<std::string>(&value)) {
    return *s;
  }
  return {};
}

}  // namespace

void TokenWriter::le16(uint16_t v) {
  u8(static_cast<uint8_t>(v));
  u8(static_cast<uint8_t>(v >> 8));
}

void TokenWriter::le32(uint32_t v) {
  le16(static_cast<uint16_t>(v));
  le16(static_cast<uint16_t>(v >> 16));
}

void TokenWriter::le64(uint64_t v) {
  le32(static_cast<uint32_t>(v));
  le32(static_cast<uint32_t>(v >> 32));
}

void TokenWriter::patch16(size_t at, size_t value) {
  bytes_[at] = static_cast<uint8_t>(value);
  bytes_[at + 1] = static_cast<uint8_t>(value >> 8);
}

void TokenWriter::bVarChar(const std::string& text) {
  std::u16string wide = utf8ToUtf16(text);
  if (wide.size() > 255) {
    wide.resize(255);
  }
  u8(static_cast<uint8_t>(wide.size()));
  for (char16_t c : wide) {
    le16(c);
  }
}

void TokenWriter::usVarChar(const std::string& text) {
  std::u16string wide = utf8ToUtf16(text);
  if (wide.size() > 0xFFFF) {
    wide.resize(0xFFFF);
  }
  le16(static_cast<uint16_t>(wide.size()));
  for (char16_t c : wide) {
    le16(c);
  }
}

void TokenWriter::collation() { bytes_.insert(bytes_.end(), kCollation, kCollation + 5); }

void TokenWriter::loginAck() {
  u8(kLoginAck);
  size_t lengthAt = bytes_.size();
  le16(0);
  u8(1);  // SQL interface
  bytes_.insert(bytes_.end(), {0x74, 0x00, 0x00, 0x04});
  bVarChar("Microsoft SQL Server");
  bytes_.insert(bytes_.end(), {16, 0, 0x10, 0x7F});
  patch16(lengthAt, bytes_.size() - lengthAt - 2);
}

void TokenWriter::envChange(uint8_t type, const std::string& newValue, const std::string& oldValue) {
  u8(kEnvChange);
  size_t lengthAt = bytes_.size();
  le16(0);
  u8(type);
  bVarChar(newValue);
  bVarChar(oldValue);
  patch16(lengthAt, bytes_.size() - lengthAt - 2);
}

void TokenWriter::envDatabase(const std::string& newName, const std::string& oldName) {
  envChange(1, newName, oldName);
}

void TokenWriter::envLanguage() { envChange(2, "us_english", ""); }

void TokenWriter::envPacketSize(uint32_t size) { envChange(4, std::to_string(size), "4096"); }

void TokenWriter::envCollation() {
  u8(kEnvChange);
  le16(1 + 1 + 5 + 1);
  u8(7);
  u8(5);
  collation();
  u8(0);
}

void TokenWriter::message(uint8_t token, const Message& m) {
  u8(token);
  size_t lengthAt = bytes_.size();
  le16(0);
  le32(static_cast<uint32_t>(m.number));
  u8(m.state);
  u8(m.severity);
  usVarChar(m.text);
  bVarChar(kServerName);
  bVarChar("");
  le32(1);
  patch16(lengthAt, bytes_.size() - lengthAt - 2);
}

void TokenWriter::info(const Message& m) { message(kInfo, m); }

void TokenWriter::error(const Message& m) { message(kError, m); }

void TokenWriter::columns(const std::vector<Column>& columns) {
  u8(kColMetadata);
  le16(static_cast<uint16_t>(columns.size()));
  for (const Column& c : columns) {
    le32(0);
    uint16_t flags = c.identity ? 0x0010 : 0x0009;  // identity, or nullable and updatable
    le16(flags);
    switch (c.type) {
      case SqlType::TinyInt:
      case SqlType::Int:
      case SqlType::BigInt:
        u8(0x26);  // INTN
        u8(c.type == SqlType::TinyInt ? 1 : c.type == SqlType::Int ? 4 : 8);
        break;
      case SqlType::Bit:
        u8(0x68);  // BITN
        u8(1);
        break;
      case SqlType::Float:
        u8(0x6D);  // FLTN
        u8(8);
        break;
      case SqlType::NVarChar:
        u8(0xE7);
        le16(static_cast<uint16_t>(c.maxChars * 2));
        collation();
        break;
      case SqlType::VarChar:
        u8(0xA7);
        le16(static_cast<uint16_t>(c.maxChars));
        collation();
        break;
      case SqlType::Text:
      case SqlType::NText:
        u8(c.type == SqlType::Text ? 0x23 : 0x63);
        le32(c.type == SqlType::Text ? 0x7FFFFFFF : 0x7FFFFFFE);
        collation();
        u8(1);
        usVarChar("t");
        break;
    }
    bVarChar(c.name);
  }
}

void TokenWriter::value(const Column& c, const Value& v) {
  bool null = std::holds_alternative<std::monostate>(v);
  switch (c.type) {
    case SqlType::TinyInt:
    case SqlType::Int:
    case SqlType::BigInt:
    case SqlType::Bit: {
      if (null) {
        u8(0);
        return;
      }
      int64_t n = 0;
      if (auto* i = std::get_if<int64_t>(&v)) {
        n = *i;
      } else if (auto* d = std::get_if<double>(&v)) {
        n = static_cast<int64_t>(*d);
      } else {
        n = std::strtoll(std::get<std::string>(v).c_str(), nullptr, 10);
      }
      if (c.type == SqlType::TinyInt || c.type == SqlType::Bit) {
        u8(1);
        u8(static_cast<uint8_t>(c.type == SqlType::Bit ? n != 0 : n));
      } else if (c.type == SqlType::Int) {
        u8(4);
        le32(static_cast<uint32_t>(n));
      } else {
        u8(8);
        le64(static_cast<uint64_t>(n));
      }
      return;
    }
    case SqlType::Float: {
      if (null) {
        u8(0);
        return;
      }
      double d = std::holds_alternative<double>(v) ? std::get<double>(v) : std::strtod(valueText(v).c_str(), nullptr);
      uint64_t raw = 0;
      std::memcpy(&raw, &d, sizeof raw);
      u8(8);
      le64(raw);
      return;
    }
    case SqlType::NVarChar:
    case SqlType::VarChar: {
      if (null) {
        le16(0xFFFF);
        return;
      }
      std::string text = valueText(v);
      if (c.type == SqlType::VarChar) {
        text = utf8ToCp1256(text);
        size_t n = std::min<size_t>(text.size(), c.maxChars);
        le16(static_cast<uint16_t>(n));
        bytes_.insert(bytes_.end(), text.begin(), text.begin() + static_cast<long>(n));
      } else {
        std::u16string wide = utf8ToUtf16(text);
        if (wide.size() > c.maxChars) {
          wide.resize(c.maxChars);
        }
        le16(static_cast<uint16_t>(wide.size() * 2));
        for (char16_t ch : wide) {
          le16(ch);
        }
      }
      return;
    }
    case SqlType::Text:
    case SqlType::NText: {
      if (null) {
        u8(0);
        return;
      }
      u8(16);
      bytes_.insert(bytes_.end(), 16, 0);  // text pointer
      bytes_.insert(bytes_.end(), 8, 0);   // timestamp
      std::string text = valueText(v);
      if (c.type == SqlType::Text) {
        text = utf8ToCp1256(text);
        le32(static_cast<uint32_t>(text.size()));
        bytes_.insert(bytes_.end(), text.begin(), text.end());
      } else {
        std::u16string wide = utf8ToUtf16(text);
        le32(static_cast<uint32_t>(wide.size() * 2));
        for (char16_t ch : wide) {
          le16(ch);
        }
      }
      return;
    }
  }
}

void TokenWriter::row(const std::vector<Column>& columns, const std::vector<Value>& values) {
  u8(kRow);
  for (size_t i = 0; i < columns.size(); ++i) {
    value(columns[i], i < values.size() ? values[i] : Value{});
  }
}

void TokenWriter::returnStatus(int32_t status) {
  u8(kReturnStatus);
  le32(static_cast<uint32_t>(status));
}

void TokenWriter::returnValue(uint16_t ordinal, const std::string& name, int32_t value) {
  u8(kReturnValue);
  le16(ordinal);
  bVarChar(name);
  u8(0x01);  // an output parameter
  le32(0);   // user type
  le16(0);   // flags
  u8(0x26);  // INTN of 4 bytes, then the value's length and bytes
  u8(4);
  u8(4);
  le32(static_cast<uint32_t>(value));
}

void TokenWriter::doneProc(uint16_t status, uint64_t rows) {
  u8(kDoneProc);
  le16(status);
  le16(0xE0);  // EXECUTE
  le64(rows);
}

void TokenWriter::done(uint16_t status, uint64_t rows, bool inProc) {
  u8(inProc ? kDoneInProc : kDone);
  le16(status);
  le16(0xC1);  // SELECT; clients read the count, not the command
  le64(rows);
}

}  // namespace sqlstandin
