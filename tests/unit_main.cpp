// The unit tests run against a shop whose locks and semaphores are set up, as in the program.

#include <gtest/gtest.h>

#include "core/shop.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  init();
  return RUN_ALL_TESTS();
}
