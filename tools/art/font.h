// The project's pixel font: 5 x 7 capitals, digits and a little punctuation,
// drawn blocky at whole-number scales, made bold, shaded top to bottom and
// ringed by a dark outline so it reads over any background.
#pragma once

#include "tools/art/canvas.h"

namespace art {

constexpr int GLYPH_W = 5, GLYPH_H = 7;   // font cells

struct TextStyle {
    int sx = 1, sy = 1;         // pixels per font cell, across and down
    int bold = 1;               // extra pixels each stroke is widened to the right
    int spacing = 1;            // pixels between glyphs (before the outline)
    RGBA top = rgb(0xFFFFFF);   // fill at the top of the letters ...
    RGBA bottom = rgb(0xC0C0C0);// ... and at the bottom
    RGBA light = rgb(0xFFFFFF, 0.0f);  // rim light on upper edges (alpha = strength)
    RGBA outline = rgb(0x081020);      // one-pixel ring; alpha 0 for none
    int outlineWidth = 1;
    RGBA shadow = rgb(0x000000, 0.0f); // drop shadow to the lower right; alpha 0 for none
    int shadowOffset = 1;
    float shear = 0;            // italic lean: columns moved right per row above the base
};

// Width and height in pixels of `text` in `style`, outline included.
int textWidth(const char* text, const TextStyle& style);
int textHeight(const TextStyle& style);

// Draws `text` with the top-left corner of its outline box at (x, y).
void drawText(Image& dst, int x, int y, const char* text, const TextStyle& style);
// Draws `text` centred in the box (x, y, w, h).
void drawTextCentred(Image& dst, int x, int y, int w, int h, const char* text, const TextStyle& style);

// The glyph rows of a character (bit 4 = leftmost cell); null for unknown ones.
const uint8_t* glyphRows(char c);

} // namespace art
