// The stand-in's procedure calls without the network: prepared-statement
// handles belong to the calls that made them, an unknown or released handle
// is refused with the server's error, and every reply ends with DONEPROC.
#include <gtest/gtest.h>

#include <algorithm>

#include "Catalog.h"
#include "ProcedureCalls.h"
#include "TestSupport.h"
#include "Utf16.h"

namespace qorv::test {
namespace {

using namespace sqlstandin;

bool Holds(const TokenWriter& out, const std::string& utf8) {
  std::u16string wide = utf8ToUtf16(utf8);
  std::vector<uint8_t> le;
  for (char16_t c : wide) {
    le.push_back(static_cast<uint8_t>(c));
    le.push_back(static_cast<uint8_t>(c >> 8));
  }
  const auto& bytes = out.bytes();
  return std::search(bytes.begin(), bytes.end(), le.begin(), le.end()) != bytes.end();
}

RpcParameter Param(Value value) { return {"", std::move(value), ""}; }

RpcRequest Call(const char* procedure, std::vector<RpcParameter> params) {
  RpcRequest request;
  request.procedure = procedure;
  request.parameters = std::move(params);
  return request;
}

// DONEPROC is the last token: type, status, command, row count.
uint16_t FinalStatus(const TokenWriter& out) {
  const auto& b = out.bytes();
  EXPECT_GE(b.size(), 13u);
  EXPECT_EQ(b[b.size() - 13], 0xFE);
  return static_cast<uint16_t>(b[b.size() - 12] | (b[b.size() - 11] << 8));
}

TEST(ProcedureCalls, PreparedHandlesRunUntilReleased) {
  TempDir dir("qorv-procedures");
  Catalog catalog(dir.Path());
  Executor executor(catalog, "master");
  ProcedureCalls calls(executor);

  TokenWriter prepared;
  calls.call(Call("sp_prepexec",
                  {Param(std::monostate{}), Param(std::string("@P1 int, @P2 nvarchar(10)")),
                   Param(std::string("SELECT @P1 AS a, @P2 AS b")), Param(int64_t{5}), Param(std::string("it's"))}),
             prepared);
  EXPECT_EQ(FinalStatus(prepared) & kDoneError, 0);
  EXPECT_TRUE(Holds(prepared, "it's"));

  TokenWriter again;
  calls.call(Call("sp_execute", {Param(int64_t{1}), Param(int64_t{6}), Param(std::string("second"))}), again);
  EXPECT_EQ(FinalStatus(again) & kDoneError, 0);
  EXPECT_TRUE(Holds(again, "second"));

  TokenWriter unknown;
  calls.call(Call("sp_execute", {Param(int64_t{99})}), unknown);
  EXPECT_NE(FinalStatus(unknown) & kDoneError, 0);
  EXPECT_TRUE(Holds(unknown, "Could not find prepared statement with handle 99."));

  TokenWriter released;
  calls.call(Call("sp_unprepare", {Param(int64_t{1})}), released);
  EXPECT_EQ(FinalStatus(released) & kDoneError, 0);
  TokenWriter afterRelease;
  calls.call(Call("sp_execute", {Param(int64_t{1}), Param(int64_t{7}), Param(std::string("x"))}), afterRelease);
  EXPECT_NE(FinalStatus(afterRelease) & kDoneError, 0);

  // A second set of calls has handles of its own.
  ProcedureCalls other(executor);
  TokenWriter foreign;
  other.call(Call("sp_unprepare", {Param(int64_t{1})}), foreign);
  EXPECT_NE(FinalStatus(foreign) & kDoneError, 0);
}

TEST(ProcedureCalls, MissingStatementOrUnknownProcedureIsRefused) {
  TempDir dir("qorv-procedures");
  Catalog catalog(dir.Path());
  Executor executor(catalog, "master");
  ProcedureCalls calls(executor);
  TokenWriter noText;
  calls.call(Call("sp_executesql", {Param(int64_t{1})}), noText);
  EXPECT_NE(FinalStatus(noText) & kDoneError, 0);
  TokenWriter unknown;
  calls.call(Call("xp_cmdshell", {Param(std::string("rm -rf /"))}), unknown);
  EXPECT_NE(FinalStatus(unknown) & kDoneError, 0);
  EXPECT_TRUE(Holds(unknown, "Could not find stored procedure 'xp_cmdshell'."));
}

TEST(ProcedureCalls, DeclaredNamesIgnoreCommasInsideTypes) {
  EXPECT_EQ(declaredNames("@P1 decimal(10,2),@P2 NVARCHAR(MAX), @x int"),
            (std::vector<std::string>{"@P1", "@P2", "@x"}));
  EXPECT_TRUE(declaredNames("").empty());
}

}  // namespace
}  // namespace qorv::test
