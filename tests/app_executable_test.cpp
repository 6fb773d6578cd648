// The whole program end to end, headless: the real executable on an empty
// data folder and on its command line, and a run that the platform ends
// through its event loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <tuple>

#include "audio/audio.h"
#include "support/runner.h"

namespace {

// Runs the executable with `env` settings and `args`, its output in `dir`
// ("out", "err"), sending it SIGTERM after `seconds`; the exit status, 124
// when the timeout ended it.
int runExecutable(const std::string& env, const std::string& args, const std::string& dir,
                  int seconds = 20) {
    const std::string command = "env " + env + " timeout " + std::to_string(seconds) + " '" +
                                CORVUS_BIN_DIR "/corvusraiders' " + args + " >'" + dir +
                                "out' 2>'" + dir + "err'";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Executable, EmptyDataFolderShowsTwoBoxesAndEndsWithStatusZero) {
    const std::string root = makeTempDir("empty");
    EXPECT_EQ(runExecutable("QPEDIR='" + root + "' QT_QPA_PLATFORM=offscreen "
                            "SDL_AUDIODRIVER=dummy XDG_CONFIG_HOME='" + root + "'", "", root), 0);
    // The background box, then one fatal box and nothing of the set-up after it.
    const std::string err = readTextFile(root + "err");
    const size_t title = err.find("Fatal Error: Error loading title image\n");
    ASSERT_NE(title, std::string::npos) << err;
    EXPECT_LT(err.find("CorvusRaiders: Failure to load background image\n"), title) << err;
    EXPECT_EQ(err.find("Fatal Error", title + 1), std::string::npos) << err;
}

TEST(Executable, SoundLibraryAddsNothingToStandardError) {
    // Without a sound card only the game's own warning box says so; with one,
    // nothing is said. The game still runs when the timeout ends it.
    const std::string root = makeTestDataRoot();
    EXPECT_EQ(runExecutable("QPEDIR='" + root + "' QT_QPA_PLATFORM=offscreen "
                            "SDL_AUDIODRIVER=alsa XDG_CONFIG_HOME='" + root + "'", "", root, 3), 124);
    const std::string err = readTextFile(root + "err");
    EXPECT_EQ(err.find("ALSA lib"), std::string::npos) << err;
}

TEST(Executable, AnswersItsCommandLineWithoutAnyDisplay) {
    // A windowing system that cannot start: only an answer given before it is
    // touched gets through. Arguments, status, start of the output, part of the errors.
    const std::tuple<const char*, int, const char*, const char*> cases[] = {
        {"--help", 0, "usage: corvusraiders [--fullscreen]", ""},
        {"--version", 0, "CorvusRaiders ", ""},
        {"--scale 2 --frobnicate", 2, "", "unrecognised option '--frobnicate'\nusage: "},
        {"--rotate 45", 2, "", "--rotate takes 0, 90, 180 or 270, not '45'\nusage: "},
        {"--verify", 2, "", "--verify checks a replay and needs '--replay'\nusage: "},
        // A replay that cannot be used is refused before anything starts.
        {"--replay /nonexistent.replay", 2, "", "cannot read /nonexistent.replay (no such file)\n"},
        {"--replay " CORVUS_SOURCE_DIR "/README.md --verify", 2, "", "README.md is not a replay of this game\n"},
        {"--version extra", 2, "", "unexpected argument 'extra'\nusage: "},
    };
    const std::string dir = makeTempDir("cli");
    for (auto [args, status, wantOut, wantErr] : cases) {
        EXPECT_EQ(runExecutable("-u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb", args, dir),
                  status) << args;
        const std::string out = readTextFile(dir + "out"), err = readTextFile(dir + "err");
        EXPECT_TRUE(*wantOut ? out.rfind(wantOut, 0) == 0 : out.empty()) << args << out;
        EXPECT_NE(err.find(wantErr), std::string::npos) << args << err;
        EXPECT_EQ(err.empty(), !*wantErr) << args << err;
    }
}

// Runs the real entry function with the real timer and, once the title has
// reached the screen, asks it to end: by a termination request, as when the
// desktop session ends, or through the exit screen (a key to the menu, then
// Escape). Either way the teardown must leave nothing behind, the sound device
// closed, and the entry function return 0 (within ten seconds, however busy
// the machine).
void runUntilEnded(const std::string& root, bool signal) {
    setenv("QPEDIR", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", makeTempDir("config").c_str(), 1);
    static int argc = 1;
    static char name[] = "corvusraiders";
    static char* argv[] = {name, nullptr};
    PlatformApplication outer(argc, argv); // lets the test send the request
    const uint8_t* fb = testdriver::deviceFrameBuffer() + (300 * DEVICE_WIDTH + 2) * 2;
    const auto titleShown = [fb] { return uint16_t(fb[0] | fb[1] << 8) == testPictureColour(6); };
    int waited = 0;  // ms
    bool requested = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        waited += 20;
        if (waited > 10000)
            _exit(1);  // never shown, or the request went unanswered
        if (!titleShown() || requested)
            return;  // asked once
        requested = true;
        if (signal) {
            raise(SIGTERM);
        } else {
            for (int key : {0x20, 0x01000000}) {
                testdriver::sendKey(key, true);
                testdriver::sendKey(key, false);
            }
        }
    });
    poll.start(20);
    const int rc = corvusMain(argc, argv);
    const bool tornDown = !theWidget && !backBuffer && !titlePicture && !shipSprites[0] &&
                          !smallRocks[11] && !audioOpen;
    // The frames ran on the real timer and reached the screen (the request
    // came once the title was shown); the test's Qt application outlives the
    // entry function's own.
    _exit(rc == 0 && tornDown && requested && QCoreApplication::instance() ? 42 : 1);
}

TEST(Executable, TerminationRequestOrExitScreenRunsTheTeardownAndReturnsZero) {
    for (bool signal : {true, false})
        EXPECT_EXIT(runUntilEnded(makeTestDataRoot(), signal), ::testing::ExitedWithCode(42), "")
            << (signal ? "termination request" : "exit screen");
}

// A request during the start (while the background, a pipe with no writer,
// is reported missing), sent twice since the game does not answer yet, ends
// the program at once with status 0; a replay's verification ends by it.
void terminateDuringStart(const std::string& root, bool verifying) {
    const std::string background = root + "lib/corvusraiders_demo/pp1";
    std::filesystem::remove(background);
    mkfifo(background.c_str(), 0600);
    setenv("QPEDIR", root.c_str(), 1);
    setenv("XDG_CONFIG_HOME", makeTempDir("config").c_str(), 1);
    testdriver::setMessageBoxHook([](bool, const char*, const char*) {
        raise(SIGTERM);
        raise(SIGTERM);
    });
    static char name[] = "corvusraiders", replay[] = "--replay", verify[] = "--verify";
    static char file[] = CORVUS_SOURCE_DIR "/tests/replays/quit.replay";
    static char* verifyArgv[] = {name, replay, file, verify, nullptr};
    static char* startArgv[] = {name, nullptr};
    int argc = verifying ? 4 : 1;
    corvusMain(argc, verifying ? verifyArgv : startArgv);
    _exit(1); // the start went on
}

TEST(Executable, TerminationRequestDuringTheStartEndsItWithStatusZero) {
    EXPECT_EXIT(terminateDuringStart(makeTestDataRoot(), false), ::testing::ExitedWithCode(0), "");
    // A verification stopped before its end reports neither a pass nor a
    // failure: it ends by the signal.
    EXPECT_EXIT(terminateDuringStart(makeTestDataRoot(), true), ::testing::KilledBySignal(SIGTERM),
                "");
}

} // namespace
