// Back-buffer primitives: dimming, lines, rectangles and the colour-keyed
// copies (pictures and sprites), the latter checked against plain loops.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "game/sprite.h"
#include "gfx/gfx.h"

namespace {

constexpr uint16_t BACKGROUND = 0x5555;

std::vector<uint16_t> screen(uint16_t fill = BACKGROUND) {
    return std::vector<uint16_t>(SCREEN_PIXELS, fill);
}

int countNot(const std::vector<uint16_t>& buf, uint16_t v) {
    int n = 0;
    for (uint16_t p : buf)
        n += p != v;
    return n;
}

TEST(DimPixel, KnownValuesAndIdentities) {
    EXPECT_EQ(dimPixel(0xFFFF, DIM_FACTOR), 0x9CF3);
    EXPECT_EQ(dimPixel(0xF800, DIM_FACTOR), 0x9800);
    EXPECT_EQ(dimPixel(0x07E0, DIM_FACTOR), 0x04E0);
    EXPECT_EQ(dimPixel(0x001F, DIM_FACTOR), 0x0013);
}

TEST(DimPixel, MatchesPerChannelScalingForEveryPixelAndFactor) {
    for (int factor = 0; factor <= 32; ++factor) {
        for (int p = 0; p <= 0xFFFF; ++p) {
            int r = (p >> 11) * factor / 32;
            int g = ((p >> 5) & 63) * factor / 32;
            int b = (p & 31) * factor / 32;
            uint16_t want = uint16_t((r << 11) | (g << 5) | b);
            ASSERT_EQ(dimPixel(uint16_t(p), factor), want) << "pixel " << p << " factor " << factor;
        }
    }
    EXPECT_EQ(dimPixel(0x1234, 32), 0x1234);
    EXPECT_EQ(dimPixel(0xFFFF, 0), 0);
}

TEST(DimBuffer, CoversTheWholeFrame) {
    std::vector<uint16_t> src(SCREEN_PIXELS), dst = screen(1);
    for (int i = 0; i < SCREEN_PIXELS; ++i)
        src[i] = uint16_t(i * 2654435761u >> 16);
    dimBuffer(dst.data(), src.data(), DIM_FACTOR);
    for (int i = 0; i < SCREEN_PIXELS; ++i)
        ASSERT_EQ(dst[i], dimPixel(src[i], DIM_FACTOR)) << i;
}

TEST(Lines, LengthCountsPixelsAfterTheFirst) {
    auto buf = screen();
    drawHLine(10, 5, 0, 0xF800, buf.data());
    EXPECT_EQ(countNot(buf, BACKGROUND), 1);
    EXPECT_EQ(buf[5 * 240 + 10], 0xF800);

    buf = screen();
    drawHLine(10, 5, -1, 0xF800, buf.data());
    EXPECT_EQ(countNot(buf, BACKGROUND), 0);

    buf = screen();
    drawHLine(0, 319, 239, 0x07E0, buf.data()); // last full row
    EXPECT_EQ(countNot(buf, BACKGROUND), 240);
    EXPECT_EQ(buf[SCREEN_PIXELS - 1], 0x07E0);

    // No clipping: a line past the row's end carries on in the next row.
    buf = screen();
    drawHLine(238, 0, 3, 0x001F, buf.data());
    EXPECT_EQ(buf[238], 0x001F);
    EXPECT_EQ(buf[240], 0x001F);
    EXPECT_EQ(buf[241], 0x001F);
    EXPECT_EQ(buf[242], BACKGROUND);
}

TEST(Lines, RowLengthFollowsTheWidgetWidth) {
    auto buf = screen();
    int32_t saved = widgetWidth;
    widgetWidth = 100;
    drawHLine(3, 2, 1, 0xFFFF, buf.data());
    widgetWidth = saved;
    EXPECT_EQ(buf[203], 0xFFFF);
    EXPECT_EQ(buf[204], 0xFFFF);
    EXPECT_EQ(countNot(buf, BACKGROUND), 2);
}

TEST(Rectangles, RightColumnIncludedBottomRowExcluded) {
    auto buf = screen();
    fillRect(10, 10, 20, 15, 0x1234, buf.data());
    EXPECT_EQ(countNot(buf, BACKGROUND), 11 * 5);
    for (int y = 10; y < 15; ++y)
        for (int x = 10; x <= 20; ++x)
            ASSERT_EQ(buf[y * 240 + x], 0x1234) << x << "," << y;
    EXPECT_EQ(buf[15 * 240 + 10], BACKGROUND);
    EXPECT_EQ(buf[10 * 240 + 21], BACKGROUND);

    buf = screen();
    fillRect(10, 10, 20, 10, 0x1234, buf.data());
    fillRect(10, 12, 20, 11, 0x1234, buf.data());
    EXPECT_EQ(countNot(buf, BACKGROUND), 0);
}

TEST(Blit, TransparentPictureChangesNothingAndPixelsAreReadStraightThrough) {
    auto buf = screen();
    Picture empty{30, 20};
    std::vector<uint16_t> zeros(30 * 20, 0);
    EXPECT_TRUE(blitPicture(&empty, 5, 5, zeros.data(), buf.data()));
    EXPECT_EQ(countNot(buf, BACKGROUND), 0);

    Picture small{3, 2};
    const uint16_t pix[6] = {1, 0, 3, 4, 0x0001, 0};
    EXPECT_TRUE(blitPicture(&small, 237, 318, pix, buf.data()));
    EXPECT_EQ(buf[318 * 240 + 237], 1);
    EXPECT_EQ(buf[318 * 240 + 238], BACKGROUND);
    EXPECT_EQ(buf[318 * 240 + 239], 3);
    EXPECT_EQ(buf[319 * 240 + 237], 4);
    EXPECT_EQ(buf[319 * 240 + 238], 0x0001);
    EXPECT_EQ(buf[319 * 240 + 239], BACKGROUND);
}

// Random contents with about half the pixels transparent.
void randomFill(std::vector<uint16_t>& v, std::mt19937& rng) {
    for (uint16_t& p : v)
        p = (rng() & 1) ? uint16_t(rng()) : 0;
}

TEST(KeyedCopies, RowCopyMatchesThePlainLoopForEveryLengthAndAlignment) {
    std::mt19937 rng(3);
    std::vector<uint16_t> src(80), dst(80), want;
    for (int offset = 0; offset < 8; ++offset) {
        for (int n = 0; n <= 64; ++n) {
            randomFill(src, rng);
            randomFill(dst, rng);
            want = dst;
            for (int i = 0; i < n; ++i)
                if (src[offset + i] != 0) want[offset + i] = src[offset + i];
            keyedCopyRow(dst.data() + offset, src.data() + offset, n);
            ASSERT_EQ(dst, want) << "length " << n << " offset " << offset;
        }
    }
}

TEST(KeyedCopies, BlitMatchesThePlainLoopOnRandomData) {
    std::mt19937 rng(99);
    for (int round = 0; round < 200; ++round) {
        Picture pic{int32_t(1 + rng() % 240), int32_t(1 + rng() % 100)};
        int x = int(rng() % (241 - pic.width));
        int y = int(rng() % (321 - pic.height));
        std::vector<uint16_t> pix(size_t(pic.width) * pic.height);
        randomFill(pix, rng);
        std::vector<uint16_t> got(SCREEN_PIXELS), want;
        randomFill(got, rng);
        want = got;

        blitPicture(&pic, x, y, pix.data(), got.data());
        size_t k = 0;
        for (int r = 0; r < pic.height; ++r)
            for (int c = 0; c < pic.width; ++c, ++k)
                if (pix[k] != 0) want[(y + r) * 240 + x + c] = pix[k];
        ASSERT_EQ(got, want) << "round " << round;
    }
}

TEST(KeyedCopies, SpriteDrawMatchesAPerPixelClippedLoop) {
    std::mt19937 rng(7);
    const int sheetW = 300, sheetH = 200;
    std::vector<uint16_t> sheet(size_t(sheetW) * sheetH);
    for (int round = 0; round < 400; ++round) {
        randomFill(sheet, rng);
        Sprite s;
        int w = 1 + int(rng() % 60), h = 1 + int(rng() % 40);
        int frames = sheetW / (w + 1);
        int rows = sheetH / (h + 1);
        s.setup(sheetW, sheetH, int(rng() % rows), w, h, frames);
        s.frame = int(rng() % frames);
        s.x = float(int(rng() % 400) - 80) + float(rng() % 4) * 0.25f;
        s.y = float(int(rng() % 480) - 80) + float(rng() % 4) * 0.25f;
        std::vector<uint16_t> got(SCREEN_PIXELS), want;
        randomFill(got, rng);
        want = got;

        EXPECT_TRUE(s.draw(sheet.data(), got.data()));
        int sx = int(s.x), sy = int(s.y);
        for (int r = 0; r < h; ++r) {
            for (int c = 0; c < w; ++c) {
                int X = sx + c, Y = sy + r;
                if (X < 0 || X > 238 || Y < 0 || Y > 318) continue;
                uint16_t p =
                    sheet[size_t(s.sheetRow * (h + 1) + r) * sheetW + s.frame * (w + 1) + c];
                if (p != 0) want[Y * 240 + X] = p;
            }
        }
        ASSERT_EQ(got, want) << "round " << round << " at " << s.x << "," << s.y << " size " << w
                             << "x" << h;
    }
}

} // namespace
