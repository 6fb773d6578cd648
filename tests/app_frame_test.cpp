// Frame driver: composition per game state, the re-entry guard, presenting in
// every display rotation, and the exit screen's countdown.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <vector>

#include "support/runner.h"

namespace {

// A pixel of the screen area the options panel and menu items never touch.
constexpr int FREE_X = 2, FREE_Y = 300;

uint16_t dimmed(int file) { return dimPixel(testPictureColour(file), DIM_FACTOR); }

class FrameDriver : public ::testing::Test {
protected:
    void SetUp() override {
        unsetenv("QWS_DISPLAY");
        runner = std::make_unique<HeadlessRunner>();
    }
    void TearDown() override { runner.reset(); }
    std::unique_ptr<HeadlessRunner> runner;
};

TEST_F(FrameDriver, ScreensAreBuiltFromThePicturesByState) {
    // Title: the picture undimmed, the banner over it; the frame is presented.
    runner->frames(1);
    EXPECT_EQ(runner->backPixel(FREE_X, FREE_Y), testPictureColour(6));
    EXPECT_EQ(runner->backPixel(100, 30), testPictureColour(4));
    EXPECT_EQ(runner->screenPixel(FREE_X, FREE_Y), testPictureColour(6));
    EXPECT_EQ(runner->screenPixel(100, 30), testPictureColour(4));

    // Menu and key redefinition: dimmed title, menu panel at row 80, banner.
    for (GameState s : {STATE_MENU, STATE_REDEFINE_KEYS}) {
        gameState = s;
        runner->frames(1);
        EXPECT_EQ(runner->backPixel(FREE_X, FREE_Y), dimmed(6)) << s;
        EXPECT_EQ(runner->backPixel(FREE_X, 10), dimmed(6)) << s;
        EXPECT_EQ(runner->backPixel(FREE_X, 30), testPictureColour(4)) << s;
        EXPECT_EQ(runner->backPixel(FREE_X, 85), testPictureColour(9)) << s;
        EXPECT_EQ(runner->backPixel(FREE_X, 179), testPictureColour(9)) << s;
        EXPECT_EQ(runner->backPixel(FREE_X, 180), dimmed(6)) << s;
    }

    // Pause: the frozen game frame, dimmed.
    constexpr uint16_t FROZEN = 0x7bef;
    std::fill(pauseSnapshot, pauseSnapshot + SCREEN_PIXELS, FROZEN);
    gameState = STATE_PAUSED;
    runner->frames(1);
    EXPECT_EQ(runner->backPixel(FREE_X, FREE_Y), dimPixel(FROZEN, DIM_FACTOR));
    EXPECT_EQ(runner->backPixel(FREE_X, 85), testPictureColour(9));
    EXPECT_EQ(runner->backPixel(FREE_X, 30), testPictureColour(4));
}

TEST_F(FrameDriver, OnlyGameStatesStepTheWorld) {
    for (GameState s : {STATE_TITLE, STATE_MENU, STATE_PAUSED, STATE_REDEFINE_KEYS}) {
        gameState = s;
        const int32_t before = levelFrames;
        runner->frames(3);
        EXPECT_EQ(levelFrames, before) << s;
    }
    newGame();
    gameState = STATE_PLAYING;
    const int32_t before = levelFrames;
    runner->frames(5);
    EXPECT_EQ(levelFrames, before + 5);
    // The play field starts from the background picture.
    EXPECT_EQ(runner->backPixel(120, 318), testPictureColour(1));
}

TEST_F(FrameDriver, NestedFrameDoesNothing) {
    runner->frames(1);
    std::fill(backBuffer, backBuffer + SCREEN_PIXELS, uint16_t(0x1234));
    std::memset(deviceFrameBuffer(), 0x55, FRAMEBUFFER_BYTES);
    newGame();
    gameState = STATE_PLAYING;
    const int32_t before = levelFrames;

    frameInProgress = true;
    runFrame();
    EXPECT_TRUE(frameInProgress);
    EXPECT_EQ(levelFrames, before);
    EXPECT_EQ(backBuffer[0], 0x1234);
    EXPECT_EQ(deviceFrameBuffer()[0], 0x55);

    frameInProgress = false;
    runFrame();
    EXPECT_FALSE(frameInProgress);
    EXPECT_EQ(levelFrames, before + 1);
}

TEST_F(FrameDriver, SuspendedWindowRunsNoFrameAndShowsNothing) {
    runner->setFocus(false);
    std::memset(deviceFrameBuffer(), 0, FRAMEBUFFER_BYTES);
    std::fill(backBuffer, backBuffer + SCREEN_PIXELS, uint16_t(0));
    runner->frames(3);
    EXPECT_EQ(runner->backPixel(FREE_X, FREE_Y), 0);

    // A frame forced while suspended is composed but not presented.
    runFrame();
    EXPECT_EQ(runner->backPixel(FREE_X, FREE_Y), testPictureColour(6));
    EXPECT_EQ(runner->screenPixel(FREE_X, FREE_Y), 0);

    runner->setFocus(true);
    runner->frames(1);
    EXPECT_EQ(runner->screenPixel(FREE_X, FREE_Y), testPictureColour(6));
}

// Back-buffer test pattern; distinct enough that a misplaced pixel shows.
uint16_t pattern(int x, int y) { return uint16_t(x * 31 + y * 7919 + 1); }

class Presenting : public ::testing::Test {
protected:
    void SetUp() override {
        buffer.resize(SCREEN_PIXELS);
        backBuffer = buffer.data();
        for (int y = 0; y < SCREEN_HEIGHT; ++y)
            for (int x = 0; x < SCREEN_WIDTH; ++x) buffer[y * SCREEN_WIDTH + x] = pattern(x, y);
        fb.assign(FRAMEBUFFER_BYTES, 0xab);
    }
    void TearDown() override { backBuffer = nullptr; }
    uint16_t at(int col, int row, int rowPixels) const {
        const uint8_t* p = fb.data() + (row * rowPixels + col) * 2;
        return uint16_t(p[0] | (p[1] << 8));
    }
    std::vector<uint16_t> buffer;
    std::vector<uint8_t> fb;
};

TEST_F(Presenting, Upright) {
    presentFrame(fb.data(), 0);
    EXPECT_EQ(std::memcmp(fb.data(), buffer.data(), FRAMEBUFFER_BYTES), 0);
}

TEST_F(Presenting, QuarterTurnAnticlockwise) {
    presentFrame(fb.data(), 1);
    EXPECT_EQ(at(0, 239, 320), pattern(0, 0));
    EXPECT_EQ(at(319, 0, 320), pattern(239, 319));
    int wrong = 0;
    for (int y = 0; y < SCREEN_HEIGHT; ++y)
        for (int x = 0; x < SCREEN_WIDTH; ++x) wrong += at(y, 239 - x, 320) != pattern(x, y);
    EXPECT_EQ(wrong, 0);
}

TEST_F(Presenting, QuarterTurnClockwise) {
    presentFrame(fb.data(), 3);
    EXPECT_EQ(at(319, 0, 320), pattern(0, 0));
    EXPECT_EQ(at(0, 239, 320), pattern(239, 319));
    int wrong = 0;
    for (int y = 0; y < SCREEN_HEIGHT; ++y)
        for (int x = 0; x < SCREEN_WIDTH; ++x) wrong += at(319 - y, x, 320) != pattern(x, y);
    EXPECT_EQ(wrong, 0);
}

TEST_F(Presenting, UpsideDownAndUnknownRotationsCopyNothing) {
    for (int orientation : {2, 4, -1}) {
        presentFrame(fb.data(), orientation);
        EXPECT_EQ(std::count(fb.begin(), fb.end(), 0xab), FRAMEBUFFER_BYTES) << orientation;
    }
}

TEST(FrameDriverRotation, TurnedDisplayGetsTheTurnedFrame) {
    setenv("QWS_DISPLAY", "Transformed:Rot270:0", 1);
    {
        HeadlessRunner runner;
        runner.frames(1);
        // Banner rows 20..79 of the device are columns 240..299 of the turned screen.
        EXPECT_EQ(runner.screenPixel(319 - 30, 5), testPictureColour(4));
        EXPECT_EQ(runner.screenPixel(319 - 300, 5), testPictureColour(6));
    }
    unsetenv("QWS_DISPLAY");
}

// The exit screen: settings written each frame, 100 frames shown, and the
// 101st composition ends the process with status 0.
void runExitScreen() {
    HeadlessRunner runner;
    gameState = STATE_EXITING;
    runner.frames(1);
    if (runner.backPixel(FREE_X, FREE_Y) != dimmed(6) ||
        runner.backPixel(FREE_X, 150) != testPictureColour(7) ||
        runner.backPixel(FREE_X, 30) != testPictureColour(4))
        _exit(3);
    if (access(runner.settingsPath().c_str(), F_OK) != 0)
        _exit(4);
    runner.frames(99);
    if (exitCountdown != 0)
        _exit(5);
    runner.frames(1);
    _exit(6);  // still running: the countdown did not end the process
}

TEST(ExitScreen, EndsAfterOneHundredAndOneFrames) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(runExitScreen(), ::testing::ExitedWithCode(0), "");
}

} // namespace
