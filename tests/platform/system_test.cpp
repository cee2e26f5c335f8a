#include <gtest/gtest.h>
#include "platform/system.h"

TEST(SystemTest, ExceptionCarriesMessage) {
  try {
    throw EFOpenError("Cannot open file \"x\"");
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"x\"");
  }
}
