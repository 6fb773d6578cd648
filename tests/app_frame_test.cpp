// Frame driver: composition per game state, the re-entry guard, presenting in
// every display rotation, and the exit screen's countdown.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/config.h"
#include "support/runner.h"

namespace {

constexpr int FREE_X = 2;  // a screen column the options panel and menu items never touch

uint16_t picture(int file) { return testPictureColour(file); }
uint16_t dimmed(int file) { return dimPixel(testPictureColour(file), DIM_FACTOR); }

TEST(FrameDriver, ScreensByStateOnlyPlayStepsTheWorldAndNoFrameNests) {
    unsetenv("QWS_DISPLAY");
    HeadlessRunner runner;
    // Presented colours down the free column, at the given rows.
    auto expectColumn = [&runner](std::initializer_list<std::pair<int, uint16_t>> rows) {
        for (auto [y, colour] : rows)
            EXPECT_EQ(runner.screenPixel(FREE_X, y), colour) << "row " << y;
    };
    // Title: the picture as it is with the banner over it.
    runner.frames(1);
    expectColumn({{300, picture(6)}, {30, picture(4)}});

    // Menu and key redefinition: dimmed title, banner, menu panel rows 80..179.
    for (GameState s : {STATE_MENU, STATE_REDEFINE_KEYS}) {
        SCOPED_TRACE(s);
        gameState = s;
        runner.frames(1);
        expectColumn({{10, dimmed(6)}, {30, picture(4)}, {85, picture(9)}, {179, picture(9)},
                      {180, dimmed(6)}});
    }

    // Pause: the frozen game frame, dimmed, under the menu panel.
    constexpr uint16_t FROZEN = 0x7bef;
    std::fill(pauseSnapshot, pauseSnapshot + SCREEN_PIXELS, FROZEN);
    gameState = STATE_PAUSED;
    runner.frames(3);
    expectColumn({{300, dimPixel(FROZEN, DIM_FACTOR)}, {85, picture(9)}, {30, picture(4)}});
    // A frozen frame that changes while paused is dimmed anew.
    pauseSnapshot[300 * SCREEN_WIDTH + FREE_X] = 0xffff;
    runner.frames(1);
    expectColumn({{300, dimPixel(0xffff, DIM_FACTOR)}, {301, dimPixel(FROZEN, DIM_FACTOR)}});
    EXPECT_EQ(levelFrames, 0); // none of the picture screens steps the game

    newGame();
    gameState = STATE_PLAYING;
    const int32_t before = levelFrames;
    runner.frames(5);
    EXPECT_EQ(levelFrames, before + 5);
    EXPECT_EQ(runner.screenPixel(120, 318), picture(1)); // drawn over the background

    // A frame started inside another one touches nothing.
    std::fill(backBuffer, backBuffer + SCREEN_PIXELS, uint16_t(0x1234));
    std::memset(testdriver::deviceFrameBuffer(), 0x55, FRAMEBUFFER_BYTES);
    frameInProgress = true;
    runFrame();
    EXPECT_TRUE(frameInProgress && levelFrames == before + 5);
    EXPECT_TRUE(backBuffer[0] == 0x1234 && testdriver::deviceFrameBuffer()[0] == 0x55);
    frameInProgress = false;
    runFrame();
    EXPECT_TRUE(!frameInProgress && levelFrames == before + 6);
}

// Framebuffer (column, row) that shows back-buffer pixel (x, y) in rotation 0, 1 or 3.
std::pair<int, int> place(int orientation, int x, int y) {
    return orientation == 0   ? std::pair{x, y}
           : orientation == 1 ? std::pair{y, 239 - x}
                              : std::pair{319 - y, x};
}

TEST(Presenting, EachRotationPlacesEveryPixelAndUpsideDownNothing) {
    EXPECT_TRUE(place(1, 0, 0) == std::pair(0, 239) && place(3, 0, 0) == std::pair(319, 0));
    // Back-buffer test pattern; distinct enough that a misplaced pixel shows.
    auto pattern = [](int x, int y) { return uint16_t(x * 31 + y * 7919 + 1); };

    std::vector<uint16_t> buffer(SCREEN_PIXELS), fb(FRAMEBUFFER_BYTES / 2);
    for (int i = 0; i < SCREEN_PIXELS; ++i)
        buffer[i] = pattern(i % SCREEN_WIDTH, i / SCREEN_WIDTH);
    backBuffer = buffer.data();
    for (int o : {0, 1, 3, 2, 4, -1}) {
        std::fill(fb.begin(), fb.end(), uint16_t(0xabab));
        presentFrame(reinterpret_cast<uint8_t*>(fb.data()), o);
        const bool shown = o == 0 || o == 1 || o == 3; // the others leave it alone
        const int rowPixels = o == 0 ? 240 : 320;
        int wrong = 0;
        for (int y = 0; y < SCREEN_HEIGHT; ++y)
            for (int x = 0; x < SCREEN_WIDTH; ++x) {
                const auto [col, row] = place(o, x, y);
                wrong +=
                    shown ? fb[row * rowPixels + col] != pattern(x, y) : fb[y * 240 + x] != 0xabab;
            }
        EXPECT_EQ(wrong, 0) << o;
    }
    backBuffer = nullptr;
}

TEST(FrameDriverRotation, TurnedDisplayGetsTheTurnedFrame) {
    setenv("QWS_DISPLAY", "Transformed:Rot270:0", 1);
    HeadlessRunner runner;
    runner.frames(1);
    // Banner rows 20..79 of the device are columns 240..299 of the turned screen.
    EXPECT_TRUE(runner.screenPixel(319 - 30, 5) == picture(4) &&
                runner.screenPixel(319 - 300, 5) == picture(6));
    unsetenv("QWS_DISPLAY");
}

// The exit screen: settings written on its frames, and the end of the program
// asked for while composing the 101st of them, neither sooner nor later.
void runExitScreen() {
    HeadlessRunner runner;
    gameState = STATE_EXITING;
    runner.frames(1);
    if (runner.screenPixel(FREE_X, 300) != dimmed(6) ||
        runner.screenPixel(FREE_X, 150) != picture(7) ||
        runner.screenPixel(FREE_X, 30) != picture(4) ||
        readTextFile(Config::userDirectory() + "corvusraiders.conf").empty())
        _exit(3);
    int frames = 1;
    for (; !PlatformApplication::quitting() && frames < 300; ++frames)
        runner.frames(1);
    _exit(frames == 101 ? 0 : 4);
}

TEST(ExitScreen, EndsAfterOneHundredAndOneFrames) {
    EXPECT_EXIT(runExitScreen(), ::testing::ExitedWithCode(0), "");
}

} // namespace
