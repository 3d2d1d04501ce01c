// A type library's lazily worked-out parts (inherited members, call plans,
// imported libraries) are made once, whichever threads ask first and at once.
#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

#include "ComTestSupport.h"
#include "TestObject.h"

using namespace qorv::test;

namespace {

TEST(TypeInfoThreads, FirstUseFromManyThreadsAtOnceGivesOneAnswer) {
  std::u16string path = Wide(QORV_TEST_TYPELIB);
  ComPtr<ITypeLib> lib;
  ASSERT_EQ(LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.Put()), S_OK);
  ComPtr<ITypeInfo> dual;
  ASSERT_EQ(lib->GetTypeInfoOfGuid(IID_ITestObject, dual.Put()), S_OK);
  TestObject* object = new TestObject(dual.Get());

  constexpr int kThreads = 8;
  std::latch start(kThreads);
  std::atomic<int> wrong{0};
  std::vector<FUNCDESC*> firstInherited(kThreads, nullptr);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      start.arrive_and_wait();
      if (FAILED(dual->GetFuncDesc(0, &firstInherited[t]))) ++wrong;
      for (int i = 0; i < 200; ++i) {
        VARIANT args[2] = {};
        args[0].vt = VT_I4;
        args[0].lVal = i;
        args[1].vt = VT_I4;
        args[1].lVal = t;
        DISPPARAMS params{args, nullptr, 2, 0};
        VARIANT sum;
        VariantInit(&sum);
        HRESULT hr = DispInvoke(static_cast<ITestObject*>(object), dual.Get(), 20, DISPATCH_METHOD, &params, &sum,
                                nullptr, nullptr);
        if (hr != S_OK || sum.vt != VT_I4 || sum.lVal != t + i) ++wrong;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(wrong.load(), 0);
  // Every thread was handed the same description.
  for (FUNCDESC* desc : firstInherited) EXPECT_EQ(desc, firstInherited[0]);
  object->Release();
}

}  // namespace
