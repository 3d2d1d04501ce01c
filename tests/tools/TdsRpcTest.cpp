// The stand-in's reading of remote procedure calls, the way the driver
// sends statements with parameters: each parameter type the driver uses,
// and every cut or forged length refused rather than read past.
#include <gtest/gtest.h>

#include <sqlsession.h>
#include <sys/wait.h>
#include <systemroot.h>

#include "StandIn.h"
#include "TdsRpc.h"
#include "TestSupport.h"

namespace qorv::test {
namespace {

using sqlstandin::parseRpc;
using sqlstandin::Value;

class RpcBuilder {
 public:
  RpcBuilder() {
    le32(22);  // ALL_HEADERS with one transaction descriptor header
    le32(18);
    le16(2);
    bytes.insert(bytes.end(), 12, 0);
    bytes[8] = 1;  // outstanding requests
  }
  RpcBuilder& ProcedureId(uint16_t id) {
    le16(0xFFFF);
    le16(id);
    le16(0);
    return *this;
  }
  RpcBuilder& Procedure(const std::u16string& name) {
    le16(static_cast<uint16_t>(name.size()));
    for (char16_t c : name) le16(c);
    le16(0);
    return *this;
  }
  RpcBuilder& NVarChar(const std::u16string& value, bool null = false) {
    Name();
    bytes.push_back(0xE7);
    le16(8000);
    bytes.insert(bytes.end(), {0x01, 0x04, 0xD0, 0x00, 0x00});
    le16(null ? 0xFFFF : static_cast<uint16_t>(value.size() * 2));
    for (char16_t c : value) le16(c);
    return *this;
  }
  RpcBuilder& NVarCharMax(const std::u16string& value) {
    Name();
    bytes.push_back(0xE7);
    le16(0xFFFF);
    bytes.insert(bytes.end(), {0x01, 0x04, 0xD0, 0x00, 0x00});
    uint64_t total = value.size() * 2;
    le32(static_cast<uint32_t>(total));
    le32(0);
    // Two chunks, then the terminator.
    size_t half = value.size() / 2;
    le32(static_cast<uint32_t>(half * 2));
    for (size_t i = 0; i < half; ++i) le16(value[i]);
    le32(static_cast<uint32_t>((value.size() - half) * 2));
    for (size_t i = half; i < value.size(); ++i) le16(value[i]);
    le32(0);
    return *this;
  }
  RpcBuilder& IntN(int64_t value, uint8_t size, bool null = false) {
    Name();
    bytes.push_back(0x26);
    bytes.push_back(size);
    bytes.push_back(null ? 0 : size);
    for (uint8_t i = 0; !null && i < size; ++i) bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  RpcBuilder& BitN(bool value) {
    Name();
    bytes.insert(bytes.end(), {0x68, 1, 1, static_cast<uint8_t>(value)});
    return *this;
  }
  RpcBuilder& VarChar1256(const std::string& bytesIn) {
    Name();
    bytes.push_back(0xA7);
    le16(8000);
    bytes.insert(bytes.end(), {0x01, 0x04, 0xD0, 0x00, 0x00});
    le16(static_cast<uint16_t>(bytesIn.size()));
    bytes.insert(bytes.end(), bytesIn.begin(), bytesIn.end());
    return *this;
  }
  std::vector<uint8_t> bytes;

 private:
  void Name() { bytes.insert(bytes.end(), {0, 0}); }  // positional, no status flags
  void le16(uint16_t v) { bytes.insert(bytes.end(), {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)}); }
  void le32(uint32_t v) {
    le16(static_cast<uint16_t>(v));
    le16(static_cast<uint16_t>(v >> 16));
  }
};

TEST(TdsRpc, ReadsEachParameterTypeTheDriverSends) {
  std::u16string longText(5000, u'ک');
  auto request = parseRpc(RpcBuilder()
                              .ProcedureId(10)
                              .NVarChar(u"UPDATE t SET a = @P1")
                              .NVarChar(u"@P1 int")
                              .IntN(-5, 8)
                              .IntN(0, 4, true)
                              .BitN(true)
                              .NVarChar(u"", true)
                              .NVarCharMax(longText)
                              .VarChar1256("\xD3\xE1\xC7\xE3")
                              .bytes);
  ASSERT_TRUE(request);
  EXPECT_EQ(request->procedure, "sp_executesql");
  ASSERT_EQ(request->parameters.size(), 8u);
  EXPECT_EQ(std::get<std::string>(request->parameters[0].value), "UPDATE t SET a = @P1");
  EXPECT_EQ(std::get<int64_t>(request->parameters[2].value), -5);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(request->parameters[3].value));
  EXPECT_EQ(std::get<int64_t>(request->parameters[4].value), 1);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(request->parameters[5].value));
  std::string expectedLong;
  for (int i = 0; i < 5000; ++i) expectedLong += "ک";
  EXPECT_EQ(std::get<std::string>(request->parameters[6].value), expectedLong);
  EXPECT_EQ(std::get<std::string>(request->parameters[7].value), "سلام");

  auto named = parseRpc(RpcBuilder().Procedure(u"sp_who").bytes);
  ASSERT_TRUE(named);
  EXPECT_EQ(named->procedure, "sp_who");
  EXPECT_TRUE(named->parameters.empty());
}

// Every prefix of a valid call is either refused or read without running
// past its end (AddressSanitizer watches the reads); a forged length is
// refused.
TEST(TdsRpc, CutOrForgedMessagesAreRefused) {
  std::vector<uint8_t> whole = RpcBuilder()
                                   .ProcedureId(10)
                                   .NVarChar(u"SELECT @P1")
                                   .NVarChar(u"@P1 bigint")
                                   .IntN(7, 8)
                                   .NVarCharMax(u"abcdef")
                                   .bytes;
  for (size_t n = 0; n < whole.size(); ++n) {
    std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(n));
    auto request = parseRpc(cut);
    if (request) {
      EXPECT_LT(request->parameters.size(), 4u) << "cut at " << n;
    }
  }
  // A text length larger than its declared maximum.
  std::vector<uint8_t> forged = RpcBuilder().ProcedureId(10).NVarChar(u"abc").bytes;
  forged[forged.size() - 8] = 0xFE;  // the length's low byte: now beyond the bytes that follow
  EXPECT_FALSE(parseRpc(forged));
  // An integer of a size no integer has.
  std::vector<uint8_t> badInt = RpcBuilder().ProcedureId(10).IntN(1, 3).bytes;
  EXPECT_FALSE(parseRpc(badInt));
  // Headers longer than the message.
  std::vector<uint8_t> headers = RpcBuilder().ProcedureId(10).bytes;
  headers[0] = 0xFF;
  EXPECT_FALSE(parseRpc(headers));
}

// Through the driver: a statement with parameters runs with their values,
// and a procedure the stand-in does not have is refused by name.
TEST(TdsRpc, ParametersReachTheStatementAndUnknownProceduresAreRefused) {
  TempDir dir("qorv-rpc");
  StandIn standIn(dir.Path());
  ASSERT_NE(standIn.Port(), 0);
  ASSERT_TRUE(qorv::platform::WriteIniValue("sqlserver.ini", "Port", std::to_string(standIn.Port())));
  qorv::platform::SqlSession session("Provider=SQLOLEDB.1;Integrated Security=SSPI;Initial Catalog=master");
  auto result = session.Execute(u"SELECT ? AS a, ? AS b, ? AS c", {int64_t{42}, std::u16string(u"x'y"), true});
  ASSERT_EQ(result.Rows.size(), 1u);
  EXPECT_EQ(std::get<int64_t>(result.Rows[0][0]), 42);
  EXPECT_EQ(std::get<std::u16string>(result.Rows[0][1]), u"x'y");
  try {
    session.Execute(u"{call sp_nothing_here(?)}", {int64_t{1}});
    ADD_FAILURE() << "an unknown procedure ran";
  } catch (const qorv::platform::SqlError& e) {
    EXPECT_EQ(e.NativeError(), 2812);
    EXPECT_EQ(std::string(e.what()), "Could not find stored procedure 'sp_nothing_here'.");
  }
  // The session is still usable after the refusal.
  EXPECT_EQ(session.Execute(u"SELECT 1").Rows.size(), 1u);
  int status = standIn.Stop();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace qorv::test
