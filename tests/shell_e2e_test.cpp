// The whole program end to end, headless: the real executable on an empty
// data folder, a run that the platform ends through its event loop, and a
// scripted session from the title screen to the exit screen.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/runner.h"

namespace {

TEST(Executable, EmptyDataFolderShowsTwoBoxesAndEndsWithStatusZero) {
    const std::string root = makeTempDir("empty");
    const std::string command =
        "env QPEDIR='" + root +
        "' QT_QPA_PLATFORM=offscreen SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME='" + root +
        "' timeout 20 '" CORVUS_BIN_DIR "/corvusraiders' 2>'" + root + "stderr.txt'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    // The background box, then one fatal box and nothing of the set-up after it.
    const std::string err = readTextFile(root + "stderr.txt");
    const size_t title = err.find("Fatal Error: Error loading title image\n");
    ASSERT_NE(title, std::string::npos) << err;
    EXPECT_LT(err.find("CorvusRaiders: Failure to load background image\n"), title) << err;
    EXPECT_EQ(err.find("Fatal Error", title + 1), std::string::npos) << err;
}

TEST(Executable, AnswersItsCommandLineWithoutAnyDisplay) {
    // A windowing system that cannot start: only an answer given before it is
    // touched gets through.
    const struct {
        const char* args;
        int status;
        const char* out;
        const char* err;
    } cases[] = {
        {"--help", 0, "usage: corvusraiders [--fullscreen]", ""},
        {"--version", 0, "CorvusRaiders ", ""},
        {"--scale 2 --frobnicate", 2, "", "unrecognised option '--frobnicate'\nusage: "},
        {"--rotate 45", 2, "", "--rotate takes 0, 90, 180 or 270, not '45'\nusage: "},
    };
    const std::string dir = makeTempDir("cli");
    for (const auto& c : cases) {
        const std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb timeout 20 '"
                                    CORVUS_BIN_DIR "/corvusraiders' " + std::string(c.args) + " >'" +
                                    dir + "out' 2>'" + dir + "err'";
        const int status = std::system(command.c_str());
        ASSERT_TRUE(WIFEXITED(status)) << c.args;
        EXPECT_EQ(WEXITSTATUS(status), c.status) << c.args;
        const std::string out = readTextFile(dir + "out"), err = readTextFile(dir + "err");
        EXPECT_TRUE(*c.out ? out.rfind(c.out, 0) == 0 : out.empty()) << c.args << out;
        EXPECT_NE(err.find(c.err), std::string::npos) << c.args << err;
        EXPECT_EQ(err.empty(), !*c.err) << c.args << err;
    }
}

// Runs the real entry function with the real timer and lets the platform end
// the event loop once the title has reached the screen (or after ten seconds,
// however busy the machine); the teardown must then leave nothing behind.
void runUntilThePlatformQuits(const std::string& root) {
    setenv("QPEDIR", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", makeTempDir("config").c_str(), 1);
    static int argc = 1;
    static char name[] = "corvusraiders";
    static char* argv[] = {name, nullptr};
    PlatformApplication outer(argc, argv); // lets the test schedule the quit
    const uint8_t* fb = deviceFrameBuffer() + (300 * DEVICE_WIDTH + 2) * 2;
    const auto titleShown = [fb] { return uint16_t(fb[0] | fb[1] << 8) == testPictureColour(6); };
    int waited = 0;  // ms
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        waited += 20;
        if (titleShown() || waited >= 10000)
            QCoreApplication::quit();
    });
    poll.start(20);
    const int rc = corvusMain(argc, argv);
    const bool tornDown =
        !theWidget && !backBuffer && !titlePicture && !shipSprites[0] && !smallRocks[11];
    // The frames ran on the real timer and reached the screen.
    const bool shown = titleShown();
    // The test's Qt application outlives the entry function's own.
    _exit(rc == 0 && tornDown && shown && QCoreApplication::instance() ? 42 : 1);
}

TEST(Executable, PlatformQuitRunsTheTeardownAndReturnsZero) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(runUntilThePlatformQuits(makeTestDataRoot()), ::testing::ExitedWithCode(42), "");
}

// Title -> menu -> exit screen -> end of the process, checked on the screen.
void playToTheExit(const std::string& home) {
    HeadlessRunner runner(makeTestDataRoot(), 2024, home);
    const uint16_t dimTitle = dimPixel(testPictureColour(6), DIM_FACTOR);
    runner.frames(10);
    if (runner.screenPixel(2, 300) != testPictureColour(6))
        _exit(3);
    runner.pressKey(Qt::Key_Return);
    runner.frames(2);
    if (gameState != STATE_MENU || runner.screenPixel(2, 300) != dimTitle ||
        runner.screenPixel(2, 100) != testPictureColour(9))
        _exit(4);
    runner.pressKey(Qt::Key_Escape);
    runner.frames(2);
    if (gameState != STATE_EXITING || runner.screenPixel(2, 150) != testPictureColour(7) ||
        runner.screenPixel(2, 300) != dimTitle)
        _exit(5);
    runner.frames(200);
    _exit(6);  // the exit screen should have ended the process by now
}

TEST(EndToEnd, FromTheTitleToTheExitScreenAndTheSavedSettings) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    // The child process runs this test again from the top; the environment
    // hands it the folder the parent chose.
    if (!getenv("CORVUS_E2E_HOME"))
        setenv("CORVUS_E2E_HOME", makeTempDir("config").c_str(), 1);
    const std::string home = getenv("CORVUS_E2E_HOME");
    EXPECT_EXIT(playToTheExit(home), ::testing::ExitedWithCode(0), "");

    const std::string settings = readTextFile(home + "corvusraiders/corvusraiders.conf");
    EXPECT_NE(settings.find("[registry]"), std::string::npos) << settings;
    for (const char* key : {"hiscore", "music_volume", "sfx_volume", "track", "key_left",
                            "key_right", "key_thrust", "key_fire", "key_pause", "key_shields"})
        EXPECT_NE(settings.find(std::string(key) + " = "), std::string::npos) << key;
}

} // namespace
