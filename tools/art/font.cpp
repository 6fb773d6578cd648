// The project's pixel font and its text renderer.
#include "tools/art/font.h"

#include <cmath>
#include <cstring>

namespace art {
namespace {

struct Glyph {
    char c;
    const char* rows[GLYPH_H];
};

// Designed on a 5 x 7 grid; '#' is ink. The digits avoid ink-gap-ink runs
// so that they stay readable when drawn one pixel per cell and made bold.
const Glyph GLYPHS[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "#####"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "...#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'0', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'1', {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"#..#.", "#..#.", "#..#.", "#####", "...#.", "...#.", "...#."}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", ".#...", ".#...", ".#..."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."}},
    {'!', {"..#..", "..#..", "..#..", "..#..", "..#..", ".....", "..#.."}},
    {'?', {".###.", "#...#", "....#", "..##.", "..#..", ".....", "..#.."}},
    {'.', {".....", ".....", ".....", ".....", ".....", ".....", "..#.."}},
    {',', {".....", ".....", ".....", ".....", ".....", "..#..", ".#..."}},
    {':', {".....", "..#..", "..#..", ".....", "..#..", "..#..", "....."}},
    {'-', {".....", ".....", ".....", ".###.", ".....", ".....", "....."}},
    {'+', {".....", "..#..", "..#..", "#####", "..#..", "..#..", "....."}},
    {'\'', {"..#..", "..#..", ".#...", ".....", ".....", ".....", "....."}},
    {'/', {"....#", "....#", "...#.", "..#..", ".#...", "#....", "#...."}},
    {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
    {'>', {".#...", "..#..", "...#.", "....#", "...#.", "..#..", ".#..."}},
    {'<', {"...#.", "..#..", ".#...", "#....", ".#...", "..#..", "...#."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};

struct Table {
    uint8_t rows[128][GLYPH_H];
    bool known[128];
    Table() {
        std::memset(rows, 0, sizeof rows);
        std::memset(known, 0, sizeof known);
        for (const Glyph& g : GLYPHS) {
            const int c = int(uint8_t(g.c));
            known[c] = true;
            for (int r = 0; r < GLYPH_H; ++r) {
                uint8_t bits = 0;
                for (int i = 0; i < GLYPH_W; ++i) bits = uint8_t(bits << 1 | (g.rows[r][i] == '#'));
                rows[c][r] = bits;
            }
        }
    }
};

const Table& table() {
    static const Table t;
    return t;
}

int ring(const TextStyle& s) { return s.outline.a > 0 ? s.outlineWidth : 0; }
int shadowPad(const TextStyle& s) { return s.shadow.a > 0 ? s.shadowOffset : 0; }
int shearPad(const TextStyle& s) { return int(std::ceil(s.shear * float(GLYPH_H * s.sy))); }
// A space is narrower than a letter.
int advance(char c, const TextStyle& s) {
    return c == ' ' ? 3 * s.sx + s.spacing : GLYPH_W * s.sx + s.bold + s.spacing;
}

} // namespace

const uint8_t* glyphRows(char c) {
    const int i = int(uint8_t(c));
    return i < 128 && table().known[i] ? table().rows[i] : nullptr;
}

int textWidth(const char* text, const TextStyle& s) {
    int w = 0;
    for (const char* p = text; *p; ++p) w += advance(*p, s);
    if (*text) w -= s.spacing;
    return w + 2 * ring(s) + shadowPad(s) + shearPad(s);
}

int textHeight(const TextStyle& s) { return GLYPH_H * s.sy + 2 * ring(s) + shadowPad(s); }

void drawText(Image& dst, int x, int y, const char* text, const TextStyle& s) {
    const int w = textWidth(text, s), h = textHeight(s);
    Image ink(w, h);
    const int inkH = GLYPH_H * s.sy;
    const int ox = ring(s), oy = ring(s);
    int pen = 0;
    for (const char* p = text; *p; ++p) {
        const uint8_t* rows = glyphRows(*p);
        if (rows) {
            for (int r = 0; r < GLYPH_H; ++r)
                for (int c = 0; c < GLYPH_W; ++c) {
                    if (!(rows[r] >> (GLYPH_W - 1 - c) & 1)) continue;
                    for (int j = 0; j < s.sy; ++j) {
                        const int yy = r * s.sy + j;
                        const int lean = int(std::floor(s.shear * float(inkH - 1 - yy) + 0.5f));
                        for (int i = 0; i < s.sx + s.bold; ++i) {
                            const float t = inkH > 1 ? float(yy) / float(inkH - 1) : 0.0f;
                            ink.set(ox + pen + c * s.sx + i + lean, oy + yy, mix(s.top, s.bottom, t));
                        }
                    }
                }
        }
        pen += advance(*p, s);
    }
    // Rim light on the upper edges of every stroke.
    if (s.light.a > 0) {
        const Image base = ink;
        for (int yy = 0; yy < h; ++yy)
            for (int xx = 0; xx < w; ++xx)
                if (base.opaque(xx, yy) && !base.opaque(xx, yy - 1)) ink.blend(xx, yy, s.light);
    }
    for (int k = 0; k < ring(s); ++k) outline(ink, s.outline, true);
    if (shadowPad(s)) dropShadow(ink, s.shadowOffset, s.shadowOffset, s.shadow);
    dst.paste(ink, x, y);
}

void drawTextCentred(Image& dst, int x, int y, int w, int h, const char* text, const TextStyle& s) {
    drawText(dst, x + (w - textWidth(text, s)) / 2, y + (h - textHeight(s)) / 2, text, s);
}

} // namespace art
