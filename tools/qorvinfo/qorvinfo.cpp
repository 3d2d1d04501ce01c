// Prints what the serial engine's foundation answers on this machine: error
// texts from the embedded string table (and the system's, where the table has
// none), the exception classes a few codes raise, and the clock's scale.
#include <cstdio>
#include <exception>
#include <string>
#include <typeinfo>

#include "SioErrors.h"
#include "SioMisc.h"
#include "SioStrings.h"

namespace {

// Type names of the raised exceptions, without the compiler's length prefix.
std::string ClassName(const std::exception& e) {
  std::string name = typeid(e).name();
  std::size_t i = 0;
  while (i < name.size() && name[i] >= '0' && name[i] <= '9') ++i;
  return name.substr(i);
}

std::string Raise(LONG code) {
  try {
    LONG result = RaiseForCode(nullptr, code);
    return "returned " + std::to_string(result);
  } catch (const ESioException& e) {
    return ClassName(e) + " (Code " + std::to_string(e.Code()) + ") \"" + e.Message() + "\"";
  } catch (const EInOutError& e) {
    return ClassName(e) + " (ErrorCode " + std::to_string(e.ErrorCode()) + ") \"" + e.Message() + "\"";
  } catch (const Exception& e) {
    return ClassName(e) + " \"" + e.Message() + "\"";
  }
}

}  // namespace

int main() {
  try {
    InitializeSioStringTables();
  } catch (const Exception& e) {
    std::fprintf(stderr, "qorvinfo: string tables unavailable: %s\n", e.Message().c_str());
    return 1;
  }
  std::printf("Serial engine foundation (SIO %s)\n", TSioBaseComponent(nullptr).Version().c_str());
  for (LONG code : {-2011, -5, 87})
    std::printf("  ErrorText(%ld) = \"%s\"\n", static_cast<long>(code), ErrorText(code).c_str());
  for (LONG code : {17, -2007, -7012, -8, -5, -3002})
    std::printf("  RaiseForCode(%ld): %s\n", static_cast<long>(code), Raise(code).c_str());
  std::printf("  CountsPerMs = %lu (0 would mean timeGetTime)\n", static_cast<unsigned long>(CountsPerMs()));
  std::printf("  MillisecondClock = %lu\n", static_cast<unsigned long>(MillisecondClock()));
  return 0;
}
