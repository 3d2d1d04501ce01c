#include "TdsRpc.h"

#include <cstring>

#include "CodePage1256.h"
#include "Utf16.h"

namespace sqlstandin {

namespace {

// Type bytes of the parameter data types the drivers send.
enum : uint8_t {
  kInt1 = 0x30,
  kBit = 0x32,
  kInt2 = 0x34,
  kInt4 = 0x38,
  kFloat8 = 0x3E,
  kInt8 = 0x7F,
  kIntN = 0x26,
  kBitN = 0x68,
  kFloatN = 0x6D,
  kText = 0x23,
  kNText = 0x63,
  kBigVarChar = 0xA7,
  kBigChar = 0xAF,
  kNVarChar = 0xE7,
  kNChar = 0xEF,
};

// Reads forward through the message; every read checks the bytes are there
// and, once one fails, so do all after it.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& bytes) : p_(bytes) {}
  bool ok() const { return ok_; }
  bool atEnd() const { return at_ >= p_.size(); }
  size_t left() const { return ok_ ? p_.size() - at_ : 0; }

  bool has(size_t n) {
    if (!ok_ || n > p_.size() - at_) ok_ = false;
    return ok_;
  }
  uint8_t u8() { return has(1) ? p_[at_++] : 0; }
  uint16_t le16() {
    if (!has(2)) return 0;
    uint16_t v = static_cast<uint16_t>(p_[at_] | (p_[at_ + 1] << 8));
    at_ += 2;
    return v;
  }
  uint32_t le32() {
    if (!has(4)) return 0;
    uint32_t v = p_[at_] | (p_[at_ + 1] << 8) | (p_[at_ + 2] << 16) | (static_cast<uint32_t>(p_[at_ + 3]) << 24);
    at_ += 4;
    return v;
  }
  uint64_t le64() {
    uint64_t low = le32();
    return low | (static_cast<uint64_t>(le32()) << 32);
  }
  int64_t signedOf(size_t n) {
    if (!has(n)) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(p_[at_ + i]) << (8 * i);
    at_ += n;
    // Sign-extend from n bytes.
    if (n < 8 && (v >> (8 * n - 1)) & 1) v |= ~uint64_t{0} << (8 * n);
    return static_cast<int64_t>(v);
  }
  std::vector<uint8_t> bytes(size_t n) {
    if (!has(n)) return {};
    std::vector<uint8_t> out(p_.begin() + static_cast<long>(at_), p_.begin() + static_cast<long>(at_ + n));
    at_ += n;
    return out;
  }
  void skip(size_t n) {
    if (has(n)) at_ += n;
  }
  void fail() { ok_ = false; }

 private:
  const std::vector<uint8_t>& p_;
  size_t at_ = 0;
  bool ok_ = true;
};

std::string textOf(const std::vector<uint8_t>& bytes, bool wide) {
  if (wide) {
    return utf16leToUtf8(bytes.data(), bytes.size() / 2);
  }
  // Eight-bit text arrives in the collation's code page.
  return cp1256ToUtf8(bytes.data(), bytes.size());
}

// Partially length-prefixed data: a total (or "unknown", or Null), then
// chunks until one of length 0.
std::optional<std::vector<uint8_t>> readPlp(Reader& r, bool& null) {
  uint64_t total = r.le64();
  null = total == ~uint64_t{0};
  std::vector<uint8_t> out;
  if (null || !r.ok()) return out;
  for (;;) {
    uint32_t chunk = r.le32();
    if (!r.ok()) return std::nullopt;
    if (chunk == 0) break;
    if (chunk > r.left() || out.size() + chunk > kMaxPlpBytes) return std::nullopt;
    auto piece = r.bytes(chunk);
    out.insert(out.end(), piece.begin(), piece.end());
  }
  return out;
}

bool readValue(Reader& r, RpcParameter& param) {
  uint8_t type = r.u8();
  switch (type) {
    case kInt1:
    case kBit:
    case kInt2:
    case kInt4:
    case kInt8: {
      size_t n = type == kInt1 || type == kBit ? 1 : type == kInt2 ? 2 : type == kInt4 ? 4 : 8;
      int64_t v = type == kInt1 || type == kBit ? r.u8() : r.signedOf(n);
      param.typeName = type == kBit ? "bit" : type == kInt8 ? "bigint" : type == kInt1 ? "tinyint" : "int";
      param.value = type == kBit ? int64_t{v != 0} : v;
      return r.ok();
    }
    case kIntN:
    case kBitN: {
      uint8_t max = r.u8();
      uint8_t len = r.u8();
      if (type == kBitN ? max != 1 : (max != 1 && max != 2 && max != 4 && max != 8)) return false;
      if (len != 0 && len != max) return false;
      param.typeName = type == kBitN ? "bit" : max == 8 ? "bigint" : max == 1 ? "tinyint" : "int";
      if (len == 0) {
        param.value = std::monostate{};
      } else if (len == 1) {
        int64_t v = r.u8();
        param.value = type == kBitN ? int64_t{v != 0} : v;
      } else {
        param.value = r.signedOf(len);
      }
      return r.ok();
    }
    case kFloat8:
    case kFloatN: {
      uint8_t len = 8;
      if (type == kFloatN) {
        uint8_t max = r.u8();
        len = r.u8();
        if ((max != 4 && max != 8) || (len != 0 && len != max)) return false;
      }
      param.typeName = "float";
      if (len == 0) {
        param.value = std::monostate{};
        return r.ok();
      }
      auto raw = r.bytes(len);
      if (!r.ok()) return false;
      if (len == 4) {
        float f = 0;
        std::memcpy(&f, raw.data(), 4);
        param.value = static_cast<double>(f);
      } else {
        double d = 0;
        std::memcpy(&d, raw.data(), 8);
        param.value = d;
      }
      return true;
    }
    case kBigVarChar:
    case kBigChar:
    case kNVarChar:
    case kNChar: {
      bool wide = type == kNVarChar || type == kNChar;
      uint16_t max = r.le16();
      r.skip(5);  // collation
      param.typeName = wide ? "nvarchar" : "varchar";
      if (max == 0xFFFF) {
        bool null = false;
        auto data = readPlp(r, null);
        if (!data || (wide && data->size() % 2 != 0)) return false;
        param.value = null ? Value{} : Value{textOf(*data, wide)};
        return r.ok();
      }
      uint16_t len = r.le16();
      if (len == 0xFFFF) {
        param.value = std::monostate{};
        return r.ok();
      }
      if (len > max || (wide && len % 2 != 0)) return false;
      auto data = r.bytes(len);
      param.value = textOf(data, wide);
      return r.ok();
    }
    case kText:
    case kNText: {
      bool wide = type == kNText;
      r.le32();   // declared size
      r.skip(5);  // collation
      param.typeName = wide ? "ntext" : "text";
      uint32_t len = r.le32();
      if (len == 0xFFFFFFFF) {
        param.value = std::monostate{};
        return r.ok();
      }
      if (len > r.left() || (wide && len % 2 != 0)) return false;
      param.value = textOf(r.bytes(len), wide);
      return r.ok();
    }
    default: return false;
  }
}

}  // namespace

std::optional<RpcRequest> parseRpc(const std::vector<uint8_t>& payload) {
  Reader r(payload);
  // ALL_HEADERS: its total length counts itself.
  uint32_t headers = r.le32();
  if (!r.ok() || headers < 4 || headers > payload.size()) return std::nullopt;
  r.skip(headers - 4);
  RpcRequest request;
  uint16_t nameLength = r.le16();
  if (nameLength == 0xFFFF) {
    request.procedureId = r.le16();
    switch (request.procedureId) {
      case kProcExecuteSql: request.procedure = "sp_executesql"; break;
      case kProcPrepare: request.procedure = "sp_prepare"; break;
      case kProcExecute: request.procedure = "sp_execute"; break;
      case kProcPrepExec: request.procedure = "sp_prepexec"; break;
      case kProcUnprepare: request.procedure = "sp_unprepare"; break;
      default: break;
    }
  } else {
    if (nameLength == 0) return std::nullopt;
    auto name = r.bytes(size_t{nameLength} * 2);
    request.procedure = textOf(name, true);
  }
  r.le16();  // option flags
  while (r.ok() && !r.atEnd()) {
    RpcParameter param;
    uint8_t nameChars = r.u8();
    param.name = textOf(r.bytes(size_t{nameChars} * 2), true);
    r.u8();  // status flags (by reference, default)
    if (!r.ok() || !readValue(r, param)) return std::nullopt;
    request.parameters.push_back(std::move(param));
  }
  if (!r.ok()) return std::nullopt;
  return request;
}

}  // namespace sqlstandin
