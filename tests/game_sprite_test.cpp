// Sprite: frame selection, clock-timed animation, clipped drawing with the
// colour key, and the wrap / bounce / exit-right motion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

#include "app/app.h"
#include "game/sprite.h"
#include "gfx/gfx.h"
#include "platform/platform.h"

namespace {

int64_t fakeNow = 5000000; // ms of the fake time of day

// An active sprite of `frames` frames of strip 1, last stepped now.
Sprite make(int frames, int frame = 0, int32_t flags = 0, int w = 32, int h = 24) {
    Sprite s;
    s.setup(100, 70, 1, w, h, frames);
    std::tie(s.frame, s.flags, s.active, s.lastFrameTime) =
        std::make_tuple(frame, flags, true, gameClock());
    return s;
}

TEST(SpriteAnimation, StepsAfterMoreThanTheDelayWrapsAndEndsOneShots) {
    setTimeSource([] { return fakeNow; });
    Sprite s = make(4), loop = make(3, 2), back = make(6, 0);
    Sprite once = make(1, 0, SPRITE_ONE_SHOT), onceBack = make(4, 1, SPRITE_ONE_SHOT);
    s.setFrame(-1); // out of range: ignored
    s.setFrame(4);
    const int32_t start = s.lastFrameTime;
    fakeNow += 50; // exactly the delay: nothing happens
    s.nextFrame();
    once.nextFrame();
    EXPECT_TRUE(s.frame == 0 && s.lastFrameTime == start && once.active);

    fakeNow += 10;
    for (Sprite* p : {&s, &s, &loop, &once}) // the second call finds no time passed
        p->nextFrame();
    back.prevFrame();
    onceBack.prevFrame();
    EXPECT_EQ((std::vector<int>{s.frame, s.lastFrameTime - start, loop.frame, back.frame}),
              (std::vector<int>{1, 60, 0, 5}));
    EXPECT_TRUE(loop.active && back.active && onceBack.active);
    EXPECT_FALSE(once.active); // a one-shot strip ends when it runs out, either way

    fakeNow += 10000; // a long pause still makes only one step
    s.nextFrame();
    onceBack.prevFrame();
    EXPECT_TRUE(s.frame == 2 && !onceBack.active);
    setTimeSource(nullptr);
}

TEST(SpriteDrawing, ClipsAtEveryEdgeAndKeysOnZero) {
    // Frame 1 of strip 1 of 32 x 24 frames on a sheet 100 pixels wide; each
    // frame pixel is 1 + column + 64 * row, the rest of the sheet 0xFFFF.
    constexpr int W = 32, H = 24;
    constexpr uint16_t BG = 0x0F0F;
    auto frameValue = [](int c, int r) { return uint16_t(1 + c + 64 * r); };
    std::vector<uint16_t> sheet(100 * 70, 0xFFFF), target;
    for (int r = 0; r < H; ++r)
        for (int c = 0; c < W; ++c)
            sheet[(H + 1 + r) * 100 + W + 1 + c] = frameValue(c, r);
    Sprite s = make(2, 1);
    auto at = [&](int x, int y) { return target[y * SCREEN_WIDTH + x]; };
    auto drawAt = [&](float x, float y) { // returns the number of pixels written
        target.assign(SCREEN_PIXELS, BG);
        std::tie(s.x, s.y) = std::make_tuple(x, y);
        EXPECT_TRUE(s.draw(sheet.data(), target.data()));
        return int(SCREEN_PIXELS - std::count(target.begin(), target.end(), BG));
    };

    // Drawn only in columns 0..238 and rows 0..318. Each case: position,
    // pixels written, the top-left drawn pixel and the frame pixel it shows.
    const float cases[][7] = {
        {10, 10, W * H, 10, 10, 0, 0},    {230, 10, 9 * H, 238, 10, 8, 0},
        {-10, 10, 22 * H, 0, 10, 10, 0},  {-0.5f, 10, W * H, 0, 10, 0, 0},
        {10, 300, W * 19, 10, 300, 0, 0}, {10, -5, W * 19, 10, 0, 0, 5},
        {-31, -23, 1, 0, 0, 31, 23},
    };
    for (const auto& k : cases) {
        EXPECT_EQ(drawAt(k[0], k[1]), int(k[2])) << k[0] << "," << k[1];
        EXPECT_EQ(at(int(k[3]), int(k[4])), frameValue(int(k[5]), int(k[6])))
            << k[0] << "," << k[1];
    }
    const float off[][2] = {{239, 10},  {-32, 10},      {10, 319}, {10, -24},
                            {1e20f, 0}, {-INFINITY, 0}, {NAN, 0}};
    for (const auto& p : off)
        EXPECT_EQ(drawAt(p[0], p[1]), 0) << p[0] << "," << p[1];

    sheet[(H + 1) * 100 + W + 1] = 0;      // frame pixel (0,0)
    sheet[(H + 1) * 100 + W + 2] = 0x0001; // frame pixel (1,0)
    EXPECT_EQ(drawAt(50, 50), W * H - 1);
    EXPECT_TRUE(at(50, 50) == BG && at(51, 50) == 0x0001);
}

TEST(SpriteMotion, EdgeRulesAndTheirPrecedence) {
    // A 32 x 32 sprite moved once inside bounds 0, 0, 319, 239: x, y, vx, vy
    // before, and after with whether it is still active.
    constexpr int32_t WRAP = SPRITE_WRAP, BOUNCE = SPRITE_BOUNCE, EXIT = SPRITE_EXIT_RIGHT;
    struct Move { const char* what; int32_t flags; float from[4], to[5]; };
    const Move moves[] = {
        {"wrap right", WRAP, {239, 100, 0.5f, 0}, {-32, 100, 0.5f, 0, 1}},
        {"wrap left", WRAP, {-32, 100, -0.5f, 0}, {239, 100, -0.5f, 0, 1}},
        {"wrap: on the bounds", WRAP, {238, -31, 1, -1}, {239, -32, 1, -1, 1}},
        {"wrap bottom", WRAP, {10, 319, 0, 0.5f}, {10, -32, 0, 0.5f, 1}},
        {"bounce right", BOUNCE, {230, 100, 1, 0}, {231, 100, -1, 0, 1}},
        {"bounce: right - width", BOUNCE, {206, 100, 1, 0}, {207, 100, 1, 0, 1}},
        {"bounce top", BOUNCE, {50, 0.5f, 0, -1}, {50, -0.5f, 0, 1, 1}},
        {"bounce bottom", BOUNCE, {50, 288, 0, 0.5f}, {50, 288.5f, 0, -0.5f, 1}},
        {"exit right", EXIT, {239, 100, 0.5f, 0}, {239.5f, 100, 0.5f, 0, 0}},
        {"exit: on the bound", EXIT, {238, 100, 1, 0}, {239, 100, 1, 0, 1}},
        {"exit: left, top", EXIT, {-100, -100, -5, -5}, {-105, -105, -5, -5, 1}},
        {"exit: bottom", EXIT, {100, 500, 0, 5}, {100, 505, 0, 5, 1}},
        {"wrap first", WRAP | BOUNCE | EXIT, {239, 100, 1, 0}, {-32, 100, 1, 0, 1}},
        {"bounce before exit", BOUNCE | EXIT, {239, 100, 1, 0}, {240, 100, -1, 0, 1}},
    };
    for (const auto& m : moves) {
        Sprite s = make(1, 0, m.flags, 32, 32);
        std::tie(s.x, s.y, s.vx, s.vy) = std::tie(m.from[0], m.from[1], m.from[2], m.from[3]);
        s.move(0, 0, 319, 239);
        EXPECT_EQ(std::vector<float>({s.x, s.y, s.vx, s.vy, float(s.active)}),
                  std::vector<float>(m.to, m.to + 5))
            << m.what;
        if (m.flags == BOUNCE && m.to[2] != m.from[2]) {
            s.move(0, 0, 319, 239); // still outside: turns back again
            EXPECT_EQ(s.vx, m.from[2]) << m.what;
        }
    }

    // The screen's bounds come from the widget: height - 1 and width - 1.
    Sprite s = make(1, 0, WRAP, 32, 32);
    std::tie(s.x, s.y, s.vx, s.vy) = std::make_tuple(99.0f, 49.0f, 0.5f, 0.5f);
    const int32_t w = widgetWidth, h = widgetHeight;
    std::tie(widgetWidth, widgetHeight) = std::make_tuple(100, 50);
    s.moveWithinScreen();
    std::tie(widgetWidth, widgetHeight) = std::make_tuple(w, h);
    EXPECT_EQ(std::make_pair(s.x, s.y), std::make_pair(-32.0f, -32.0f));
}

} // namespace
