// Picture loading: decoding by depth, the colour rule, padded scan lines,
// files of the wrong size and files that cannot be read.
#include <gtest/gtest.h>

#include <QImage>

#include <fstream>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "support/runner.h"

namespace {

constexpr uint16_t FILL = 0xABCD; // marks destination pixels nobody wrote
using Pixels = std::vector<uint16_t>;

// Saves pictures as PNG files without a suffix, like the game's own files,
// and loads them back, keeping what the loader printed.
class PictureFiles : public ::testing::Test {
  protected:
    std::string dir = makeTempDir("pictures");
    Picture pic{0, 0};
    std::string err;
    int saved = 0;

    Pixels load(const QImage& image, int w, int h) {
        const std::string path = dir + "pic" + std::to_string(++saved);
        EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
        Pixels out(size_t(w) * h, FILL);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(loadPicture(&pic, path.c_str(), w, h, out.data()));
        err = testing::internal::GetCapturedStderr();
        return out;
    }
};

TEST(ConvertImage, EachDepthWithPaddedScanLines) {
    // 8 bits, 3 pixels a row in 4-byte scan lines; indices 3 and 255 lie
    // beyond the table and give 0.
    const uint8_t bits8[8] = {0, 1, 2, 0xEE, 2, 3, 255, 0xEE};
    const uint32_t table[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    Pixels out(6, FILL);
    ASSERT_TRUE(convertImage({3, 2, 8, 3, table, bits8, 4}, 3, 2, out.data()));
    EXPECT_EQ(out, (Pixels{0xF800, 0x07C0, 0x001F, 0x001F, 0, 0}));

    // 16 bits are copied as they are, the lowest green bit (0x0020) included;
    // 8-byte scan lines hold 3 pixels and one of padding.
    const uint16_t bits16[8] = {0x0020, 0xFFFF, 0x07E0, 0xEEEE, 0x1234, 0x0001, 0x8000, 0xEEEE};
    ASSERT_TRUE(convertImage({3, 2, 16, 0, nullptr, reinterpret_cast<const uint8_t*>(bits16), 8}, 3,
                             2, out.data()));
    EXPECT_EQ(out, (Pixels{0x0020, 0xFFFF, 0x07E0, 0x1234, 0x0001, 0x8000}));

    // Any other depth is refused and leaves the array alone.
    Pixels keep(4, FILL);
    EXPECT_FALSE(convertImage({2, 2, 1, 2, nullptr, bits8, 4}, 2, 2, keep.data()));
    EXPECT_EQ(keep, Pixels(4, FILL));
}

TEST_F(PictureFiles, TrueColourByTheColourRuleGreyByItsRamp) {
    // Alpha is ignored: transparent white is still white.
    QImage img(4, 2, QImage::Format_ARGB32);
    const uint32_t argb[8] = {0xFFFFFFFF, 0xFF00FF00, 0xFFFF0000, 0xFF0000FF,
                              0x00FFFFFF, 0x80FFFFFF, 0xFF000000, 0xFF08FC08};
    for (int i = 0; i < 8; ++i)
        img.setPixel(i % 4, i / 4, argb[i]);
    EXPECT_EQ(load(img, 4, 2), (Pixels{0xFFDF, 0x07C0, 0xF800, 0x001F, 0xFFDF, 0xFFDF, 0, 0x0FC1}));
    EXPECT_EQ(err, "");

    // Width 3: each 8-bit scan line of the decoded image carries a byte of padding.
    QImage grey(3, 2, QImage::Format_Grayscale8);
    for (int i = 0; i < 6; ++i)
        grey.setPixel(i % 3, i / 3, qRgb(i * 51, i * 51, i * 51));
    EXPECT_EQ(load(grey, 3, 2), (Pixels{0, colourRule(0xFF333333), colourRule(0xFF666666),
                                        colourRule(0xFF999999), colourRule(0xFFCCCCCC), 0xFFDF}));
}

TEST_F(PictureFiles, WrongSizeIsReportedAndFittedRowByRow) {
    QImage tall(240, 319, QImage::Format_RGB32);
    tall.fill(qRgb(0xFF, 0, 0));
    const Pixels out = load(tall, 240, 320);
    EXPECT_EQ(err, "Desired size = 240,320, got 240,319\n");
    EXPECT_EQ(pic.width * 1000 + pic.height, 240320);
    EXPECT_EQ(Pixels(out.begin(), out.begin() + 319 * 240), Pixels(319 * 240, 0xF800));
    EXPECT_EQ(Pixels(out.begin() + 319 * 240, out.end()), Pixels(240, 0)); // the missing row

    // Wider: each row cut at the right edge. Narrower: the rest of each row is 0.
    QImage wide(3, 2, QImage::Format_RGB32);
    for (int i = 0; i < 6; ++i)
        wide.setPixel(i % 3, i / 3, i < 3 ? qRgb(0, 0, 0xFF) : qRgb(0xFF, 0, 0));
    EXPECT_EQ(load(wide, 2, 2), (Pixels{0x1F, 0x1F, 0xF800, 0xF800}));
    EXPECT_EQ(err, "Desired size = 2,2, got 3,2\n");
    EXPECT_EQ(load(wide, 4, 2), (Pixels{0x1F, 0x1F, 0x1F, 0, 0xF800, 0xF800, 0xF800, 0}));
}

TEST_F(PictureFiles, MissingOrUnreadableFileFailsAndWritesNothing) {
    // No file, a file of text, and a picture file cut off after its signature.
    std::ofstream(dir + "garbage") << "this is not a picture at all\n";
    std::ofstream(dir + "cut") << "\x89PNG\r\n\x1a\n" << std::string(32, '\0');
    for (const char* name : {"nothing-here", "garbage", "cut"}) {
        Picture kept{7, 9};
        Pixels out(4, FILL);
        EXPECT_FALSE(loadPicture(&kept, (dir + name).c_str(), 2, 2, out.data())) << name;
        EXPECT_EQ(kept.width * 1000 + kept.height, 7009);
        EXPECT_EQ(out, Pixels(4, FILL));
    }
}

} // namespace
