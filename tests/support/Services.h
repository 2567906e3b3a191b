#pragma once

#include <gtest/gtest.h>

#include <cstdlib>

// Fails the test unless it runs under tests/services/with-services.sh: a test that needs the
// services never skips.
inline void requireServices() {
  ASSERT_NE(std::getenv("VESK_TEST_SERVICES"), nullptr)
      << "the test services are not running: run through tests/services/with-services.sh";
}
