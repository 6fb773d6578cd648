// Drawing primitives on RGB565 buffers: colour-keyed picture copy, horizontal
// lines, filled rectangles and whole-frame dimming. None of them clips; the
// caller keeps every written pixel inside the target.
#include "gfx/gfx.h"

bool blitPicture(const Picture* picture, int x, int y, const uint16_t* pixels, uint16_t* target) {
    const int w = picture->width;
    const int h = picture->height;
    const uint16_t* src = pixels;
    uint16_t* dst = target + y * SCREEN_WIDTH + x;
    for (int r = 0; r < h; ++r) {
        // Branch-free select keeps the row loop vectorisable; a transparent
        // source pixel stores the target's own value back.
        for (int c = 0; c < w; ++c) {
            uint16_t s = src[c];
            dst[c] = s != COLOUR_TRANSPARENT ? s : dst[c];
        }
        src += w;
        dst += SCREEN_WIDTH;
    }
    return true;
}

// Lines use the widget's row length, which equals the back buffer's on the device.
void drawHLine(int x, int y, int length, uint16_t colour, uint16_t* target) {
    if (length < 0) return;
    uint16_t* dst = target + y * widgetWidth + x;
    for (int i = 0; i <= length; ++i) dst[i] = colour;
}

// Columns left..right inclusive, rows top..bottom-1.
void fillRect(int left, int top, int right, int bottom, uint16_t colour, uint16_t* target) {
    for (int y = top; y < bottom; ++y) drawHLine(left, y, right - left, colour, target);
}

void dimBuffer(uint16_t* target, const uint16_t* source, int factor) {
    for (int i = 0; i < SCREEN_PIXELS; ++i) target[i] = dimPixel(source[i], factor);
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
