// Painters of the whole-screen pictures: the play-field starfield, the title
// scene, the logo banner, the options panel and the farewell picture.
#include <cmath>

#include "tools/art/font.h"
#include "tools/pictures/pictures.h"

namespace art {
namespace {

constexpr float PI = 3.14159265f;

// A bright star with a small cross of glow.
void star(Image& img, int x, int y, const RGBA& c, float glow) {
    img.blend(x, y, c);
    if (glow <= 0) return;
    const RGBA g{c.r, c.g, c.b, glow};
    img.blend(x - 1, y, g); img.blend(x + 1, y, g); img.blend(x, y - 1, g); img.blend(x, y + 1, g);
}

// A framed, bevelled plate with rounded corners over rows and columns of a picture.
void plate(Image& img, int x0, int y0, int x1, int y1, const RGBA& fillTop, const RGBA& fillBottom) {
    const int radius = 6;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const int cx = x < x0 + radius ? x0 + radius : (x > x1 - radius ? x1 - radius : x);
            const int cy = y < y0 + radius ? y0 + radius : (y > y1 - radius ? y1 - radius : y);
            const float d = std::sqrt(float((x - cx) * (x - cx) + (y - cy) * (y - cy)));
            if (d > float(radius) + 0.3f) continue;
            const float t = float(y - y0) / float(y1 - y0);
            RGBA c = mix(fillTop, fillBottom, t);
            if (d > radius - 1.0f || x == x0 || x == x1 || y == y0 || y == y1) c = rgb(0x7080D8);
            else if (d > radius - 2.0f || x == x0 + 1 || y == y0 + 1) c = rgb(0x2A3470);
            else if (x == x1 - 1 || y == y1 - 1) c = rgb(0x0A0C24);
            img.set(x, y, c);
        }
}

} // namespace

Image starfield(int w, int h, uint32_t seed, float nebula) {
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const float fx = float(x) / 90.0f, fy = float(y) / 90.0f;
            const float n1 = fbm2(fx, fy, 5, seed), n2 = fbm2(fx * 1.7f + 5, fy * 1.7f, 4, seed + 9);
            const float cloud = clamp01(n1 * 1.6f + 0.15f) * nebula;
            const float veil = clamp01(n2 * 1.4f) * nebula;
            RGBA c = mix(rgb(0x04061A), rgb(0x0A0622), float(y) / float(h));
            c = mix(c, rgb(0x2C1464), cloud * 0.55f);
            c = mix(c, rgb(0x10306A), veil * 0.45f);
            img.set(x, y, c);
        }
    Rng rng(seed);
    const int count = w * h / 90;
    for (int i = 0; i < count; ++i) {
        const int x = rng.below(w), y = rng.below(h);
        const float b = std::pow(rng.uniform(), 3.0f);
        const int hue = rng.below(6);
        RGBA c = hue == 0 ? rgb(0xFFE8C0) : (hue == 1 ? rgb(0xB0C8FF) : rgb(0xE8F0FF));
        c.a = 0.25f + 0.75f * b;
        star(img, x, y, c, b > 0.7f ? 0.3f * b : 0.0f);
    }
    return img;
}

Image backgroundPicture() {
    Image img = starfield(240, 320, 1001, 0.55f);
    finish565(img);
    return img;
}

Image titlePicture() {
    Image img = starfield(240, 320, 2002, 1.0f);
    // A planet fills the lower part of the scene, lit from the upper left,
    // with a thin bright atmosphere on its day side.
    const float pcx = 170, pcy = 470, pr = 235;
    for (int y = 200; y < 320; ++y)
        for (int x = 0; x < 240; ++x) {
            const float dx = float(x) - pcx, dy = float(y) - pcy, d = std::sqrt(dx * dx + dy * dy);
            const float nx = dx / pr, ny = dy / pr;
            const float light = clamp01(-(nx * -0.7f + ny * -0.7f) * -1.0f);
            if (d <= pr) {
                const float nz = std::sqrt(std::fmax(0.0f, 1 - nx * nx - ny * ny));
                const float lam = clamp01(nx * -0.62f + ny * -0.55f + nz * 0.56f);
                const float land = fbm2(float(x) / 26.0f, float(y) / 14.0f, 5, 77);
                RGBA base = land > 0.05f ? mix(rgb(0x2C5060), rgb(0x7A7A5C), clamp01(land * 2)) : rgb(0x183A6A);
                const float cloud = fbm2(float(x) / 18.0f + 4, float(y) / 8.0f, 4, 78);
                if (cloud > 0.1f) base = mix(base, rgb(0xD8E4F0), clamp01((cloud - 0.1f) * 2.5f));
                RGBA c = scaled(base, 0.08f + 0.92f * lam);
                const float rim = smoothstep(pr - 7, pr, d) * lam;
                c = mix(c, rgb(0x80D0FF), rim * 0.8f);
                img.set(x, y, c);
            } else if (d < pr + 6) {
                const float lam = clamp01(nx * -0.62f + ny * -0.55f + 0.3f);
                const float a = (1 - (d - pr) / 6) * lam * 0.8f;
                img.blend(x, y, rgb(0x60B8FF, a));
            }
            (void)light;
        }
    // Rocks drifting across the view and the ship among them.
    img.paste(rockFrame(2, 2, 0), 120, 96);
    img.paste(rockFrame(1, 0, 2), 24, 122);
    img.paste(rockFrame(1, 0, 0), 196, 196);
    img.paste(rockFrame(0, 0, 1), 64, 200);
    img.paste(rockFrame(0, 0, 0), 160, 168);
    img.paste(shipFrame(2, 4), 70, 148);
    img.paste(shotFrame(1), 100, 136);
    img.paste(shotFrame(3), 118, 128);
    img.paste(explosionFrame(1), 150, 84);
    // The invitation to play, in the bottom rows that no menu item covers.
    TextStyle s;
    s.sx = 2; s.sy = 2; s.bold = 0; s.spacing = 2;
    s.top = rgb(0xFFFFFF); s.bottom = rgb(0xA0C8FF);
    s.outline = rgb(0x040818);
    drawTextCentred(img, 0, 303, 240, 16, "PRESS ANY KEY", s);
    finish565(img);
    return img;
}

Image bannerPicture() {
    Image img(240, 60);
    TextStyle big;
    big.sx = 4; big.sy = 4; big.bold = 1; big.spacing = 2;
    big.top = rgb(0xF4FAFF); big.bottom = rgb(0x4C74C8);
    big.light = rgb(0xFFFFFF, 0.8f);
    big.outline = rgb(0x060A24); big.outlineWidth = 2;
    big.shadow = rgb(0x02030C); big.shadowOffset = 2;
    big.shear = 0.18f;
    TextStyle small;
    small.sx = 2; small.sy = 2; small.bold = 1; small.spacing = 5;
    small.top = rgb(0xFFF0A0); small.bottom = rgb(0xF06010);
    small.outline = rgb(0x200804);
    small.shadow = rgb(0x080202);
    small.shear = 0.18f;
    const int bw = textWidth("CORVUS", big), bh = textHeight(big);
    drawText(img, (240 - bw) / 2, 2, "CORVUS", big);
    const int sw = textWidth("RAIDERS", small), sy = 2 + bh + 1;
    const int sx = (240 - sw) / 2;
    drawText(img, sx, sy, "RAIDERS", small);
    // Engine streaks either side of the lower word.
    for (int side = 0; side < 2; ++side)
        for (int i = 0; i < 44; ++i) {
            const float t = float(i) / 44.0f;
            const int x = side ? sx + sw + 4 + i : sx - 5 - i;
            const RGBA c = mix(rgb(0xFFE080), rgb(0xC03010), t);
            img.set(x, sy + 7, c);
            if (i < 30) img.set(x, sy + 8, scaled(c, 0.6f));
            if (i < 14) img.set(x, sy + 6, mix(c, rgb(0xFFFFFF), 0.5f));
        }
    finish565(img);
    return img;
}

Image menuPanelPicture() {
    Image img(240, 100);
    plate(img, 4, 1, 235, 98, rgb(0x18204C), rgb(0x0C1030));
    TextStyle head;
    head.sx = 2; head.sy = 2; head.bold = 0; head.spacing = 2;
    head.top = rgb(0xFFF2A0); head.bottom = rgb(0xF09020);
    head.outline = rgb(0x100804);
    drawTextCentred(img, 0, 10, 240, 18, "SOUND", head);
    for (int x = 40; x < 90; ++x) {
        img.set(x, 18, rgb(0xC08030)); img.set(239 - x, 18, rgb(0xC08030));
    }
    // Labels left of the slider tracks and the tune name, centred on their
    // rows (panel rows are screen rows - 80).
    TextStyle label;
    label.sx = 1; label.sy = 1; label.bold = 0; label.spacing = 1;
    label.top = rgb(0xFFFFFF); label.bottom = rgb(0xB8D0F8);
    label.outline = rgb(0x04061A);
    const int rows[2] = {127 - 80, 142 - 80};
    const int labelTop[3] = {127 - 80, 142 - 80, 162 - 80 + 3};
    const char* names[3] = {"EFFECTS", "MUSIC", "TUNE"};
    for (int i = 0; i < 3; ++i) drawText(img, 14, labelTop[i], names[i], label);
    for (int i = 0; i < 2; ++i) {
        const int top = rows[i] + 1, bottom = rows[i] + 8;
        for (int y = top; y <= bottom; ++y)
            for (int x = 90; x <= 231; ++x)
                img.set(x, y, (y == top || x == 90) ? rgb(0x04061A) : ((y == bottom || x == 231) ? rgb(0x3A4890) : rgb(0x080A20)));
    }
    finish565(img);
    return img;
}

Image exitPicture() {
    Image img(240, 180);
    plate(img, 14, 10, 225, 170, rgb(0x1A2250), rgb(0x0A0E2C));
    TextStyle head;
    head.sx = 2; head.sy = 3; head.bold = 1; head.spacing = 2;
    head.top = rgb(0xFFF2A0); head.bottom = rgb(0xF07818);
    head.light = rgb(0xFFFFFF, 0.6f);
    head.outline = rgb(0x200808);
    head.shadow = rgb(0x100404);
    drawTextCentred(img, 0, 24, 240, 26, "THANKS FOR", head);
    drawTextCentred(img, 0, 52, 240, 26, "PLAYING", head);
    TextStyle body;
    body.sx = 1; body.sy = 2; body.bold = 0; body.spacing = 2;
    body.top = rgb(0xFFFFFF); body.bottom = rgb(0x98B8E8);
    body.outline = rgb(0x04061A);
    drawTextCentred(img, 0, 92, 240, 18, "THE ROCKS WILL BE WAITING", body);
    drawTextCentred(img, 0, 110, 240, 18, "FLY SAFE, PILOT", body);
    // The ship heading home, flame lit.
    img.paste(shipFrame(0, 4), 104, 128);
    (void)PI;
    finish565(img);
    return img;
}

} // namespace art
