// The window tests' main: the toolkit set up as the game sets it up, before any test shows a window, so
// that the tests too leave no preference file behind.
#include <gtest/gtest.h>

#include "support/toolkit.h"

int main(int argc, char **argv) {
    toolkit_setup();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
