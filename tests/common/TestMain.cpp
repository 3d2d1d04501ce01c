// Every test process gets its own system root in a fresh temporary folder,
// removed when the process ends, so no test touches the user's own root or
// sees another test's files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "TestSupport.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  qorv::test::TempDir root("qorv-root");
  setenv("QORV_SYSTEM_ROOT", root.Path().c_str(), 1);
  return RUN_ALL_TESTS();
}
