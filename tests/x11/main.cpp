#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    // The tests' common set-up chose the offscreen screen: these run on the
    // X display that run-under-x.sh started, with its window manager.
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
