// The application shell: the launch setting, a fatal resource failure,
// the game widget's focus and size, the command line, and the game clock.
#include <gtest/gtest.h>

#include <SDL_mixer.h>

#include <algorithm>
#include <cctype>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/replay.h"
#include "audio/audio.h"
#include "platform/host.h"
#include "support/runner.h"
#include "ui/ui.h"

namespace {

TEST(Launch, GrabKeysSettingDecidesTheKeyboardGrab) {
    const std::string data = makeTestDataRoot();
    for (auto [value, grabs] : {std::pair{"", 1}, {"0", 0}, {"-3", 1}}) {
        const std::string home = makeTempDir("config");
        if (*value) {
            std::filesystem::create_directories(home + "corvusraiders");
            std::ofstream(home + "corvusraiders/Kelpworks.conf")
                << "[corvusraiders]\nGrabKeys = " << value << "\n";
        }
        const int before = testdriver::keyboardGrabs();
        HeadlessRunner runner(data, 1, home);
        EXPECT_EQ(testdriver::keyboardGrabs() - before, grabs) << value;
    }
    EXPECT_EQ(std::string(musicPath), data + "lib/corvusraiders_demo/tinytune.xm");
}

TEST(Resources, AMissingPictureAfterTheTitleEndsTheProgramWithItsMessage) {
    // The background is missing too: its box comes first, and the program
    // goes on to the exit screen's picture, reported under the title's name.
    const std::string data = makeTestDataRoot();
    std::filesystem::remove(data + "lib/corvusraiders_demo/pp1");
    std::filesystem::remove(data + "lib/corvusraiders_demo/pp7");
    // No sprite is made after it, and the program is asked to end.
    const auto setUp = [&data] {
        HeadlessRunner runner(data);
        _exit(PlatformApplication::quitting() && !shipSprites[0] ? 0 : 9);
    };
    EXPECT_EXIT(setUp(), ::testing::ExitedWithCode(0),
                "CorvusRaiders: Failure to load background image\nCould not read .*/pp1\n"
                "Fatal Error: Error loading title image\nCould not read .*/pp7\n$");
}

PadState scriptedPad;  // what the test's pad reports
bool readScriptedPad(PadState& state) { return state = scriptedPad, true; }

TEST(Widget, FocusMakesFullScreenOnceSuspendsFramesAndThePadAndTheSizeIsKept) {
    HeadlessRunner runner;
    padReader = readScriptedPad;
    scriptedPad.buttons = padBit(PAD_START);  // Start, held since the game started: not a press
    runner.frames(1);
    EXPECT_EQ(gameState, STATE_TITLE);
    scriptedPad = PadState();
    GameWidget* w = theWidget;
    w->focusInEvent(); // focused again without losing it
    EXPECT_EQ(testdriver::showFullScreenCalls(w), 1);

    newGame();
    gameState = STATE_PLAYING;
    thrusting = turningLeft = true;
    runner.setFocus(false);
    EXPECT_FALSE(thrusting || turningLeft);
    EXPECT_TRUE(Mix_PausedMusic());
    const int32_t before = levelFrames;
    scriptedPad.buttons = padBit(PAD_START);  // Start, held from now on
    runner.frames(4);
    EXPECT_EQ(levelFrames, before);
    EXPECT_EQ(gameState, STATE_PLAYING);
    // Even a frame forced while suspended does not reach the screen.
    std::memset(testdriver::deviceFrameBuffer(), 0, FRAMEBUFFER_BYTES);
    runFrame();
    EXPECT_EQ(runner.screenPixel(120, 318), 0);

    runner.setFocus(true);
    EXPECT_FALSE(Mix_PausedMusic());
    EXPECT_EQ(testdriver::showFullScreenCalls(w), 2);
    EXPECT_TRUE(w->isFullScreen());
    runner.frames(4);
    EXPECT_EQ(levelFrames, before + 5);
    EXPECT_NE(runner.screenPixel(120, 318), 0);
    // Held since before the focus came back, Start counts only when pressed anew.
    EXPECT_EQ(gameState, STATE_PLAYING);
    scriptedPad.buttons = 0;
    runner.frames(1);
    scriptedPad.buttons = padBit(PAD_START);
    runner.frames(1);
    EXPECT_EQ(gameState, STATE_PAUSED);
    EXPECT_EQ(w->host()->cursor().shape(), Qt::BlankCursor);  // the pad hides the pointer

    w->setFixedSize(100, 100);  // resized by someone else: back to the whole screen
    EXPECT_TRUE(w->width() == 240 && w->height() == 320 && widgetWidth == 240 && w->fullScreenDone);
}

CommandLine parse(std::vector<const char*> args) {
    args.insert(args.begin(), "corvusraiders");
    return parseCommandLine(int(args.size()), const_cast<char**>(args.data()));
}

TEST(CommandLine, OptionsInEitherSpellingAndEveryMistakeRefused) {
    // Arguments; then action, full screen, scale and orientation.
    struct Case { std::vector<const char*> args; CommandLine::Action want; int full, scale, rot; };
    const Case cases[] = {
        {{}, CommandLine::PLAY, 0, 0, -1},
        {{"--fullscreen", "--scale", "3", "--rotate=270"}, CommandLine::PLAY, 1, 3, 3},
        {{"--scale=16", "--rotate", "0", "--rotate", "90"}, CommandLine::PLAY, 0, 16, 1},
        {{"--scale", "2", "--help", "--version"}, CommandLine::HELP, 0, 2, -1},
        {{"-h"}, CommandLine::HELP, 0, 0, -1},
        {{"--replays"}, CommandLine::LIST_REPLAYS, 0, 0, -1},
    };
    for (const auto& c : cases) {
        const CommandLine line = parse(c.args);
        const std::string shown = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(line.action, c.want) << shown;
        EXPECT_EQ(line.error[0], 0) << shown;
        EXPECT_EQ(std::vector<int>({line.display.fullScreen, line.display.scale,
                                    line.display.orientation}),
                  std::vector<int>({c.full, c.scale, c.rot})) << shown;
    }
    const std::vector<const char*> refused[] = {
        {"--scale", "0"}, {"--scale", "17"}, {"--scale=+2"}, {"--scale", "99999999999"},
        {"--scale"}, {"--rotate", "45"}, {"--rotate", "360"}, {"--scaled"}, {"-platform", "x"},
        {"--version", "--bogus"}, {"--help", "stray"}, {"--replays", "--replay", "x"}};
    for (const auto& args : refused) {
        const CommandLine line = parse(args);
        EXPECT_TRUE(line.action == CommandLine::REFUSE && line.error[0]) << args[0];
    }
    // An answer that cannot be written is no success.
    const CommandLine help = parse({"-h"});
    EXPECT_EXIT(std::exit(std::freopen("/dev/full", "w", stdout) ? answerCommandLine(help) : 3),
                ::testing::ExitedWithCode(1), "cannot write to standard output");
}

// Alt+Enter belongs to the window: on the title, Alt waits to see whether
// Enter follows. Bound to a control, Alt acts the moment it goes down, on a
// lost ship's screen too.
TEST(Widget, AltWaitsForEnterUnlessItIsBound) {
    HeadlessRunner runner;
    runner.keyDown(Qt::Key_Alt);
    runner.pressKey(Qt::Key_Return);
    runner.keyUp(Qt::Key_Alt);
    EXPECT_TRUE(gameState == STATE_TITLE && hostWindow(theWidget)->isFullScreen());
    newGame();
    gameState = STATE_SHIP_LOST;
    keyBindings.pause = 0x1023;
    runner.keyDown(Qt::Key_Alt);
    EXPECT_EQ(gameState, STATE_PAUSED);
}

int64_t clockNow = 0;
int64_t testClock() { return clockNow; }

TEST(GameClock, CountsFromItsFirstUseInThirtyTwoBits) {
    setTimeSource(testClock);
    clockBase = 0;
    clockNow = 0xfffffff0;  // low 32 bits about to wrap
    EXPECT_EQ(gameClock(), 0);
    clockNow += 0x20;
    EXPECT_EQ(gameClock(), 0x20);
    clockNow = 0xfffffff0 + (int64_t(1) << 31);
    EXPECT_LT(gameClock(), 0);
    setTimeSource(nullptr);
    clockBase = 0;

    // The real source is the steady clock, which setting the time of day
    // does not move.
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    EXPECT_NEAR(double(steadyClockMs()), ts.tv_sec * 1000.0 + ts.tv_nsec / 1e6, 1000.0);
}

// The world's globals are written out three times: declared with their unit
// in game/game.h under their lifetime, given their start value in
// resetWorldState by that lifetime, and listed in the replay's world bytes.
// A changing global declared without the other two (or reset with the wrong
// lifetime) fails here. Sprites and the direction tables are made once at
// set-up and are not among them.
TEST(WorldLists, EveryChangingGlobalHasItsResetByLifetimeAndItsReplayBytes) {
    const std::string header = readTextFile(CORVUS_SOURCE_DIR "/game/game.h");
    const std::string globals = readTextFile(CORVUS_SOURCE_DIR "/game/globals.cpp");
    const std::string world = readTextFile(CORVUS_SOURCE_DIR "/app/world_state.cpp");
    const auto between = [](const std::string& text, const std::string& from, const std::string& to) {
        const size_t a = text.find(from), b = text.find(to, a);
        return a == std::string::npos || b == std::string::npos ? std::string() : text.substr(a, b - a);
    };
    // `name` as a whole word of `text`.
    const auto mentions = [](const std::string& text, const std::string& name) {
        const auto word = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
        for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at + 1))
            if ((at == 0 || !word(text[at - 1])) &&
                (at + name.size() == text.size() || !word(text[at + name.size()])))
                return true;
        return false;
    };
    const std::string reset = between(globals, "void resetWorldState(", "\n}\n");
    const std::string runScope = between(reset, "if (scope == WorldReset::RUN)", "\n    }\n");
    const std::string gameScope = between(reset, "if (scope != WorldReset::LEVEL)", "\n    }\n");
    const std::string levelScope = reset.substr(std::min(reset.size(), reset.find(gameScope) + gameScope.size()));
    const std::string visited = between(world, "template <class V> void visitWorld(", "\n}\n");
    // Written by every course before it is read, so not in a replay (the
    // world's list says why).
    const std::string notInReplays[] = {"respawnOnNextLevel"};
    struct Lifetime { const char* from; const char* to; const std::string& resetIn; };
    const Lifetime lifetimes[] = {
        {"// Whole run: program state", "// Direction tables", runScope},
        {"// Carried over:", "// Per game:", runScope},
        {"// Per game:", "// Per level attempt:", gameScope},
        {"// Per level attempt:", "// Operations", levelScope},
    };
    // "extern TYPE NAME;" or "extern TYPE NAME[N];": the name.
    const auto declared = [](const std::string& section) {
        std::vector<std::string> names;
        std::istringstream lines(section);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::string keyword, type, name;
            if (words >> keyword >> type >> name && keyword == "extern")
                names.push_back(name.substr(0, name.find_first_of("[;")));
        }
        return names;
    };
    int checked = 0;
    for (const Lifetime& lifetime : lifetimes) {
        const std::string section = between(header, lifetime.from, lifetime.to);
        ASSERT_FALSE(section.empty() || lifetime.resetIn.empty()) << lifetime.from;
        for (const std::string& name : declared(section)) {
            ++checked;
            EXPECT_TRUE(mentions(lifetime.resetIn, name)) << name << " has no start value in its lifetime's reset";
            const bool exempt = std::find(std::begin(notInReplays), std::end(notInReplays), name) != std::end(notInReplays);
            EXPECT_EQ(mentions(visited, name), !exempt) << name << " and the replay's world bytes";
        }
    }
    EXPECT_GT(checked, 40);
}

} // namespace
