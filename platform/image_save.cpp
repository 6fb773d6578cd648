// PNG writing over Qt's image encoder, for the tools that build the game data.
#include "platform/image_save.h"

#include <QImage>

bool savePng(const char* path, int w, int h, const uint32_t* argb) {
    if (w <= 0 || h <= 0 || argb == nullptr) return false;
    bool opaque = true;
    for (long i = 0, n = long(w) * h; i < n && opaque; ++i) opaque = (argb[i] >> 24) == 0xFF;
    QImage image(w, h, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        uint32_t* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = argb[long(y) * w + x] | (opaque ? 0xFF000000u : 0u);
    }
    return image.save(QString::fromLocal8Bit(path), "PNG");
}

bool savePng565(const char* path, int w, int h, const uint16_t* rgb565, int scale) {
    if (w <= 0 || h <= 0 || scale <= 0 || rgb565 == nullptr) return false;
    QImage image(w * scale, h * scale, QImage::Format_RGB32);
    for (int y = 0; y < h * scale; ++y) {
        uint32_t* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        for (int x = 0; x < w * scale; ++x) {
            const uint16_t p = rgb565[long(y / scale) * w + x / scale];
            // Widen each field to 8 bits, repeating its top bits into the low ones.
            const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
            line[x] = 0xFF000000u | (((r << 3) | (r >> 2)) << 16) | (((g << 2) | (g >> 4)) << 8) |
                      ((b << 3) | (b >> 2));
        }
    }
    return image.save(QString::fromLocal8Bit(path), "PNG");
}

bool saveZoomedPng(const char* in, const char* out, int scale) {
    QImage src;
    if (scale <= 0 || !src.load(QString::fromLocal8Bit(in))) return false;
    src = src.convertToFormat(QImage::Format_ARGB32);
    QImage image(src.width() * scale, src.height() * scale, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        uint32_t* line = reinterpret_cast<uint32_t*>(image.scanLine(y));
        const uint32_t* from = reinterpret_cast<const uint32_t*>(src.constScanLine(y / scale));
        for (int x = 0; x < image.width(); ++x) {
            const uint32_t v = from[x / scale];
            const bool check = ((x / 8) + (y / 8)) & 1;
            line[x] = (v >> 24) ? (v | 0xFF000000u) : (check ? 0xFF202028u : 0xFF303038u);
        }
    }
    return image.save(QString::fromLocal8Bit(out), "PNG");
}
