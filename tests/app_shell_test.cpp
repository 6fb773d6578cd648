// The application shell: launch setting and paths, resource set-up, the game
// widget's focus and key handling, and the game clock.
#include <gtest/gtest.h>

#include <ctime>

#include <QKeyEvent>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "support/runner.h"

namespace {

TEST(Launch, GrabKeysSettingDecidesTheKeyboardGrab) {
    const struct {
        const char* value;
        bool grabs;
    } cases[] = {{nullptr, true}, {"0", false}, {"-3", true}};
    const std::string data = makeTestDataRoot();
    for (const auto& c : cases) {
        const std::string home = makeTempDir("config");
        if (c.value) {
            std::filesystem::create_directories(home + "corvusraiders");
            std::ofstream(home + "corvusraiders/Kelpworks.conf")
                << "[corvusraiders]\nGrabKeys = " << c.value << "\n";
        }
        const int before = PlatformApplication::keyboardGrabs();
        HeadlessRunner runner(data, 1, home);
        EXPECT_EQ(PlatformApplication::keyboardGrabs() - before, c.grabs ? 1 : 0)
            << (c.value ? c.value : "missing");
    }
}

TEST(Launch, PathsCaptionAndTheStateAfterSetUp) {
    const std::string data = makeTestDataRoot();
    HeadlessRunner runner(data);
    const std::string folder = data + "lib/corvusraiders_demo";
    EXPECT_EQ(std::string(dataDirectory), folder);
    EXPECT_EQ(std::string(picturePaths[1]), folder + "/pp1");
    EXPECT_EQ(std::string(picturePaths[9]), folder + "/pp9");
    for (const auto& track : trackPaths)
        EXPECT_EQ(std::string(track), folder + "/tinytune.xm");
    EXPECT_STREQ(theWidget->caption(), "CorvusRaiders");
    EXPECT_EQ(GameWidget::instance, theWidget);

    EXPECT_TRUE(gameState == STATE_TITLE && rocksLeft == 12 && nextExtraLifeScore == 25000);
    EXPECT_TRUE(widgetWidth == 240 && widgetHeight == 320);
    // Objects wait idle; their sheets take the pictures' sizes.
    for (Sprite* s : {shipSprites[0], bossShip, livesDigit, shotSprites[0], menuItemSprites[0],
                      bigRocks[0], smallRocks[11], trackNameSprite})
        EXPECT_FALSE(s->isActive());
    EXPECT_TRUE(shipSprites[0]->getSheetWidth() == 200 && shipSprites[0]->getSheetHeight() == 850);
    EXPECT_TRUE(bigRocks[0]->getSheetWidth() == 774 && menuItemSprites[0]->getSheetWidth() == 142);
}

TEST(Resources, MissingBackgroundIsShownAndTheGameGoesOn) {
    const std::string data = makeTestDataRoot();
    std::filesystem::remove(data + "lib/corvusraiders_demo/pp1");
    testing::internal::CaptureStderr();
    HeadlessRunner runner(data);
    runner.frames(1);
    EXPECT_EQ(runner.screenPixel(2, 300), testPictureColour(6));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("CorvusRaiders: Failure to load background image\nCould not read " + data +
                       "lib/corvusraiders_demo/pp1\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("Fatal"), std::string::npos) << err;
}

TEST(Resources, EachMissingPictureEndsTheProgramWithItsMessage) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    // Indexed by picture file number; pp1, the background, is not fatal.
    const std::string named[] = {"",     "",      "rock",  "text",  "text",
                                 "by64", "title", "title", "title", "menu"};
    for (int file = 2; file <= 9; ++file) {
        const std::string data = makeTestDataRoot();
        std::filesystem::remove(data + "lib/corvusraiders_demo/pp" + std::to_string(file));
        EXPECT_EXIT(
            {
                HeadlessRunner runner(data);
                _exit(9);
            },
            ::testing::ExitedWithCode(0),
            "Fatal Error: Error loading " + named[file] + " image\nCould not read .*/pp" +
                std::to_string(file) + "\n$");
    }
}

PadState scriptedPad;  // what the test's pad reports
bool readScriptedPad(PadState& state) { return state = scriptedPad, true; }

TEST(Widget, FocusMakesFullScreenOnceAndSuspendsFramesAndThePad) {
    HeadlessRunner runner;
    padReader = readScriptedPad;
    scriptedPad = PadState();
    GameWidget* w = theWidget;
    EXPECT_EQ(w->showFullScreenCalls(), 1);
    w->focusInEvent(); // focused again without losing it
    EXPECT_EQ(w->showFullScreenCalls(), 1);

    newGame();
    gameState = STATE_PLAYING;
    thrusting = turningLeft = true;
    runner.setFocus(false);
    EXPECT_FALSE(thrusting || turningLeft);
    const int32_t before = levelFrames;
    scriptedPad.buttons = 1 << 7;  // Start, held from now on
    runner.frames(4);
    EXPECT_EQ(levelFrames, before);
    EXPECT_EQ(gameState, STATE_PLAYING);
    // Even a frame forced while suspended does not reach the screen.
    std::memset(deviceFrameBuffer(), 0, FRAMEBUFFER_BYTES);
    runFrame();
    EXPECT_EQ(runner.screenPixel(120, 318), 0);

    runner.setFocus(true);
    EXPECT_EQ(w->showFullScreenCalls(), 2);
    EXPECT_TRUE(w->isFullScreen());
    runner.frames(4);
    EXPECT_EQ(levelFrames, before + 5);
    EXPECT_NE(runner.screenPixel(120, 318), 0);
    // Held since before the focus came back, Start counts only when pressed anew.
    EXPECT_EQ(gameState, STATE_PLAYING);
    scriptedPad.buttons = 0;
    runner.frames(1);
    scriptedPad.buttons = 1 << 7;
    runner.frames(1);
    EXPECT_EQ(gameState, STATE_PAUSED);
}

TEST(Widget, AutoRepeatedKeysAreDroppedAndTheSizeIsKept) {
    HeadlessRunner runner;
    runner.keyDown(Qt::Key_Space, true);
    EXPECT_EQ(gameState, STATE_TITLE);
    runner.keyUp(Qt::Key_Space);
    runner.keyDown(Qt::Key_Space);
    EXPECT_NE(gameState, STATE_TITLE);

    theWidget->setFixedSize(100, 100);
    EXPECT_TRUE(theWidget->width() == 240 && theWidget->height() == 320);
    EXPECT_TRUE(widgetWidth == 240 && theWidget->fullScreenDone);
}

TEST(CommandLine, OptionsInEitherSpellingAndEveryMistakeRefused) {
    const struct {
        std::vector<const char*> args;
        CommandLine::Action action;
        bool fullScreen;
        int scale, orientation;
    } cases[] = {
        {{}, CommandLine::PLAY, false, 0, -1},
        {{"--fullscreen", "--scale", "3", "--rotate=270"}, CommandLine::PLAY, true, 3, 3},
        {{"--scale=16", "--rotate", "0", "--rotate", "90"}, CommandLine::PLAY, false, 16, 1},
        {{"--scale", "2", "--help", "--bogus"}, CommandLine::HELP, false, 2, -1},
        {{"--version"}, CommandLine::VERSION, false, 0, -1},
        {{"-h"}, CommandLine::HELP, false, 0, -1},
        {{"--scale", "0"}, CommandLine::REFUSE, false, 0, -1},
        {{"--scale", "17"}, CommandLine::REFUSE, false, 0, -1},
        {{"--scale=+2"}, CommandLine::REFUSE, false, 0, -1},
        {{"--scale", "99999999999"}, CommandLine::REFUSE, false, 0, -1},
        {{"--scale"}, CommandLine::REFUSE, false, 0, -1},
        {{"--rotate", "45"}, CommandLine::REFUSE, false, 0, -1},
        {{"--rotate", "360"}, CommandLine::REFUSE, false, 0, -1},
        {{"--scaled"}, CommandLine::REFUSE, false, 0, -1},
        {{"-platform", "offscreen"}, CommandLine::REFUSE, false, 0, -1},
        {{"game.sav"}, CommandLine::REFUSE, false, 0, -1},
    };
    for (const auto& c : cases) {
        std::vector<char*> argv{const_cast<char*>("corvusraiders")};
        for (const char* a : c.args) argv.push_back(const_cast<char*>(a));
        const CommandLine line = parseCommandLine(int(argv.size()), argv.data());
        const std::string shown = c.args.empty() ? "(none)" : c.args[0];
        EXPECT_EQ(line.action, c.action) << shown;
        EXPECT_EQ(line.error[0] != 0, c.action == CommandLine::REFUSE) << shown;
        if (c.action == CommandLine::REFUSE)
            continue;
        EXPECT_EQ(line.display.fullScreen, c.fullScreen) << shown;
        EXPECT_EQ(line.display.scale, c.scale) << shown;
        EXPECT_EQ(line.display.orientation, c.orientation) << shown;
    }
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

} // namespace
