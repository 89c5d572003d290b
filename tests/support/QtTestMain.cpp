// The main of the GUI and store tests: one application object for the
// whole run, on the offscreen platform unless another is asked for.
#include "shell/TApplication.h"

#include <gtest/gtest.h>

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  vandro::TApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
