// Painters of the interface text: status digits, level caption, messages,
// key prompts, track names and the menu items, all in the project's font.
#include <cstdio>

#include "tools/art/font.h"
#include "tools/pictures/pictures.h"

namespace art {
namespace {

// Status-bar digits: one pixel per font cell across, two down, made bold.
TextStyle statusStyle(RGBA top, RGBA bottom) {
    TextStyle s;
    s.sx = 1; s.sy = 2; s.bold = 1; s.spacing = 1;
    s.top = top; s.bottom = bottom;
    s.outline = rgb(0x060A18);
    return s;
}

// Large captions: gold, lit from above, with a shadow.
TextStyle captionStyle(int sx, int sy) {
    TextStyle s;
    s.sx = sx; s.sy = sy; s.bold = 1; s.spacing = 2;
    s.top = rgb(0xFFF2A0); s.bottom = rgb(0xF07818);
    s.light = rgb(0xFFFFFF, 0.7f);
    s.outline = rgb(0x200808);
    s.shadow = rgb(0x100404);
    return s;
}

// Menu and panel text: white to ice blue.
TextStyle menuStyle() {
    TextStyle s;
    s.sx = 2; s.sy = 2; s.bold = 0; s.spacing = 1;
    s.top = rgb(0xFFFFFF); s.bottom = rgb(0x88B8F0);
    s.outline = rgb(0x060A20);
    return s;
}

Image single(int w, int h, const char* text, const TextStyle& s) {
    Image img(w, h);
    drawTextCentred(img, 0, 0, w, h, text, s);
    finish565(img);
    return img;
}

} // namespace

Image scoreDigit(int digit) {
    const char text[2] = {char('0' + digit % 10), 0};
    return single(8, 16, text, statusStyle(rgb(0xFFFFFF), rgb(0x90D8FF)));
}

Image livesDigit(int digit) {
    const char text[2] = {char('0' + digit % 10), 0};
    return single(8, 16, text, statusStyle(rgb(0xFFFFD0), rgb(0xFFB040)));
}

Image levelDigit(int digit) {
    const char text[2] = {char('0' + digit % 10), 0};
    return single(32, 32, text, captionStyle(3, 4));
}

Image levelLabel() { return single(96, 32, "LEVEL", captionStyle(3, 4)); }

Image message(int frame) {
    static const char* LINES[3][2] = {{"GAME", "OVER"}, {"LEVEL", "CLEARED"}, {"NEW HIGH", "SCORE!"}};
    Image img(164, 64);
    TextStyle s = captionStyle(3, 3);
    if (frame == 0) { s.top = rgb(0xFFC8C0); s.bottom = rgb(0xD02020); }
    if (frame == 2) { s.top = rgb(0xF0FFFF); s.bottom = rgb(0x40A0FF); }
    const int lh = textHeight(s), gap = 4, top = (64 - (2 * lh + gap)) / 2;
    drawTextCentred(img, 0, top, 164, lh, LINES[frame % 3][0], s);
    drawTextCentred(img, 0, top + lh + gap, 164, lh, LINES[frame % 3][1], s);
    finish565(img);
    return img;
}

Image keyPrompt(int frame) {
    // In the order the redefinition screen asks for the keys.
    static const char* NAMES[6] = {"LEFT", "RIGHT", "THRUST", "FIRE", "SHIELDS", "PAUSE"};
    TextStyle s = menuStyle();
    s.top = rgb(0xFFFFA0); s.bottom = rgb(0xFFA030);
    return single(82, 16, NAMES[frame % 6], s);
}

Image keyInUse() {
    TextStyle s = menuStyle();
    s.sy = 3;
    s.top = rgb(0xFFD0C0); s.bottom = rgb(0xFF4030);
    return single(200, 32, "KEY ALREADY IN USE", s);
}

Image trackName(int frame) {
    static const char* NAMES[3] = {"COLD ORBIT", "ION STORM", "DEEP DRIFT"};
    // The name sits in the upper half of the frame, inside the menu panel.
    Image img(165, 32);
    TextStyle s = menuStyle();
    s.top = rgb(0xC0FFD0); s.bottom = rgb(0x40C080);
    drawTextCentred(img, 0, 1, 165, 16, NAMES[frame % 3], s);
    finish565(img);
    return img;
}

Image menuItem(int item) {
    Image img(142, 24);
    TextStyle s = menuStyle();
    const int h = textHeight(s), y = (24 - h) / 2;
    switch (item) {
    case 0: {
        // Heading over the choices, framed by two short rules.
        TextStyle hs = s;
        hs.top = rgb(0xFFF2A0); hs.bottom = rgb(0xF09020);
        drawTextCentred(img, 0, y, 142, h, "OPTIONS", hs);
        for (int x = 6; x < 28; ++x) {
            img.set(x, 11, rgb(0xF0B040)); img.set(x, 12, rgb(0x905010));
            img.set(141 - x, 11, rgb(0xF0B040)); img.set(141 - x, 12, rgb(0x905010));
        }
        break;
    }
    // The lower items share one picture position; the words sit where the pen
    // can press them: the left items within the first 78 columns, the right
    // ones within the last 60.
    case 1: drawTextCentred(img, 0, y, 78, h, "START", s); break;
    case 2: drawTextCentred(img, 0, y, 78, h, "RESUME", s); break;
    case 3: drawTextCentred(img, 82, y, 60, h, "EXIT", s); break;
    case 4: drawTextCentred(img, 82, y, 60, h, "QUIT", s); break;
    case 5: drawTextCentred(img, 0, y, 142, h, "REDEFINE KEYS", s); break;
    default: {
        TextStyle hs = s;
        hs.top = rgb(0xFFF2A0); hs.bottom = rgb(0xF09020);
        drawTextCentred(img, 0, y, 142, h, "PRESS KEY FOR", hs);
        break;
    }
    }
    finish565(img);
    return img;
}

} // namespace art
