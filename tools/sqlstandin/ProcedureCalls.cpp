#include "ProcedureCalls.h"

#include "SqlLexer.h"

namespace sqlstandin {

namespace {

void refuse(TokenWriter& out, const Message& message) {
  out.error(message);
  out.returnStatus(-6);
  out.doneProc(kDoneError, 0);
}

const std::string* textAt(const std::vector<RpcParameter>& params, size_t i) {
  return i < params.size() ? std::get_if<std::string>(&params[i].value) : nullptr;
}

const int64_t* numberAt(const std::vector<RpcParameter>& params, size_t i) {
  return i < params.size() ? std::get_if<int64_t>(&params[i].value) : nullptr;
}

Message missingParameter(const char* procedure, const char* parameter, const char* type) {
  return {214, 2, 16,
          std::string("Procedure ") + procedure + " expects parameter '" + parameter + "' of type '" + type + "'."};
}

}  // namespace

std::vector<std::string> declaredNames(const std::string& declarations) {
  std::vector<std::string> names;
  int depth = 0;
  bool atStart = true;
  for (size_t i = 0; i < declarations.size(); ++i) {
    char c = declarations[i];
    if (c == '(') {
      ++depth;
    } else if (c == ')') {
      --depth;
    } else if (c == ',' && depth == 0) {
      atStart = true;
    } else if (atStart && c == '@') {
      size_t end = declarations.find_first_of(" \t\r\n,", i);
      names.push_back(declarations.substr(i, end == std::string::npos ? std::string::npos : end - i));
      atStart = false;
    }
  }
  return names;
}

void ProcedureCalls::call(const RpcRequest& request, TokenWriter& out) {
  const auto& params = request.parameters;
  std::string name = lowerAscii(request.procedure);
  bool ok = false;
  int32_t handle = 0;
  if (name == "sp_executesql") {
    const std::string* text = textAt(params, 0);
    if (!text) {
      return refuse(out, missingParameter("sp_executesql", "@statement", "ntext/nchar/nvarchar"));
    }
    const std::string* declarations = textAt(params, 1);
    ok = run({declarations ? declaredNames(*declarations) : std::vector<std::string>{}, *text}, params, 2, out);
  } else if (name == "sp_prepare") {
    // @handle OUTPUT, @params, @stmt [, @options]
    if (!prepare(params, 1, 2, handle, out)) return;
    ok = true;
  } else if (name == "sp_prepexec") {
    // @handle OUTPUT, @params, @stmt, values...
    if (!prepare(params, 1, 2, handle, out)) return;
    ok = run(prepared_[handle], params, 3, out);
  } else if (name == "sp_execute") {
    ok = executePrepared(params, out);
  } else if (name == "sp_unprepare") {
    ok = unprepare(params, out);
  } else {
    std::string shown = request.procedure.empty() ? std::to_string(request.procedureId) : request.procedure;
    return refuse(out, {2812, 62, 16, "Could not find stored procedure '" + shown + "'."});
  }
  out.returnStatus(ok ? 0 : 1);
  if (name == "sp_prepare" || name == "sp_prepexec") {
    out.returnValue(0, params.empty() ? "" : params[0].name, handle);
  }
  out.doneProc(ok ? kDoneFinal : kDoneError, 0);
}

bool ProcedureCalls::prepare(const std::vector<RpcParameter>& params, size_t declarationsAt, size_t statementAt,
                             int32_t& handle, TokenWriter& out) {
  const std::string* statement = textAt(params, statementAt);
  if (!statement) {
    refuse(out, missingParameter("sp_prepare", "@stmt", "ntext/nchar/nvarchar"));
    return false;
  }
  const std::string* declarations = textAt(params, declarationsAt);
  handle = nextHandle_++;
  prepared_[handle] = {declarations ? declaredNames(*declarations) : std::vector<std::string>{}, *statement};
  return true;
}

bool ProcedureCalls::executePrepared(const std::vector<RpcParameter>& params, TokenWriter& out) {
  const int64_t* handle = numberAt(params, 0);
  auto found = handle ? prepared_.find(static_cast<int32_t>(*handle)) : prepared_.end();
  if (found == prepared_.end()) {
    out.error({8179, 4, 16,
               "Could not find prepared statement with handle " + (handle ? std::to_string(*handle) : "NULL") + "."});
    return false;
  }
  return run(found->second, params, 1, out);
}

bool ProcedureCalls::unprepare(const std::vector<RpcParameter>& params, TokenWriter& out) {
  const int64_t* handle = numberAt(params, 0);
  if (!handle || prepared_.erase(static_cast<int32_t>(*handle)) == 0) {
    out.error({8179, 4, 16,
               "Could not find prepared statement with handle " + (handle ? std::to_string(*handle) : "NULL") + "."});
    return false;
  }
  return true;
}

// Values may come by name or by position, the position naming the declared
// parameter.
bool ProcedureCalls::run(const Prepared& prepared, const std::vector<RpcParameter>& values, size_t first,
                         TokenWriter& out) {
  Bindings bindings;
  for (size_t i = first; i < values.size(); ++i) {
    std::string name = values[i].name;
    if (name.empty() && i - first < prepared.names.size()) {
      name = prepared.names[i - first];
    }
    bindings[lowerAscii(name)] = values[i].value;
  }
  return executor_.runBatch(prepared.statement, out, bindings, true);
}

}  // namespace sqlstandin
