// Frame driver: composition per game state, the re-entry guard, the pause
// round trip and presenting in every display rotation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>
#include <vector>

#include "support/runner.h"
#include "ui/ui.h"

namespace {

constexpr int QT_F11 = 0x0100003a, QT_SPACE = 0x20;  // the pause and fire keys, as the host window gets them

uint16_t picture(int file) { return testPictureColour(file); }

// A picture expected on a screen: `height` rows of `width` pixels from row
// `top` of a sheet `stride` pixels wide, with its top-left corner at (x, y) of
// the screen; pixel value 0 is transparent. A null sheet stands for the
// options panel with the items left out.
struct Shown {
    uint16_t* const* sheet;
    int stride, top, width, height, x, y;
};
constexpr Shown OPTIONS = {nullptr, 0, 0, 0, 0, 0, 0};
constexpr Shown BANNER = {&bannerPixels, 240, 0, 240, 60, 0, 20};
constexpr Shown MENU_PANEL = {&menuPixels, 240, 0, 240, 100, 0, 80};
constexpr Shown EXIT_PANEL = {&exitPixels, 240, 0, 240, 180, 0, 100};
// Menu item `strip` (142 x 24, strips 25 rows apart on their sheet) at (x, y).
constexpr Shown item(int strip, int x, int y) { return {&menuItemPixels, 142, 25 * strip, 142, 24, x, y}; }

// Each picture screen against its own pictures at their places, with the
// generated art, where every item looks different: the whole frame must be
// the dimmed (or plain) source with exactly those pictures over it in order.
TEST(FrameDriver, EachPictureScreenShowsItsOwnPicturesAtTheirPlaces) {
    unsetenv("QWS_DISPLAY");
    HeadlessRunner runner(buildDataRoot());
    for (int i = 0; i < SCREEN_PIXELS; ++i)
        pauseSnapshot[i] = uint16_t(i * 7919);  // the frozen game frame
    struct Screen {
        GameState state;
        uint16_t* const* source;
        bool dim;
        std::vector<Shown> shown;
    };
    const Screen screens[] = {
        {STATE_TITLE, &titlePixels, false, {BANNER}},
        {STATE_MENU, &titlePixels, true, {MENU_PANEL, BANNER, OPTIONS, item(0, 49, 195), item(1, 10, 280),
                                          item(3, 88, 280), item(5, 49, 230)}},
        {STATE_PAUSED, &pauseSnapshot, true, {MENU_PANEL, BANNER, OPTIONS, item(0, 49, 195),
                                              item(2, 10, 280), item(4, 88, 280), item(5, 49, 230)}},
        {STATE_REDEFINE_KEYS, &titlePixels, true, {MENU_PANEL, BANNER, OPTIONS, item(6, 49, 210)}},
        {STATE_EXITING, &titlePixels, true, {EXIT_PANEL, BANNER}},
    };
    std::vector<uint16_t> want(SCREEN_PIXELS), noItems(size_t(menuItemSheet->width) * menuItemSheet->height);
    for (const Screen& s : screens) {
        gameState = s.state;
        runner.frames(1);
        for (int i = 0; i < SCREEN_PIXELS; ++i)
            want[i] = s.dim ? dimPixel((*s.source)[i], DIM_FACTOR) : (*s.source)[i];
        uint16_t* const composed = std::exchange(backBuffer, want.data());
        for (const Shown& p : s.shown) {
            if (!p.sheet) {
                uint16_t* const items = std::exchange(menuItemPixels, noItems.data());
                drawOptions();
                menuItemPixels = items;
                continue;
            }
            for (int r = 0; r < p.height; ++r)
                for (int c = 0; c < p.width; ++c)
                    if (const uint16_t v = (*p.sheet)[(p.top + r) * p.stride + c])
                        want[(p.y + r) * SCREEN_WIDTH + p.x + c] = v;
        }
        backBuffer = composed;
        int wrong = 0;
        for (int y = 0; y < SCREEN_HEIGHT; ++y)
            for (int x = 0; x < SCREEN_WIDTH; ++x)
                wrong += runner.screenPixel(x, y) != want[y * SCREEN_WIDTH + x];
        EXPECT_EQ(wrong, 0) << "state " << s.state;
    }
}

TEST(FrameDriver, PlayStepsTheWorldAndNoFrameNests) {
    unsetenv("QWS_DISPLAY");
    HeadlessRunner runner;
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

// A pause from any screen of a game, by key or pen, freezes the frame shown
// and takes no second pause key; left by a key (which does nothing else) or
// the pen, it comes back to that screen with its timer where it was.
TEST(FrameDriver, APauseComesBackToTheScreenItLeftWithItsTimer) {
    HeadlessRunner runner;
    newGame();
    setupLevel();
    // The screen, its timer, and whether the pen pauses and resumes (the pen
    // cannot pause a lost ship or the game's end).
    const std::tuple<GameState, int32_t*, bool, bool> rows[] = {
        {STATE_PLAYING, &highScoreMessageTimer, true, false},
        {STATE_PLAYING, &highScoreMessageTimer, false, true},
        {STATE_LEVEL_CLEARED, &levelEndTimer, true, true},
        {STATE_NEXT_LEVEL, &levelEndTimer, false, false},
        {STATE_SHIP_LOST, &respawnDelay, false, true},
        {STATE_GAME_OVER, &gameOverTimer, false, false}};
    for (auto [state, timer, penPauses, penResumes] : rows) {
        gameState = state;
        *timer = 37;
        const std::vector<uint16_t> shown(backBuffer, backBuffer + SCREEN_PIXELS);
        penPauses ? runner.penPress(120, 60) : runner.pressKey(QT_F11);
        EXPECT_EQ(std::memcmp(pauseSnapshot, shown.data(), SCREEN_BYTES), 0) << state;
        runner.frames(3);
        runner.pressKey(QT_F11);
        EXPECT_EQ(gameState, STATE_PAUSED) << state;
        penResumes ? runner.penPress(20, 300) : runner.pressKey(QT_SPACE);
        EXPECT_EQ(gameState, state);
        EXPECT_EQ(*timer, 37) << state;
        EXPECT_FALSE(std::any_of(shotSprites, shotSprites + SHOT_SLOTS, [](Sprite* s) { return s->isActive(); }));
    }
}

// Framebuffer (column, row) that shows back-buffer pixel (x, y) in rotation 0,
// 1 (its first pixel at (0, 239)) or 3 (at (319, 0)).
std::pair<int, int> place(int orientation, int x, int y) {
    return orientation == 0   ? std::pair{x, y}
           : orientation == 1 ? std::pair{y, 239 - x}
                              : std::pair{319 - y, x};
}

// The display's rotation as the frame driver presents it: every pixel of the
// frame at its turned place, and nothing at all upside down.
TEST(FrameDriver, EachRotationPlacesEveryPixelAndUpsideDownNothing) {
    const std::pair<const char*, int> displays[] = {
        {"Transformed:Rot0", 0}, {"Transformed:Rot90", 1}, {"Transformed:Rot270:0", 3},
        {"Transformed:Rot180", 2}};
    for (auto [display, o] : displays) {
        setenv("QWS_DISPLAY", display, 1);
        HeadlessRunner runner;
        // A title of scattered bits, so that a misplaced pixel or bit shows
        // (the banner goes over it).
        for (int i = 0; i < SCREEN_PIXELS; ++i)
            titlePixels[i] = uint16_t((uint32_t(i) * 2654435761u) >> 13);
        std::memset(testdriver::deviceFrameBuffer(), 0xab, FRAMEBUFFER_BYTES);
        runner.frames(1);
        int wrong = 0;
        for (int y = 0; y < SCREEN_HEIGHT; ++y)
            for (int x = 0; x < SCREEN_WIDTH; ++x) {
                const auto [col, row] = place(o, x, y);
                wrong += o == 2 ? runner.screenPixel(x, y) != 0xabab
                                : runner.screenPixel(col, row) != backBuffer[y * SCREEN_WIDTH + x];
            }
        EXPECT_EQ(wrong, 0) << display;
    }
    unsetenv("QWS_DISPLAY");
}

} // namespace
