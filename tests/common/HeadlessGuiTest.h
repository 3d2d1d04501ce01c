// Fixture for tests that show forms: the headless backend, a fresh application
// object, and no modal responder left behind for the next test.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

#include "Application.h"
#include "Forms.h"

class HeadlessGuiTest : public testing::Test {
 protected:
  void SetUp() override {
    setenv("QORV_GUI", "headless", 1);
    Application->Initialize();
    Application->Reset();
  }
  void TearDown() override { SetModalResponder(nullptr); }
};
