#include <gtest/gtest.h>

#include <cstring>

#include "SysUtils.h"

namespace {

// Framework exceptions are caught as Exception and as std::exception alike,
// and carry their message and code through both.
TEST(FrameworkExceptions, CarryMessageThroughEitherBase) {
  try {
    throw EInOutError("File not found", 2);
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "File not found");
    auto* io = dynamic_cast<const EInOutError*>(&e);
    ASSERT_NE(io, nullptr);
    EXPECT_EQ(io->ErrorCode(), 2);
  }
  try {
    throw EOutOfMemory();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Out of memory");
    EXPECT_EQ(dynamic_cast<const EInOutError*>(&e), nullptr);
  }
}

}  // namespace
