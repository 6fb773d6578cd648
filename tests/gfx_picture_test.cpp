// Picture loading: decoding by depth, the colour rule, padded scan lines,
// files of the wrong size and files that cannot be read.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

#include "gfx/gfx.h"

namespace {

constexpr uint16_t FILL = 0xABCD; // marks destination pixels nobody wrote

class PictureFiles : public ::testing::Test {
  protected:
    QTemporaryDir dir;

    // Saves `image` as a PNG under a name without a suffix, like the game's files.
    std::string save(const QImage& image, const char* name) {
        std::string path = (dir.path() + "/" + name).toStdString();
        EXPECT_TRUE(image.save(QString::fromStdString(path), "PNG"));
        return path;
    }
};

TEST(ColourRule, KeepsTopBitsAndDropsGreenLowBitAndAlpha) {
    EXPECT_EQ(colourRule(0xFFFFFFFF), 0xFFDF);
    EXPECT_EQ(colourRule(0x00FFFFFF), 0xFFDF);
    EXPECT_EQ(colourRule(0xFF00FF00), 0x07C0);
    EXPECT_EQ(colourRule(0xFFFF0000), 0xF800);
    EXPECT_EQ(colourRule(0xFF0000FF), 0x001F);
    EXPECT_EQ(colourRule(0xFF000000), 0x0000);
    EXPECT_EQ(colourRule(0xFF070307), 0x0000); // bits below each kept field vanish
}

TEST(ConvertImage, EightBitUsesTableAndUnknownIndicesGiveZero) {
    // Two rows of three pixels in scan lines padded to 4 bytes.
    const uint8_t bits[8] = {0, 1, 2, 0xEE, 2, 3, 255, 0xEE};
    const uint32_t table[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    ImageView view{3, 2, 8, 3, table, bits, 4};
    uint16_t out[6];
    ASSERT_TRUE(convertImage(view, 3, 2, out));
    const uint16_t want[6] = {0xF800, 0x07C0, 0x001F, 0x001F, 0, 0};
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(out[i], want[i]) << i;
}

TEST(ConvertImage, SixteenBitCopiedUnchangedIncludingGreenLowBit) {
    const uint16_t bits[6] = {0x0020, 0xFFFF, 0x07E0, 0x1234, 0x0001, 0x8000};
    ImageView view{3, 2, 16, 0, nullptr, reinterpret_cast<const uint8_t*>(bits), 6};
    uint16_t out[6];
    ASSERT_TRUE(convertImage(view, 3, 2, out));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(out[i], bits[i]) << i;
}

TEST(ConvertImage, OtherDepthWritesNothing) {
    const uint8_t bits[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    ImageView view{2, 2, 1, 2, nullptr, bits, 4};
    uint16_t out[4] = {FILL, FILL, FILL, FILL};
    EXPECT_FALSE(convertImage(view, 2, 2, out));
    for (uint16_t v : out)
        EXPECT_EQ(v, FILL);
}

TEST_F(PictureFiles, TrueColourFileGoesThroughTheColourRule) {
    QImage img(4, 2, QImage::Format_ARGB32);
    const uint32_t colours[8] = {0xFFFFFFFF, 0xFF00FF00, 0xFFFF0000, 0xFF0000FF,
                                 0x00FFFFFF, 0xFF000000, 0x80123456, 0xFF08FC08};
    for (int i = 0; i < 8; ++i)
        img.setPixel(i % 4, i / 4, colours[i]);
    std::string path = save(img, "rgb");

    Picture pic{0, 0};
    uint16_t out[8];
    ASSERT_TRUE(loadPicture(&pic, path.c_str(), 4, 2, out));
    EXPECT_EQ(pic.width, 4);
    EXPECT_EQ(pic.height, 2);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], colourRule(colours[i])) << i;
    EXPECT_EQ(out[0], 0xFFDF);
    EXPECT_EQ(out[4], 0xFFDF); // fully transparent white is still white
    EXPECT_EQ(out[7], 0x0FC1);
}

TEST_F(PictureFiles, PalettedFileWithPaddedScanLines) {
    // Width 5: each 8-bit scan line carries 3 bytes of padding.
    QImage img(5, 3, QImage::Format_Indexed8);
    img.setColorTable({0xFF000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            img.setPixel(x, y, (x + y) % 5);
    std::string path = save(img, "indexed");

    Picture pic{0, 0};
    std::vector<uint16_t> out(15, FILL);
    ASSERT_TRUE(loadPicture(&pic, path.c_str(), 5, 3, out.data()));
    const uint16_t byIndex[5] = {0, 0xF800, 0x07C0, 0x001F, 0xFFDF};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(out[y * 5 + x], byIndex[(x + y) % 5]) << x << "," << y;
}

TEST_F(PictureFiles, GreyFileAndMonochromeFile) {
    QImage grey(3, 1, QImage::Format_Grayscale8);
    grey.setPixel(0, 0, qRgb(0, 0, 0));
    grey.setPixel(1, 0, qRgb(0x80, 0x80, 0x80));
    grey.setPixel(2, 0, qRgb(0xFF, 0xFF, 0xFF));
    std::string greyPath = save(grey, "grey");
    Picture pic{0, 0};
    uint16_t out[3] = {FILL, FILL, FILL};
    ASSERT_TRUE(loadPicture(&pic, greyPath.c_str(), 3, 1, out));
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(out[1], colourRule(0xFF808080));
    EXPECT_EQ(out[2], 0xFFDF);

    // One bit per pixel is a depth the converter does not handle: the file
    // still counts as loaded, the array keeps its contents.
    QImage mono(8, 2, QImage::Format_Mono);
    mono.fill(1);
    std::string monoPath = save(mono, "mono");
    uint16_t keep[16];
    std::fill(keep, keep + 16, FILL);
    Picture monoPic{0, 0};
    ASSERT_TRUE(loadPicture(&monoPic, monoPath.c_str(), 8, 2, keep));
    EXPECT_EQ(monoPic.width, 8);
    for (uint16_t v : keep)
        EXPECT_EQ(v, FILL);
}

TEST_F(PictureFiles, WrongSizeIsReportedAndConvertedToTheExpectedSize) {
    QImage img(240, 319, QImage::Format_RGB32);
    img.fill(QColor(0xFF, 0, 0));
    std::string path = save(img, "short");

    std::vector<uint16_t> out(240 * 320, FILL);
    Picture pic{0, 0};
    testing::internal::CaptureStderr();
    bool ok = loadPicture(&pic, path.c_str(), 240, 320, out.data());
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(ok);
    EXPECT_EQ(err, "Desired size = 240,320, got 240,319\n");
    EXPECT_EQ(pic.width, 240);
    EXPECT_EQ(pic.height, 320);
    EXPECT_EQ(out[0], 0xF800);
    EXPECT_EQ(out[318 * 240 + 239], 0xF800);
    // The row the file lacks is filled with transparent black.
    for (int x = 0; x < 240; ++x)
        ASSERT_EQ(out[319 * 240 + x], 0) << x;

    // The exact size prints nothing.
    QImage exact(240, 320, QImage::Format_RGB32);
    exact.fill(Qt::white);
    std::string exactPath = save(exact, "exact");
    testing::internal::CaptureStderr();
    ASSERT_TRUE(loadPicture(&pic, exactPath.c_str(), 240, 320, out.data()));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(out[319 * 240 + 239], 0xFFDF);
}

TEST_F(PictureFiles, WiderAndNarrowerFilesKeepTheirRows) {
    // A wider file is cut at the right edge, row by row.
    QImage wide(6, 2, QImage::Format_RGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 6; ++x)
            wide.setPixel(x, y, qRgb(x * 40, y * 200, 0));
    std::string widePath = save(wide, "wide");
    uint16_t out[8];
    Picture pic{0, 0};
    testing::internal::CaptureStderr();
    ASSERT_TRUE(loadPicture(&pic, widePath.c_str(), 4, 2, out));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Desired size = 4,2, got 6,2\n");
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(out[y * 4 + x], colourRule(wide.pixel(x, y))) << x << "," << y;

    // A narrower file leaves the missing columns transparent.
    QImage narrow(2, 2, QImage::Format_RGB32);
    narrow.fill(Qt::blue);
    std::string narrowPath = save(narrow, "narrow");
    std::fill(out, out + 8, FILL);
    testing::internal::CaptureStderr();
    ASSERT_TRUE(loadPicture(&pic, narrowPath.c_str(), 4, 2, out));
    testing::internal::GetCapturedStderr();
    const uint16_t want[8] = {0x001F, 0x001F, 0, 0, 0x001F, 0x001F, 0, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(out[i], want[i]) << i;
}

TEST_F(PictureFiles, MissingOrUnreadableFileFailsAndWritesNothing) {
    std::string missing = (dir.path() + "/nothing-here").toStdString();
    std::string garbage = (dir.path() + "/garbage").toStdString();
    FILE* f = std::fopen(garbage.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("this is not a picture at all\n", f);
    std::fclose(f);

    for (const std::string& path : {missing, garbage}) {
        Picture pic{7, 9};
        uint16_t out[4] = {FILL, FILL, FILL, FILL};
        testing::internal::CaptureStderr();
        EXPECT_FALSE(loadPicture(&pic, path.c_str(), 2, 2, out));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(pic.width, 7);
        EXPECT_EQ(pic.height, 9);
        for (uint16_t v : out)
            EXPECT_EQ(v, FILL);
    }
}

} // namespace
