// The whole program end to end, headless: the real executable on an empty
// data folder and on its command line, and a run that the platform ends
// through its event loop.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "app/replay.h"
#include "audio/audio.h"
#include "platform/host.h"
#include "support/runner.h"

namespace {

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
        {"--replay '' --verify", 2, "", "--replay takes the name of a file, not ''\nusage: "},
        {"--replay= --verify", 2, "", "--replay takes the name of a file, not ''\nusage: "},
    };
    const std::string dir = makeTempDir("cli");
    // An empty QPEDIR is no folder: the data beside the executable is used.
    const std::string noDisplay = "-u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb XDG_STATE_HOME='" +
                                  dir + "' QPEDIR=''";
    for (auto [args, status, wantOut, wantErr] : cases) {
        EXPECT_EQ(runExecutable(noDisplay, args, dir), status) << args;
        const std::string out = readTextFile(dir + "out"), err = readTextFile(dir + "err");
        EXPECT_TRUE(*wantOut ? out.rfind(wantOut, 0) == 0 : out.empty()) << args << out;
        EXPECT_NE(err.find(wantErr), std::string::npos) << args << err;
        EXPECT_EQ(err.empty(), !*wantErr) << args << err;
    }

    // The kept games, newest first, one that cannot be read among them; and
    // --replay without a file: the last game until there is a best one.
    const std::string kept = dir + "corvusraiders/", game = readTextFile(CORVUS_SOURCE_DIR "/tests/replays/quit.replay");
    std::filesystem::create_directories(kept + "games");
    std::ofstream(kept + "games/2026-01-02_10-00-00_15800.replay") << game;
    std::ofstream(kept + "games/2026-01-03_09-30-05_15800.replay") << game.substr(0, 100);
    std::ofstream(kept + "games/notes.txt") << "mine";
    std::ofstream(kept + "last.replay") << game;
    EXPECT_EQ(runExecutable(noDisplay, "--replays", dir), 0);
    EXPECT_EQ(readTextFile(dir + "out"),
              kept + "games/2026-01-03_09-30-05_15800.replay\tdamaged: is truncated\n" + kept +
                  "games/2026-01-02_10-00-00_15800.replay\t2026-01-02 10:00:00\t15800 points\tlevel "
                  "3\t32 s\n");
    EXPECT_EQ(runExecutable(noDisplay, "--replay --verify", dir), 0);
    EXPECT_NE(readTextFile(dir + "err").find("showing the last game"), std::string::npos);
    std::filesystem::copy_file(kept + "last.replay", kept + "best.replay");
    runExecutable(noDisplay, "--replay --verify", dir);
    EXPECT_NE(readTextFile(dir + "err").find("showing the best game"), std::string::npos);
}

// The ways a session can end that let the game end itself: a termination
// request, the window's close button, and the exit screen.
enum class Ending { REQUEST, CLOSED, EXIT_SCREEN };

// Runs the real entry function with the real timer and, once the title has
// reached the screen, ends it one of those ways: the first two after the
// music slider was moved on the menu and a game has run for a second, the
// exit screen from the menu (a key to the menu, then Escape). The teardown
// must leave nothing behind, the sound device closed, and the entry function
// return 0 (within ten seconds, however busy the machine).
void runUntilEnded(const std::string& root, Ending ending) {
    setenv("QPEDIR", root.c_str(), 1);
    static int argc = 1;
    static char name[] = "corvusraiders";
    static char* argv[] = {name, nullptr};
    PlatformApplication outer(argc, argv); // lets the test send the request
    const uint8_t* fb = testdriver::deviceFrameBuffer() + (300 * DEVICE_WIDTH + 2) * 2;
    const auto titleShown = [fb] { return uint16_t(fb[0] | fb[1] << 8) == testPictureColour(6); };
    int waited = 0;  // ms
    bool asked = false, requested = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        waited += 20;
        if (waited > 10000)
            _exit(1);  // never shown, or the request went unanswered
        const auto press = [](int key) {
            testdriver::sendKey(key, true);
            testdriver::sendKey(key, false);
        };
        if (!asked && titleShown()) {
            asked = true;
            press(0x20);  // to the menu
            if (ending == Ending::EXIT_SCREEN) {
                press(0x01000000);  // Escape
            } else {
                testdriver::sendMouse(160, 148, 0);  // the music slider
                testdriver::sendMouse(160, 148, 2);
                press('N');
            }
        }
        if (requested || ending == Ending::EXIT_SCREEN || !asked || levelFrames < 50)
            return;  // asked once
        requested = true;
        if (ending == Ending::REQUEST)
            raise(SIGTERM);
        else
            hostWindow(theWidget)->close();
    });
    poll.start(20);
    const int rc = corvusMain(argc, argv);
    const bool tornDown = !theWidget && !backBuffer && !titlePicture && !shipSprites[0] &&
                          !smallRocks[11] && !audioOpen;
    // The frames ran on the real timer and reached the screen (the request
    // came once the title was shown); the test's Qt application outlives the
    // entry function's own.
    _exit(rc == 0 && tornDown && asked && QCoreApplication::instance() ? 42 : 1);
}

TEST(Executable, EveryWayTheGameEndsItselfRunsTheTeardownKeepsTheGameAndTheSettings) {
    // The child runs this test again with the same environment, so both
    // sides agree on the folders.
    if (!std::getenv("CORVUS_ENDS_HOME"))
        setenv("CORVUS_ENDS_HOME", makeTempDir("ends").c_str(), 1);
    for (Ending ending : {Ending::REQUEST, Ending::CLOSED, Ending::EXIT_SCREEN}) {
        const std::string home = std::getenv("CORVUS_ENDS_HOME") + std::to_string(int(ending)) + "/";
        const std::string last = home + "corvusraiders/last.replay";
        setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        setenv("XDG_STATE_HOME", home.c_str(), 1);
        // With the window closed, the last game's file is a link into a
        // drive that is not mounted: that save fails, saying why.
        std::filesystem::create_directories(home + "corvusraiders");
        if (ending == Ending::CLOSED && !std::filesystem::is_symlink(last))
            std::filesystem::create_symlink(home + "unmounted/games/last.replay", last);
        const std::string root = makeTestDataRoot();
        EXPECT_EXIT(runUntilEnded(root, ending), ::testing::ExitedWithCode(42),
                    ending == Ending::CLOSED ? "could not save the replay .*last.replay \\(No such "
                                               "file or directory\\)"
                                             : "")
            << int(ending);
        if (ending == Ending::EXIT_SCREEN)
            continue;
        // The slider's volume is saved, and the game under way is kept: it
        // verifies up to its last whole frame and says that it ended early.
        EXPECT_NE(readTextFile(home + "corvusraiders/corvusraiders.conf").find("music_volume = 124"),
                  std::string::npos) << int(ending);
        if (ending == Ending::CLOSED) {
            EXPECT_FALSE(std::filesystem::exists(home + "unmounted"));
            continue;
        }
        const std::string dir = makeTempDir("verify");
        EXPECT_EQ(runExecutable("QPEDIR='" + root + "'", "--replay '" + last + "' --verify", dir), 0);
        EXPECT_NE(readTextFile(dir + "out").find("last.replay: ended early"), std::string::npos)
            << readTextFile(dir + "out") << readTextFile(dir + "err");
    }
}

// A recorded game shown in the window: the window's title names it, and
// Escape leaves with status 0.
void watchReplay() {
    setenv("QPEDIR", buildDataRoot().c_str(), 1);
    static char name[] = "corvusraiders", replay[] = "--replay";
    static char file[] = CORVUS_SOURCE_DIR "/tests/replays/quit.replay";
    static char* argv[] = {name, replay, file, nullptr};
    int argc = 3;
    PlatformApplication outer(argc, argv);
    bool named = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!theWidget || named)
            return;
        named = hostWindow(theWidget)->windowTitle() == "CorvusRaiders: replay of quit.replay";
        testdriver::sendKey(0x01000000, true);
        testdriver::sendKey(0x01000000, false);
    });
    poll.start(20);
    _exit(corvusMain(argc, argv) == 0 && named ? 42 : 1);
}

TEST(Executable, AReplayInTheWindowIsNamedInItsTitle) {
    EXPECT_EXIT(watchReplay(), ::testing::ExitedWithCode(42), "");
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

// A recorded game and copies of it changed in one place each, signed again
// where the change is not about the checksum itself: reading refuses what is
// damaged, and what reads well must still be the game it says it is. Every
// fact of the header, the values the new game started from, the seed and
// every input count.
TEST(ReplayFile, DamagedForgedAndDivergingFilesAreToldFromTheGameTheyClaim) {
    const std::string whole = readTextFile(CORVUS_SOURCE_DIR "/tests/replays/quit.replay");
    ReplayFile file;
    std::string error;
    ASSERT_TRUE(parseReplay(whole, file, error)) << error;
    const auto changed = [&](size_t at, uint32_t by, bool sign = true) {
        std::string b = whole;
        uint32_t v;
        std::memcpy(&v, b.data() + at, sizeof v);
        v += by;
        std::memcpy(b.data() + at, &v, sizeof v);
        if (sign) signReplay(reinterpret_cast<uint8_t*>(b.data()), b.size());
        return b;
    };
    // The first press of the fire key turned into its release: a shot less.
    size_t fire = 0;
    const auto* records = reinterpret_cast<const uint8_t*>(whole.data());
    for (size_t pos = file.inputsAt, at = pos; !fire; at = pos) {
        Input in{INPUT_FRAME};
        if (!decodeInput(records, whole.size(), pos, in)) break;
        if (in.kind == INPUT_KEY_DOWN && in.a == KEY_SPACE && !in.repeat) fire = at;
    }
    ASSERT_NE(fire, 0u);
    const size_t world = file.worldAt, scoreInWorld = world + 24;
    // Bytes, the exit status of --verify, and the start of what it says.
    const std::tuple<std::string, int, const char*> cases[] = {
        {whole.substr(0, whole.size() - 1), 2, "is truncated"},
        {whole + "x", 2, "is damaged (bytes after its end)"},
        {changed(whole.size() - 20, 1, false), 2, "is damaged (its checksum does not match)"},
        {changed(REPLAY_AT_FORMAT, 1), 2, "is a replay of format 3; this build reads format 2"},
        {changed(REPLAY_AT_RULES, 1), 2, "was recorded by a build whose game rules differ"},
        {whole.substr(0, 8), 2, "is not a replay of this game"},
        {changed(REPLAY_AT_FLAGS, 2), 2, "is damaged (its header has bits no recording sets)"},
        {changed(REPLAY_AT_FLAGS, REPLAY_ENDED_EARLY), 2, "is damaged (its records do not add up)"},
        {changed(REPLAY_AT_SEED, 1), 2, "is damaged (its starting world is not one the game can be in)"},
        {changed(REPLAY_AT_DRAWS, 1), 2, "is damaged (its starting world is not one the game can be in)"},
        {changed(scoreInWorld, 100), 1, "differs at frame "},
        {changed(REPLAY_AT_SCORE, 99999999), 1, "differs at frame "},
        {changed(REPLAY_AT_LEVEL, 1), 1, "differs at frame "},
        {changed(fire, INPUT_KEY_UP - INPUT_KEY_DOWN), 1, "differs at frame "},
        {whole, 0, ""},
    };
    const std::string dir = makeTempDir("forged");
    for (const auto& [bytes, status, want] : cases) {
        std::ofstream(dir + "game.replay", std::ios::binary) << bytes;
        EXPECT_EQ(runExecutable("QPEDIR='" CORVUS_BIN_DIR "/..'",  // no slash at its end
                                "--replay '" + dir + "game.replay' --verify", dir),
                  status) << want;
        const std::string said = readTextFile(dir + (status == 1 ? "out" : "err"));
        EXPECT_NE(said.find(want), std::string::npos) << want << "\n" << said;
    }

    // The seed is checked by a jump of the generator over every draw made
    // before the game began: it lands where drawing one by one does.
    for (uint64_t draws : {0, 1, 30, 31, 32, 1000, 123457}) {
        seedWorldRandom(77);
        for (uint64_t n = 0; n < draws; ++n) worldRandom();
        WorldRandomState drawn, jumped;
        saveWorldRandom(drawn);
        worldRandomAfter(77, draws, jumped);
        EXPECT_EQ(std::memcmp(&drawn, &jumped, sizeof drawn), 0) << draws;
    }
}

} // namespace
