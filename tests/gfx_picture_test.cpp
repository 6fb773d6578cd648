// Picture loading: decoding by depth, the colour rule, padded scan lines,
// 16-bit bitmaps, files of the wrong size and files that cannot be read.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gfx/gfx.h"
#include "support/runner.h"

namespace {

constexpr uint16_t FILL = 0xABCD; // marks destination pixels nobody wrote
using Pixels = std::vector<uint16_t>;

// A 16-bit bit-field bitmap of `rows` (top row first), stored bottom-up
// unless `topDown`. A 40-byte info header is followed by the masks, a 124-byte
// one holds them. Rows are padded to 4 bytes.
std::string bitmap16(const std::vector<Pixels>& rows, bool topDown, int header,
                     bool rgb565 = true) {
    const int w = int(rows[0].size()), h = int(rows.size()), stride = (w * 2 + 3) / 4 * 4;
    const int offset = 14 + header + (header == 40 ? 12 : 0);
    std::string b(size_t(offset + stride * h), '\0');
    auto put = [&b](int at, int64_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) b[size_t(at + i)] = char(v >> 8 * i);
    };
    b[0] = 'B', b[1] = 'M';
    put(2, int64_t(b.size()), 4), put(10, offset, 4), put(14, header, 4), put(18, w, 4);
    put(22, topDown ? -h : h, 4), put(26, 1, 2), put(28, 16, 2), put(30, 3, 4);
    put(54, rgb565 ? 0xF800 : 0x7C00, 4), put(58, rgb565 ? 0x07E0 : 0x03E0, 4), put(62, 0x1F, 4);
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c)
            put(offset + (topDown ? r : h - 1 - r) * stride + 2 * c, rows[size_t(r)][size_t(c)], 2);
    return b;
}

// Writes picture files without a suffix, like the game's own files, and loads
// them back, keeping what the loader printed.
class PictureFiles : public ::testing::Test {
  protected:
    std::string dir = makeTempDir("pictures");
    Picture pic{0, 0};
    std::string err;
    int saved = 0;

    std::string write(const std::string& bytes) {
        const std::string path = dir + "pic" + std::to_string(++saved);
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string png(const QImage& image) {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        EXPECT_TRUE(buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG"));
        return bytes.toStdString();
    }
    Pixels load(const std::string& bytes, int w, int h) {
        const std::string path = write(bytes);
        Pixels out(size_t(w) * h, FILL);
        testing::internal::CaptureStderr();
        EXPECT_TRUE(loadPicture(&pic, path.c_str(), w, h, out.data()));
        err = testing::internal::GetCapturedStderr();
        return out;
    }
    Pixels load(const QImage& image, int w, int h) { return load(png(image), w, h); }
};

TEST(ConvertImage, ColourTableWithPaddedScanLinesAndOtherDepthsRefused) {
    // 8 bits, 3 pixels a row in 4-byte scan lines; indices 3 and 255 lie
    // beyond the table and give 0.
    const uint8_t bits8[8] = {0, 1, 2, 0xEE, 2, 3, 255, 0xEE};
    const uint32_t table[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    Pixels out(6, FILL);
    ASSERT_TRUE(convertImage({3, 2, 8, 3, table, bits8, 4}, 3, 2, out.data()));
    EXPECT_EQ(out, (Pixels{0xF800, 0x07C0, 0x001F, 0x001F, 0, 0}));

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

    // An indexed picture by its colour table (three colours: two would be
    // stored as a one-bit picture).
    QImage indexed(3, 1, QImage::Format_Indexed8);
    indexed.setColorTable({0xFFFF0000, 0xFF0000FF, 0xFF00FF00});
    for (int i = 0; i < 3; ++i)
        indexed.setPixel(i, 0, (i + 1) % 3);
    EXPECT_EQ(load(indexed, 3, 1), (Pixels{0x001F, 0x07C0, 0xF800}));
}

TEST_F(PictureFiles, Rgb565BitmapsKeepTheirValuesWhicheverWayTheirRowsRun) {
    // The lowest green bit (0x0020) included; rows of 6 bytes padded to 8.
    const std::vector<Pixels> rows = {{0x0020, 0xFFFF, 0x07E0}, {0x1234, 0x0001, 0x8000}};
    for (auto [topDown, header] : {std::pair{false, 40}, {true, 124}}) {
        EXPECT_EQ(load(bitmap16(rows, topDown, header), 3, 2),
                  (Pixels{0x0020, 0xFFFF, 0x07E0, 0x1234, 0x0001, 0x8000}));
    }
    // Narrower than asked for: the rest of each row is 0.
    EXPECT_EQ(load(bitmap16(rows, false, 40), 4, 2),
              (Pixels{0x0020, 0xFFFF, 0x07E0, 0, 0x1234, 0x0001, 0x8000, 0}));
    // Another 16-bit layout is widened by the reader and takes the colour rule:
    // white in 5-5-5 becomes 0xFFDF.
    EXPECT_EQ(load(bitmap16({{0x7FFF}}, false, 40, false), 1, 1), Pixels{0xFFDF});
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

TEST_F(PictureFiles, MissingOrDamagedFileFailsQuietlyAndWritesNothing) {
    // No file, text, a picture cut off after its signature or half-way, a
    // 16-bit bitmap whose last row is cut short, a 16384 x 16384 one (a sparse
    // file of 512 MiB), a pipe with no writer and a folder.
    alarm(60); // a reader that waits on the pipe fails the test instead of hanging it
    std::string huge = bitmap16({{1}}, false, 40);
    huge[18] = huge[22] = 0, huge[19] = huge[23] = 0x40;
    const std::string sparse = write(huge);
    std::filesystem::resize_file(sparse, huge.size() + (uintmax_t(1) << 29));
    ASSERT_EQ(mkfifo((dir + "pipe").c_str(), 0600) | mkdir((dir + "folder").c_str(), 0700), 0);
    QImage big(64, 64, QImage::Format_RGB32);
    for (int i = 0; i < 64 * 64; ++i) big.setPixel(i % 64, i / 64, uint32_t(i) * 2654435761u);
    const std::string whole = png(big), bitmap = bitmap16({{1, 2, 3}, {4, 5, 6}}, false, 40);
    const std::string paths[] = {dir + "nothing-here", write("this is not a picture at all\n"),
                                 write(std::string("\x89PNG\r\n\x1a\n") + std::string(32, '\0')),
                                 write(whole.substr(0, whole.size() / 2)),
                                 write(bitmap.substr(0, bitmap.size() - 3)), sparse,
                                 dir + "pipe", dir + "folder"};
    testing::internal::CaptureStderr();
    for (const std::string& path : paths) {
        Picture kept{7, 9};
        Pixels out(4, FILL);
        EXPECT_FALSE(loadPicture(&kept, path.c_str(), 2, 2, out.data())) << path;
        EXPECT_EQ(kept.width * 1000 + kept.height, 7009);
        EXPECT_EQ(out, Pixels(4, FILL));
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // the decoders' own complaints too
    alarm(0);
}

} // namespace
