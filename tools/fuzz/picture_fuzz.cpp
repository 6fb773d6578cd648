// Fuzz target: a picture file of any content goes through the game's picture
// loading (the platform's decoders, then the conversion to the game's pixels).
// The first two bytes choose the size the game expects, 1..64 pixels each way,
// so pictures larger and smaller than expected are both tried.
#include <QBuffer>
#include <QImage>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "fuzz/target.h"
#include "gfx/gfx.h"

namespace {
constexpr int MAX_SIDE = 64; // pixels
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = scratchFolder() + "picture";
    static bool started = (startPlatform(), true);
    (void)started;
    if (size < 2) return 0;
    const int width = 1 + data[0] % MAX_SIDE, height = 1 + data[1] % MAX_SIDE;
    writeInput(path, data + 2, size - 2);
    // Exactly the expected size, so the sanitizers see any write past it.
    std::vector<uint16_t> pixels(size_t(width) * size_t(height));
    Picture picture{};
    loadPicture(&picture, path.c_str(), width, height, pixels.data());
    return 0;
}

void writeSeeds(const std::string& dir) {
    startPlatform();
    // File name, pixel format, file type, size in pixels.
    const std::tuple<const char*, QImage::Format, const char*, int, int> seeds[] = {
        {"rgb.png", QImage::Format_RGB32, "PNG", 5, 4},
        {"alpha.png", QImage::Format_ARGB32, "PNG", 3, 7},
        {"palette.png", QImage::Format_Indexed8, "PNG", 6, 6},
        {"grey16.png", QImage::Format_Grayscale16, "PNG", 4, 4},
        {"mono.png", QImage::Format_Mono, "PNG", 9, 3},
        {"rgb.bmp", QImage::Format_RGB32, "BMP", 4, 5},
        {"palette.bmp", QImage::Format_Indexed8, "BMP", 3, 3},
        {"rgb.ppm", QImage::Format_RGB32, "PPM", 3, 2},
        {"grey.pgm", QImage::Format_Grayscale8, "PGM", 2, 3},
        {"rgb.jpg", QImage::Format_RGB32, "JPG", 8, 8},
        {"rgb.xpm", QImage::Format_RGB32, "XPM", 2, 2},
    };
    for (auto [name, format, type, w, h] : seeds) {
        QImage image(w, h, format);
        // Palette formats take an index, the others a colour. Every byte is
        // set (the padding too), so the seeds are the same on every run.
        image.fill(0);
        const int indices = format == QImage::Format_Mono ? 2 : 4;
        const bool palette = format == QImage::Format_Indexed8 || format == QImage::Format_Mono;
        if (palette) {
            image.setColorCount(indices);
            for (int i = 0; i < indices; ++i) image.setColor(i, qRgb(60 * i, 255 - 60 * i, 30 * i));
        }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                image.setPixel(x, y, palette ? uint((x + y) % indices)
                                             : qRgba(40 * x, 30 * y, 200, 255 - 20 * x));
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, type)) continue; // a format this Qt cannot write
        // Expected sizes: the picture's own, and 40 x 1.
        for (int k = 0; k < 2; ++k) {
            const char size[2] = {char(k ? 40 : w - 1), char(k ? 1 : h - 1)};
            const std::string data = std::string(size, 2) + bytes.toStdString();
            writeInput(dir + "/" + std::to_string(k) + "-" + name, data.data(), data.size());
        }
    }
}
