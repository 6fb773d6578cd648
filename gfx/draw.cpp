// Drawing primitives on RGB565 buffers: colour-keyed picture copy, horizontal
// lines, filled rectangles and whole-frame dimming. None of them clips; the
// caller keeps every written pixel inside the target.
#include <cstring>

#include "gfx/gfx.h"

// Eight pixels at a time in the portable vector extension of GCC and Clang, so
// the copy is wide whatever the optimisation level. Opaque lanes take the
// source, transparent lanes keep the destination: the select is done with
// masks, so the result is exactly that of the one-pixel-at-a-time loop.
typedef uint16_t PixelLanes __attribute__((vector_size(16)));
constexpr int LANES = int(sizeof(PixelLanes) / sizeof(uint16_t)); // pixels

void keyedCopyRow(uint16_t* dst, const uint16_t* src, int count) {
    int i = 0;
    for (; i + LANES <= count; i += LANES) {
        PixelLanes s, d;
        std::memcpy(&s, src + i, sizeof s);
        std::memcpy(&d, dst + i, sizeof d);
        PixelLanes opaque = (PixelLanes)(s != COLOUR_TRANSPARENT);
        d = (s & opaque) | (d & ~opaque);
        std::memcpy(dst + i, &d, sizeof d);
    }
    for (; i < count; ++i)
        if (src[i] != COLOUR_TRANSPARENT) dst[i] = src[i];
}

bool blitPicture(const Picture* picture, int x, int y, const uint16_t* pixels, uint16_t* target) {
    const int w = picture->width;
    const int h = picture->height;
    const uint16_t* src = pixels; // read straight through, rows without gaps
    uint16_t* dst = target + y * SCREEN_WIDTH + x;
    for (int r = 0; r < h; ++r) {
        keyedCopyRow(dst, src, w);
        src += w;
        dst += SCREEN_WIDTH;
    }
    return true;
}

// Lines use the widget's row length, which equals the back buffer's on the device.
void drawHLine(int x, int y, int length, uint16_t colour, uint16_t* target) {
    if (length < 0) return;
    uint16_t* dst = target + y * widgetWidth + x;
    for (int i = 0; i <= length; ++i)
        dst[i] = colour;
}

// Columns left..right inclusive, rows top..bottom-1.
void fillRect(int left, int top, int right, int bottom, uint16_t colour, uint16_t* target) {
    for (int y = top; y < bottom; ++y)
        drawHLine(left, y, right - left, colour, target);
}

// The same single-multiplication scaling as dimPixel, eight pixels per step in
// 32-bit lanes; the screen's pixel count is a multiple of the lane count.
typedef uint32_t WordLanes __attribute__((vector_size(32)));
static_assert(SCREEN_PIXELS % LANES == 0);

void dimBuffer(uint16_t* target, const uint16_t* source, int factor) {
    for (int i = 0; i < SCREEN_PIXELS; i += LANES) {
        PixelLanes p;
        std::memcpy(&p, source + i, sizeof p);
        const WordLanes w = __builtin_convertvector(p, WordLanes);
        const WordLanes m = (((w & 0xF81F) << 11) | ((w & 0x07E0) >> 5)) * uint32_t(factor);
        const PixelLanes d = __builtin_convertvector(((m >> 16) & 0xF81F) | (m & 0x07E0), PixelLanes);
        std::memcpy(target + i, &d, sizeof d);
    }
}

// Scales each channel by factor/32 (rounding down) with one multiplication:
// red and blue are moved apart so that each field has five spare bits above it,
// green gets six, the product is formed once and the top bits of every field
// are gathered back. Exact for factors 0..32.
uint16_t dimPixel(uint16_t pixel, int factor) {
    uint32_t spread = (uint32_t(pixel & 0xF81F) << 11) | (uint32_t(pixel & 0x07E0) >> 5);
    uint32_t m = spread * uint32_t(factor);
    return uint16_t(((m >> 16) & 0xF81F) | (m & 0x07E0));
}
