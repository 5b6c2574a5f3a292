// The main of every Qt test program: widgets need an application object, and tests run on the
// offscreen platform unless the caller chose another one.
#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/guarded.h"

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  ::testing::InitGoogleTest(&argc, argv);
  TApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
