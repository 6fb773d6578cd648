// Sprite: the animation, drawing and motion at the edges the recorded games
// in tests/replays never reach; they play everything else a sprite does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

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

// What the recorded games never show: a frame number out of range, and a
// strip stepped back past its first frame. (Every other step plays in them.)
TEST(SpriteAnimation, FramesOutOfRangeAreIgnoredAndBackwardStepsWrapOrEndOneShots) {
    setTimeSource([] { return fakeNow; });
    Sprite s = make(4), back = make(6), onceBack = make(4, 0, SPRITE_ONE_SHOT);
    s.setFrame(-1);
    s.setFrame(4);
    fakeNow += 60;
    back.prevFrame();
    onceBack.prevFrame();
    EXPECT_EQ(std::tuple(s.frame, back.frame, back.active, onceBack.active),
              std::tuple(0, 5, true, false));
    setTimeSource(nullptr);
}

// Clipping leaves a sliver of one pixel at a corner, and a position far off
// the screen, or no number at all, draws nothing. (The other clips are drawn
// over and over in the recorded games.)
TEST(SpriteDrawing, ASliverAtTheCornerIsDrawnAndNothingFarOff) {
    const std::vector<uint16_t> sheet(100 * 70, 0x1234);
    std::vector<uint16_t> target;
    Sprite s = make(2, 1);
    const float positions[][3] = {
        {-31, -23, 1}, {1e20f, 0, 0}, {-INFINITY, 0, 0}, {NAN, 0, 0}, {0, NAN, 0}};
    for (const auto& [x, y, drawn] : positions) {
        target.assign(SCREEN_PIXELS, 0);
        std::tie(s.x, s.y) = std::tie(x, y);
        s.draw(sheet.data(), target.data());
        EXPECT_EQ(SCREEN_PIXELS - std::count(target.begin(), target.end(), 0), int(drawn))
            << x << "," << y;
    }
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

}

} // namespace
