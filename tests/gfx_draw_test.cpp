// Back-buffer primitives: the dimming of a pixel and the lines. (The
// colour-keyed copy, the rectangles and the whole-screen dimming draw the
// pictures that the recorded games, the frame driver's composed screens and
// the options panel's knobs are compared pixel by pixel.)
#include <gtest/gtest.h>

#include <map>
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

TEST(DimPixel, EveryPixelAtEveryFactor) {
    EXPECT_EQ(dimPixel(0xFFFF, DIM_FACTOR), 0x9CF3);  // the menus' dimming keeps 20/32
    // The single-multiplication trick against per-channel scaling.
    for (int factor = 0; factor <= 32; ++factor)
        for (int p = 0; p <= 0xFFFF; ++p) {
            const int r = (p >> 11) * factor / 32, g = ((p >> 5) & 63) * factor / 32,
                      b = (p & 31) * factor / 32;
            ASSERT_EQ(dimPixel(uint16_t(p), factor), (r << 11) | (g << 5) | b)
                << "pixel " << p << " factor " << factor;
        }
}

TEST(Lines, CountThePixelsAfterTheFirstInRowsAsLongAsTheWidgets) {
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
}

} // namespace
