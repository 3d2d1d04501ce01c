// IDispatch over a type library against the direct vtable call, in one run:
// a property get by dispid through ITypeInfo::Invoke (DispInvoke), the same
// with GetIDsOfNames before each call, and the direct call of the same
// member, interleaved over rounds so that drift hits all three alike; and
// CoCreateInstance of a registered class, the first (the server and its type
// library load) and repeated ones. Prints nanoseconds per call and ratios.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "TestServer.h"
#include "fileapi.h"
#include "objbase.h"

namespace {

using Clock = std::chrono::steady_clock;
using qorv::test::ITestObject;

double Nanoseconds(Clock::duration d) { return std::chrono::duration<double, std::nano>(d).count(); }

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

volatile LONG sink;

template <class Body>
double NanosecondsPerCall(int calls, Body body) {
  const auto start = Clock::now();
  for (int i = 0; i < calls; ++i) body();
  return Nanoseconds(Clock::now() - start) / calls;
}

struct Figures {
  std::vector<double> Direct, Invoke, NamedInvoke;
};

// One member: `get` calls it directly, `dispid` and `name` reach it by IDispatch.
template <class DirectGet>
Figures Measure(IDispatch* dispatch, const char* name, DirectGet get, int rounds, int calls) {
  std::u16string wide(name, name + std::char_traits<char>::length(name));
  LPOLESTR names[] = {wide.data()};
  DISPID dispid = 0;
  dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid);
  DISPPARAMS none{};
  Figures figures;
  auto invoke = [&](DISPID id) {
    VARIANT result;
    VariantInit(&result);
    dispatch->Invoke(id, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
    sink = result.lVal;
    VariantClear(&result);
  };
  for (int round = 0; round < rounds; ++round) {
    figures.Direct.push_back(NanosecondsPerCall(calls, get));
    figures.Invoke.push_back(NanosecondsPerCall(calls, [&] { invoke(dispid); }));
    figures.NamedInvoke.push_back(NanosecondsPerCall(calls, [&] {
      DISPID id = 0;
      dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
      invoke(id);
    }));
  }
  return figures;
}

void Report(const char* member, const Figures& figures) {
  double direct = Median(figures.Direct);
  double invoke = Median(figures.Invoke);
  double named = Median(figures.NamedInvoke);
  std::printf("%-8s direct %7.1f ns   Invoke %7.1f ns (%5.1fx)   GetIDsOfNames+Invoke %7.1f ns (%5.1fx)\n", member,
              direct, invoke, invoke / direct, named, named / direct);
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
  const int calls = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20000;
  char rootTemplate[] = "/tmp/qorv-bench-XXXXXX";
  if (!mkdtemp(rootTemplate)) return 1;
  setenv("QORV_SYSTEM_ROOT", rootTemplate, 1);

  // Registered by its own entry point, as regsvr32 would.
  HMODULE server = LoadLibraryA(QORV_TEST_SERVER);
  auto registerServer = reinterpret_cast<HRESULT (*)()>(GetProcAddress(server, "DllRegisterServer"));
  if (!registerServer || FAILED(registerServer())) return 1;
  FreeLibrary(server);
  if (FAILED(CoInitialize(nullptr))) return 1;

  const auto firstStart = Clock::now();
  IDispatch* dispatch = nullptr;
  if (FAILED(CoCreateInstance(qorv::test::CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                              reinterpret_cast<void**>(&dispatch)))) {
    return 1;
  }
  const double first = Nanoseconds(Clock::now() - firstStart);
  std::vector<double> repeated;
  for (int round = 0; round < rounds; ++round) {
    repeated.push_back(NanosecondsPerCall(200, [] {
      IUnknown* object = nullptr;
      CoCreateInstance(qorv::test::CLSID_TestObject, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                       reinterpret_cast<void**>(&object));
      object->Release();
    }));
  }
  std::printf("CoCreateInstance: first %.1f us, repeated %.1f us (median of %d rounds)\n", first / 1000,
              Median(repeated) / 1000, rounds);

  ITestObject* object = nullptr;
  dispatch->QueryInterface(qorv::test::IID_ITestObject, reinterpret_cast<void**>(&object));
  object->put_Long(7);
  BSTR caption = SysAllocString(u"QorvX");
  object->put_Caption(caption);
  SysFreeString(caption);

  std::printf("property get, %d rounds of %d calls (medians):\n", rounds, calls);
  Report("Long", Measure(
                     dispatch, "Long",
                     [&] {
                       LONG value = 0;
                       object->get_Long(&value);
                       sink = value;
                     },
                     rounds, calls));
  Report("Caption", Measure(
                        dispatch, "Caption",
                        [&] {
                          BSTR value = nullptr;
                          object->get_Caption(&value);
                          sink = static_cast<LONG>(SysStringLen(value));
                          SysFreeString(value);
                        },
                        rounds, calls));

  object->Release();
  dispatch->Release();
  CoUninitialize();
  std::error_code ignored;
  std::filesystem::remove_all(rootTemplate, ignored);
  return 0;
}
