// Picture loading: decodes an image file through the platform reader and
// converts it into a plain array of RGB565 pixels.
#include <cstdio>
#include <cstring>

#include "gfx/gfx.h"
#include "platform/platform.h"

namespace {

constexpr int PALETTE_SIZE = 256; // entries an 8-bit index can address

// Number of pixels of row `row` that exist in both the image and the
// destination, and whether the row exists in the image at all.
//
// Decoded images may pad each scan line (an 8-bit image with a width that is
// not a multiple of four, for instance), so the source is walked one scan line
// at a time through bytesPerLine rather than as one continuous run. A picture
// that is wider or taller than expected is cut to the expected size; where the
// file is narrower or shorter, the destination pixels that have no source pixel
// are set to 0 (transparent black), so their contents never depend on what the
// array held before, and nothing beyond the image's own rows is read.
int rowSpan(const ImageView& image, int row, int width) {
    if (row >= image.height) return 0;
    return image.width < width ? image.width : width;
}

void clearRest(uint16_t* dstRow, int from, int width) {
    for (int c = from; c < width; ++c)
        dstRow[c] = 0;
}

} // namespace

bool convertImage(const ImageView& image, int width, int height, uint16_t* pixels) {
    switch (image.depth) {
    case 8: {
        // Indices not covered by the image's colour table convert to 0.
        uint16_t palette[PALETTE_SIZE];
        std::memset(palette, 0, sizeof palette);
        int colours = image.colorCount < PALETTE_SIZE ? image.colorCount : PALETTE_SIZE;
        for (int i = 0; i < colours; ++i)
            palette[i] = colourRule(image.colorTable[i]);
        for (int r = 0; r < height; ++r) {
            uint16_t* dst = pixels + size_t(r) * width;
            int n = rowSpan(image, r, width);
            const uint8_t* src = image.bits + size_t(r) * image.bytesPerLine;
            for (int c = 0; c < n; ++c)
                dst[c] = palette[src[c]];
            clearRest(dst, n, width);
        }
        return true;
    }
    case 16: {
        for (int r = 0; r < height; ++r) {
            uint16_t* dst = pixels + size_t(r) * width;
            int n = rowSpan(image, r, width);
            if (n > 0) std::memcpy(dst, image.bits + size_t(r) * image.bytesPerLine, size_t(n) * 2);
            clearRest(dst, n, width);
        }
        return true;
    }
    case 32: {
        for (int r = 0; r < height; ++r) {
            uint16_t* dst = pixels + size_t(r) * width;
            int n = rowSpan(image, r, width);
            const uint8_t* src = image.bits + size_t(r) * image.bytesPerLine;
            for (int c = 0; c < n; ++c) {
                uint32_t argb;
                std::memcpy(&argb, src + size_t(c) * 4, 4);
                dst[c] = colourRule(argb);
            }
            clearRest(dst, n, width);
        }
        return true;
    }
    default:
        return false; // monochrome and other depths: the array keeps its contents
    }
}

bool loadPicture(Picture* picture, const char* path, int width, int height, uint16_t* pixels) {
    PlatformImage image;
    if (!image.load(path)) return false;

    if (image.width() != width || image.height() != height)
        std::fprintf(stderr, "Desired size = %d,%d, got %d,%d\n", width, height, image.width(),
                     image.height());

    // The colour table is copied into a fixed local array so the converter
    // sees one contiguous table whatever the platform keeps internally.
    uint32_t table[PALETTE_SIZE];
    int colours = image.colorCount();
    if (colours > PALETTE_SIZE) colours = PALETTE_SIZE;
    if (colours < 0) colours = 0;
    for (int i = 0; i < colours; ++i)
        table[i] = image.color(i);

    ImageView view;
    view.width = image.width();
    view.height = image.height();
    view.depth = image.depth();
    view.colorCount = colours;
    view.colorTable = table;
    view.bits = image.height() > 0 ? image.scanLine(0) : nullptr;
    view.bytesPerLine = image.bytesPerLine();
    // An unsupported depth writes nothing but still counts as a loaded picture.
    convertImage(view, width, height, pixels);

    picture->width = width;
    picture->height = height;
    return true;
}
