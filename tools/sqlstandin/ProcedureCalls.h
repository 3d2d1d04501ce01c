#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Executor.h"
#include "TdsRpc.h"
#include "TdsTokens.h"

namespace sqlstandin {

// The procedure calls a driver makes for statements with parameters:
// sp_executesql, and the prepared-statement procedures (sp_prepare,
// sp_execute, sp_prepexec, sp_unprepare) with their handles, which belong
// to one connection. Any other procedure is refused as the server refuses a
// procedure it does not have.
class ProcedureCalls {
 public:
  explicit ProcedureCalls(Executor& executor) : executor_(executor) {}
  // Answers one call: its results, return status, output values and DONEPROC.
  void call(const RpcRequest& request, TokenWriter& out);

 private:
  struct Prepared {
    std::vector<std::string> names;  // declared parameters, in order
    std::string statement;
  };
  bool run(const Prepared& prepared, const std::vector<RpcParameter>& values, size_t first, TokenWriter& out);
  bool prepare(const std::vector<RpcParameter>& params, size_t declarationsAt, size_t statementAt, int32_t& handle,
               TokenWriter& out);
  bool executePrepared(const std::vector<RpcParameter>& params, TokenWriter& out);
  bool unprepare(const std::vector<RpcParameter>& params, TokenWriter& out);

  Executor& executor_;
  std::map<int32_t, Prepared> prepared_;
  int32_t nextHandle_ = 1;
};

// The names of "@a int, @b nvarchar(10)", in order; commas inside
// parentheses (decimal(10,2)) belong to the type.
std::vector<std::string> declaredNames(const std::string& declarations);

}  // namespace sqlstandin
