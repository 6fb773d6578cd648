// Sprite: construction, frame selection, clock-timed animation, clipped
// drawing with the colour key, and the wrap / bounce / exit-right motion.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "app/app.h"
#include "game/sprite.h"
#include "gfx/gfx.h"
#include "platform/platform.h"

namespace {

int64_t fakeNow = 5000000; // ms of the fake time of day
int64_t fakeTime() {
    return fakeNow;
}

class SpriteClock : public ::testing::Test {
  protected:
    void SetUp() override {
        setTimeSource(fakeTime);
        gameClock(); // fix the clock's origin; only differences matter below
    }
    void TearDown() override { setTimeSource(nullptr); }
    void advance(int ms) { fakeNow += ms; }
};

TEST(SpriteBasics, DefaultsAndFrameRange) {
    Sprite s;
    EXPECT_EQ(s.frameDelay, SPRITE_DEFAULT_DELAY);
    EXPECT_EQ(s.lastFrameTime, 0);
    EXPECT_FALSE(s.active);
    s.setup(200, 850, 3, 32, 30, 6);
    s.setFrame(5);
    s.setFrame(-1);
    s.setFrame(6);
    EXPECT_EQ(s.frame, 5);
}

TEST_F(SpriteClock, OneStepOnlyAfterMoreThanTheDelay) {
    Sprite s;
    s.setup(100, 100, 0, 10, 10, 4);
    s.lastFrameTime = gameClock();
    const int32_t start = s.lastFrameTime;

    advance(50); // exactly the delay: nothing happens
    s.nextFrame();
    EXPECT_EQ(s.frame, 0);
    EXPECT_EQ(s.lastFrameTime, start);

    advance(10); // 60 ms since the last step
    s.nextFrame();
    EXPECT_EQ(s.frame, 1);
    EXPECT_EQ(s.lastFrameTime, start + 60);

    s.nextFrame(); // no time passed
    EXPECT_EQ(s.frame, 1);

    advance(10000); // a long pause still makes only one step
    s.nextFrame();
    EXPECT_EQ(s.frame, 2);

    // With the 20 ms frame timer a 50 ms delay steps every third frame.
    int steps = 0;
    for (int i = 0; i < 30; ++i) {
        advance(20);
        int before = s.frame;
        s.nextFrame();
        steps += s.frame != before;
    }
    EXPECT_EQ(steps, 10);
}

TEST_F(SpriteClock, WrapAroundAndOneShot) {
    // Forwards past the last frame and backwards past frame 0.
    Sprite loop, back;
    loop.setup(100, 100, 0, 10, 10, 3);
    back.setup(100, 100, 0, 10, 10, 6);
    loop.active = back.active = true;
    loop.frame = 2;
    advance(100);
    loop.nextFrame();
    back.prevFrame();
    EXPECT_EQ(loop.frame, 0);
    EXPECT_EQ(back.frame, 5);
    EXPECT_TRUE(loop.active && back.active);

    // A one-frame one-shot strip ends at its first step after the delay.
    Sprite once;
    once.setup(100, 100, 0, 10, 10, 1);
    once.flags = SPRITE_ONE_SHOT;
    once.active = true;
    once.lastFrameTime = gameClock();
    advance(20);
    once.nextFrame();
    EXPECT_TRUE(once.active);
    advance(40);
    once.nextFrame();
    EXPECT_FALSE(once.active);
    EXPECT_EQ(once.frame, 0);

    // Backwards, it ends when it runs past frame 0.
    once.setup(100, 100, 0, 10, 10, 4);
    once.active = true;
    once.frame = 1;
    advance(100);
    once.prevFrame();
    EXPECT_TRUE(once.active);
    advance(100);
    once.prevFrame();
    EXPECT_FALSE(once.active);
    EXPECT_EQ(once.frame, 3);
}

// A sheet whose frame pixels tell where they came from: strip 1, frame 1 of a
// 32 x 32 layout, each pixel 1 + column + 64 * row of the frame.
class SpriteDrawing : public ::testing::Test {
  protected:
    static constexpr int SHEET_W = 100, SHEET_H = 70, SIZE = 32;
    static constexpr uint16_t BG = 0x0F0F;
    std::vector<uint16_t> sheet = std::vector<uint16_t>(SHEET_W * SHEET_H, 0xFFFF);
    std::vector<uint16_t> target = std::vector<uint16_t>(SCREEN_PIXELS, BG);
    Sprite s;

    void SetUp() override {
        for (int r = 0; r < SIZE; ++r)
            for (int c = 0; c < SIZE; ++c)
                sheet[(SIZE + 1 + r) * SHEET_W + (SIZE + 1) + c] = frameValue(c, r);
        s.setup(SHEET_W, SHEET_H, 1, SIZE, SIZE, 2);
        s.frame = 1;
    }
    static uint16_t frameValue(int c, int r) { return uint16_t(1 + c + 64 * r); }
    uint16_t at(int x, int y) const { return target[y * SCREEN_WIDTH + x]; }
    int written() const {
        int n = 0;
        for (uint16_t p : target)
            n += p != BG;
        return n;
    }
    void drawAt(float x, float y) {
        std::fill(target.begin(), target.end(), BG);
        s.x = x;
        s.y = y;
        EXPECT_TRUE(s.draw(sheet.data(), target.data()));
    }
};

TEST_F(SpriteDrawing, ClipsAtEveryEdge) {
    drawAt(10, 10);
    EXPECT_EQ(written(), SIZE * SIZE);
    EXPECT_EQ(at(10, 10), frameValue(0, 0));
    EXPECT_EQ(at(41, 41), frameValue(31, 31));

    drawAt(230, 10); // screen columns 230..238
    EXPECT_EQ(written(), 9 * SIZE);
    EXPECT_EQ(at(238, 10), frameValue(8, 0));
    EXPECT_EQ(at(239, 10), BG);

    drawAt(-10, 10); // frame columns 10..31 at screen columns 0..21
    EXPECT_EQ(written(), 22 * SIZE);
    EXPECT_EQ(at(0, 10), frameValue(10, 0));
    EXPECT_EQ(at(21, 41), frameValue(31, 31));

    drawAt(-0.5f, 10); // truncation toward zero: drawn uncut from column 0
    EXPECT_EQ(written(), SIZE * SIZE);
    EXPECT_EQ(at(0, 10), frameValue(0, 0));

    drawAt(10, 300); // screen rows 300..318
    EXPECT_EQ(written(), 19 * SIZE);
    EXPECT_EQ(at(10, 318), frameValue(0, 18));
    EXPECT_EQ(at(10, 319), BG);

    drawAt(10, -5);
    EXPECT_EQ(written(), 27 * SIZE);
    EXPECT_EQ(at(10, 0), frameValue(0, 5));

    drawAt(-31, -31); // only the frame's bottom-right pixel shows
    EXPECT_EQ(written(), 1);
    EXPECT_EQ(at(0, 0), frameValue(31, 31));
}

TEST_F(SpriteDrawing, EntirelyOffScreenWritesNothing) {
    const float inf = std::numeric_limits<float>::infinity();
    const float spots[][2] = {{239, 10},  {500, 10}, {-32, 10},         {-1000, 10},    {10, 319},
                              {10, 1000}, {10, -32}, {10, -5000},       {1e20f, 1e20f}, {-1e20f, 5},
                              {inf, 0},   {-inf, 0}, {std::nanf(""), 0}};
    for (const auto& p : spots) {
        drawAt(p[0], p[1]);
        EXPECT_EQ(written(), 0) << p[0] << "," << p[1];
    }
}

TEST_F(SpriteDrawing, OnlyZeroIsTransparent) {
    sheet[(SIZE + 1) * SHEET_W + (SIZE + 1)] = 0;          // frame pixel (0,0)
    sheet[(SIZE + 1) * SHEET_W + (SIZE + 1) + 1] = 0x0001; // frame pixel (1,0)
    drawAt(50, 50);
    EXPECT_EQ(at(50, 50), BG);
    EXPECT_EQ(at(51, 50), 0x0001);
    EXPECT_EQ(written(), SIZE * SIZE - 1);
}

// One move of a 32 x 32 sprite inside bounds 0, 0, 319, 239 from a given
// position and velocity, and everything that must hold afterwards.
struct MoveCase {
    const char* what;
    int32_t flags;
    float x, y, vx, vy;
    float wantX, wantY, wantVx, wantVy;
    bool wantActive;
};

const MoveCase MOVES[] = {
    {"wrap out right", SPRITE_WRAP, 239, 100, 0.5f, 0, -32, 100, 0.5f, 0, true},
    {"wrap out left", SPRITE_WRAP, -32, 100, -0.5f, 0, 239, 100, -0.5f, 0, true},
    {"wrap exactly on bounds", SPRITE_WRAP, 238, -31, 1, -1, 239, -32, 1, -1, true},
    {"wrap out top", SPRITE_WRAP, 10, -32, 0, -0.25f, 10, 319, 0, -0.25f, true},
    {"wrap out bottom", SPRITE_WRAP, 10, 319, 0, 0.5f, 10, -32, 0, 0.5f, true},
    {"bounce keeps turning outside", SPRITE_BOUNCE, 230, 100, 1, 0, 231, 100, -1, 0, true},
    {"bounce at right - width is inside", SPRITE_BOUNCE, 206, 100, 1, 0, 207, 100, 1, 0, true},
    {"bounce top", SPRITE_BOUNCE, 50, 0.5f, 0, -1, 50, -0.5f, 0, 1, true},
    {"bounce bottom", SPRITE_BOUNCE, 50, 288, 0, 0.5f, 50, 288.5f, 0, -0.5f, true},
    {"exit right", SPRITE_EXIT_RIGHT, 239, 100, 0.5f, 0, 239.5f, 100, 0.5f, 0, false},
    {"exit right on the bound", SPRITE_EXIT_RIGHT, 238, 100, 1, 0, 239, 100, 1, 0, true},
    {"exit left ignored", SPRITE_EXIT_RIGHT, -100, 100, -5, 0, -105, 100, -5, 0, true},
    {"exit top ignored", SPRITE_EXIT_RIGHT, 100, -100, 0, -5, 100, -105, 0, -5, true},
    {"exit bottom ignored", SPRITE_EXIT_RIGHT, 100, 500, 0, 5, 100, 505, 0, 5, true},
    {"wrap wins", SPRITE_WRAP | SPRITE_BOUNCE | SPRITE_EXIT_RIGHT, 239, 100, 1, 0, -32, 100, 1, 0,
     true},
    {"bounce wins over exit", SPRITE_BOUNCE | SPRITE_EXIT_RIGHT, 239, 100, 1, 0, 240, 100, -1, 0,
     true},
};

TEST(SpriteMotion, EdgeRulesAndTheirPrecedence) {
    for (const MoveCase& m : MOVES) {
        Sprite s;
        s.setup(100, 100, 0, 32, 32, 1);
        s.flags = m.flags;
        s.x = m.x;
        s.y = m.y;
        s.vx = m.vx;
        s.vy = m.vy;
        s.active = true;
        s.move(0, 0, 319, 239);
        EXPECT_EQ(s.x, m.wantX) << m.what;
        EXPECT_EQ(s.y, m.wantY) << m.what;
        EXPECT_EQ(s.vx, m.wantVx) << m.what;
        EXPECT_EQ(s.vy, m.wantVy) << m.what;
        EXPECT_EQ(s.active, m.wantActive) << m.what;
        if (m.flags == SPRITE_BOUNCE && m.wantVx != m.vx) {
            s.move(0, 0, 319, 239); // still outside: turns back again
            EXPECT_EQ(s.vx, m.vx) << m.what;
        }
    }
}

TEST(SpriteMotion, ScreenBoundsComeFromTheWidget) {
    Sprite s;
    s.setup(100, 100, 0, 32, 32, 1);
    s.flags = SPRITE_WRAP;
    s.x = 99.0f;
    s.y = 49.0f;
    s.vx = s.vy = 0.5f;
    int32_t w = widgetWidth, h = widgetHeight;
    widgetWidth = 100;
    widgetHeight = 50;
    s.moveWithinScreen();
    widgetWidth = w;
    widgetHeight = h;
    EXPECT_EQ(s.x, -32.0f);
    EXPECT_EQ(s.y, -32.0f);
}

} // namespace
