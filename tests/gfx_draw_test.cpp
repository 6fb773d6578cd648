// Back-buffer primitives: dimming, lines, rectangles and the colour-keyed
// copy, the latter checked against a plain one-pixel-at-a-time loop.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <vector>

#include "gfx/gfx.h"

namespace {

constexpr uint16_t BG = 0x5555;
using Buffer = std::vector<uint16_t>;
using Changes = std::map<int, int>; // position y * 240 + x -> new value

// Runs `draw` on a screen of background and returns what it changed.
template <typename Draw> Changes changes(Draw draw) {
    Buffer buf(SCREEN_PIXELS, BG);
    draw(buf.data());
    Changes c;
    for (int i = 0; i < SCREEN_PIXELS; ++i)
        if (buf[i] != BG) c[i] = buf[i];
    return c;
}

TEST(DimPixel, EveryPixelAtEveryFactorAndTheWholeScreen) {
    EXPECT_EQ(dimPixel(0xFFFF, DIM_FACTOR), 0x9CF3);  // the menus' dimming keeps 20/32
    // The single-multiplication trick against per-channel scaling.
    for (int factor = 0; factor <= 32; ++factor)
        for (int p = 0; p <= 0xFFFF; ++p) {
            const int r = (p >> 11) * factor / 32, g = ((p >> 5) & 63) * factor / 32,
                      b = (p & 31) * factor / 32;
            ASSERT_EQ(dimPixel(uint16_t(p), factor), (r << 11) | (g << 5) | b)
                << "pixel " << p << " factor " << factor;
        }

    // The whole-screen dimming, eight pixels at a time, agrees with dimPixel.
    std::vector<uint16_t> source(SCREEN_PIXELS), target(SCREEN_PIXELS);
    for (int i = 0; i < SCREEN_PIXELS; ++i) source[i] = uint16_t(i * 2654435761u >> 13);
    dimBuffer(target.data(), source.data(), DIM_FACTOR);
    for (int i = 0; i < SCREEN_PIXELS; ++i)
        ASSERT_EQ(target[i], dimPixel(source[i], DIM_FACTOR)) << "pixel " << i;
}

TEST(Primitives, LinesRectanglesAndTheColourKey) {
    // A line's length counts the pixels after the first.
    EXPECT_EQ(changes([](uint16_t* t) {
                  drawHLine(10, 5, 0, 0xF800, t);
                  drawHLine(10, 6, -1, 0xF800, t);
              }),
              (Changes{{5 * 240 + 10, 0xF800}}));
    // Rows are as long as the widget.
    const int32_t savedWidth = widgetWidth;
    widgetWidth = 100;
    EXPECT_EQ(changes([](uint16_t* t) { drawHLine(3, 2, 1, 7, t); }),
              (Changes{{203, 7}, {204, 7}}));
    widgetWidth = savedWidth;
    // Right column included, bottom row excluded; no rows when bottom <= top.
    EXPECT_EQ(changes([](uint16_t* t) {
                  fillRect(10, 10, 12, 12, 9, t);
                  fillRect(50, 50, 60, 50, 9, t);
              }),
              (Changes{{2410, 9}, {2411, 9}, {2412, 9}, {2650, 9}, {2651, 9}, {2652, 9}}));
    // Only 0 is transparent; pixels are read in rows without gaps.
    const Picture small{3, 2};
    const uint16_t pix[6] = {1, 0, 3, 4, 0x0001, 0};
    EXPECT_EQ(changes([&](uint16_t* t) { EXPECT_TRUE(blitPicture(&small, 237, 318, pix, t)); }),
              (Changes{{318 * 240 + 237, 1},
                       {318 * 240 + 239, 3},
                       {319 * 240 + 237, 4},
                       {319 * 240 + 238, 1}}));
}

// keyedCopyRow works eight pixels at a time: every length and alignment
// against the plain loop, about half the pixels transparent.
TEST(KeyedCopy, MatchesThePlainLoopOnRandomData) {
    std::mt19937 rng(3);
    auto randomFill = [&](Buffer& v) {
        for (uint16_t& p : v)
            p = (rng() & 1) ? uint16_t(rng()) : 0;
    };
    Buffer src(80), dst(80), want;
    for (int offset = 0; offset < 8; ++offset)
        for (int n = 0; n <= 64; ++n) {
            randomFill(src);
            randomFill(dst);
            want = dst;
            for (int i = offset; i < offset + n; ++i)
                if (src[i] != 0) want[i] = src[i];
            keyedCopyRow(dst.data() + offset, src.data() + offset, n);
            ASSERT_EQ(dst, want) << "length " << n << " offset " << offset;
        }
}

} // namespace
