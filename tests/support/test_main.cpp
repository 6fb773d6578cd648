// Entry of every test program: the headless back-ends are the default, so a
// test binary run by hand behaves like one run by ctest. Death tests start a
// fresh process: the Qt and SDL threads of the parent do not carry over.
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
