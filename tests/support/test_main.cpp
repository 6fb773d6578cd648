// Entry of every test program: the headless back-ends are the default, so a
// test binary run by hand behaves like one run by ctest. Death tests start a
// fresh process: the Qt and SDL threads of the parent do not carry over.
#include <cstdlib>

#include <gtest/gtest.h>

// Under the leak checker: a message box's fonts come from the system's font
// library, which keeps one cache block for the life of the process.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
