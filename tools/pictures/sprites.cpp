// Painters of the moving things: the ship, rocks, shots, boss, explosions,
// warp, shield, scenery and the bonus carrier. Every frame is computed from a
// model (lit polygons, height fields, particles, noise) so that all headings
// and animation frames of one object agree.
#include <cmath>
#include <vector>

#include "tools/art/font.h"
#include "tools/pictures/pictures.h"

namespace art {
namespace {

constexpr float PI = 3.14159265f;
constexpr int SS = 4;   // samples per pixel side for the small sprites

struct V3 {
    float x, y, z;
};
V3 normalised(V3 v) {
    const float l = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return l > 0 ? V3{v.x / l, v.y / l, v.z / l} : V3{0, 0, 1};
}
float dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
const V3 LIGHT = normalised({LIGHT_X, LIGHT_Y, LIGHT_Z});
const V3 HALF = normalised({LIGHT.x, LIGHT.y, LIGHT.z + 1.0f});

// Lambert light with an ambient floor and a white highlight.
RGBA lit(const RGBA& base, V3 n, float ambient, float specular, float shine) {
    n = normalised(n);
    const float d = std::fmax(0.0f, dot(n, LIGHT));
    const float s = specular * std::pow(std::fmax(0.0f, dot(n, HALF)), shine);
    const float k = ambient + (1 - ambient) * d;
    return {base.r * k + s, base.g * k + s, base.b * k + s, base.a};
}

V3 rotateZ(V3 n, float a) {
    const float c = std::cos(a), s = std::sin(a);
    return {n.x * c - n.y * s, n.x * s + n.y * c, n.z};
}

// Distance from (x, y) to the nearest edge of a polygon.
float edgeDistance(const std::vector<float>& xs, const std::vector<float>& ys, float x, float y) {
    float best = 1e9f;
    const size_t n = xs.size();
    for (size_t i = 0, j = n - 1; i < n; j = i++) {
        const float ex = xs[i] - xs[j], ey = ys[i] - ys[j];
        const float len2 = ex * ex + ey * ey;
        float t = len2 > 0 ? ((x - xs[j]) * ex + (y - ys[j]) * ey) / len2 : 0;
        t = t < 0 ? 0 : (t > 1 ? 1 : t);
        const float dx = x - (xs[j] + t * ex), dy = y - (ys[j] + t * ey);
        best = std::fmin(best, std::sqrt(dx * dx + dy * dy));
    }
    return best;
}

// Paints a polygon as a bevelled plate: its rim slopes over `bevel` pixels and
// catches the light, the middle is flat.
void bevelPlate(Raster& r, const std::vector<float>& xs, const std::vector<float>& ys, const RGBA& colour,
                float bevel, float ambient, float specular) {
    r.fillPolygon(xs.data(), ys.data(), int(xs.size()), [&](float x, float y) {
        const float e = 0.35f;
        const auto h = [&](float px, float py) { return std::fmin(edgeDistance(xs, ys, px, py), bevel); };
        const float hx = h(x + e, y) - h(x - e, y), hy = h(x, y + e) - h(x, y - e);
        return lit(colour, {-hx / (2 * e) * 1.4f, -hy / (2 * e) * 1.4f, 1.0f}, ambient, specular, 10.0f);
    });
}

Image finishSprite(Image img, const RGBA& ring, bool diagonal = false) {
    if (ring.a > 0) outline(img, ring, diagonal);
    finish565(img);
    return img;
}

// ---------------------------------------------------------------------------
// Ship: one model of lit facets, turned to each of the sixteen headings.
// ---------------------------------------------------------------------------
struct Facet {
    std::vector<float> x, y;   // model coordinates, nose towards -y, pixels
    V3 normal;                 // model space
    RGBA colour;
    float specular;
    bool dome;                 // normal bulges from the facet's centre (canopy)
};

std::vector<Facet> shipModel() {
    const RGBA hull = rgb(0xA8BCD8), wing = rgb(0x6C82A8), dark = rgb(0x3A4458), accent = rgb(0x3C7CE0),
               glass = rgb(0x1C3C80);
    std::vector<Facet> f;
    // Wings first, the hull lies over their roots.
    f.push_back({{-2.8f, -11.6f, -11.0f, -3.4f}, {-1.5f, 6.2f, 8.6f, 6.9f}, {-0.30f, 0.10f, 0.95f}, wing, 0.25f, false});
    f.push_back({{2.8f, 11.6f, 11.0f, 3.4f}, {-1.5f, 6.2f, 8.6f, 6.9f}, {0.30f, 0.10f, 0.95f}, wing, 0.25f, false});
    f.push_back({{-11.6f, -11.0f, -9.4f, -9.8f}, {6.2f, 8.6f, 8.3f, 4.6f}, {-0.30f, 0.10f, 0.95f}, accent, 0.5f, false});
    f.push_back({{11.6f, 11.0f, 9.4f, 9.8f}, {6.2f, 8.6f, 8.3f, 4.6f}, {0.30f, 0.10f, 0.95f}, accent, 0.5f, false});
    // Engine housings.
    f.push_back({{-3.9f, -1.0f, -1.0f, -3.9f}, {5.0f, 5.0f, 10.0f, 10.0f}, {0.0f, 0.35f, 0.94f}, dark, 0.3f, false});
    f.push_back({{3.9f, 1.0f, 1.0f, 3.9f}, {5.0f, 5.0f, 10.0f, 10.0f}, {0.0f, 0.35f, 0.94f}, dark, 0.3f, false});
    // Hull: two facets meeting along the spine.
    f.push_back({{0.0f, -1.3f, -3.3f, -3.6f, 0.0f}, {-12.6f, -9.0f, -2.0f, 7.6f, 8.6f}, {-0.50f, -0.08f, 0.86f}, hull, 0.55f, false});
    f.push_back({{0.0f, 1.3f, 3.3f, 3.6f, 0.0f}, {-12.6f, -9.0f, -2.0f, 7.6f, 8.6f}, {0.50f, -0.08f, 0.86f}, hull, 0.55f, false});
    // Canopy.
    f.push_back({{0.0f, -1.6f, -1.4f, 1.4f, 1.6f}, {-8.2f, -4.6f, -0.6f, -0.6f, -4.6f}, {0, 0, 1}, glass, 1.0f, true});
    return f;
}

constexpr float SHIP_CX = 16.0f, SHIP_CY = 16.0f;   // the model's origin in the frame

} // namespace

Image shipFrame(int heading, int frame) {
    Raster r(32, 32, SS);
    paintShip(r, SHIP_CX, SHIP_CY, 1.0f, heading, frame);
    return finishSprite(r.resolve(0.45f), rgb(0x0A1224));
}

void paintShip(Raster& r, float cx, float cy, float scale, int heading, int frame) {
    static const std::vector<Facet> model = shipModel();
    const float a = float(heading) * PI / 8.0f, c = std::cos(a), s = std::sin(a);
    // Scaled model coordinates keep the sprite's arithmetic exact at scale 1.
    const auto toScreen = [&](float x, float y, float& ox, float& oy) {
        ox = cx + x * scale * c - y * scale * s;
        oy = cy + x * scale * s + y * scale * c;
    };
    const auto toModel = [&](float px, float py, float& x, float& y) {
        const float dx = px - cx, dy = py - cy;
        x = (dx * c + dy * s) / scale;
        y = (-dx * s + dy * c) / scale;
    };
    // Exhaust: two tapering flames, their length cycling over frames 1..5.
    static const float FLAME_LENGTH[6] = {0, 4.2f, 6.4f, 5.0f, 6.9f, 5.6f};
    if (frame > 0) {
        for (int side = -1; side <= 1; side += 2) {
            const float len = FLAME_LENGTH[frame] * (side < 0 ? 1.0f : 0.92f) + (frame % 2 ? 0.3f : 0.0f);
            const float bx = 2.45f * float(side), by = 9.6f;
            std::vector<float> xs, ys;
            const int steps = 10;
            for (int i = 0; i <= steps; ++i) {
                const float t = float(i) / steps;
                const float half = 1.55f * std::pow(1 - t, 0.6f) + 0.05f;
                float ox, oy;
                toScreen(bx - half, by + t * len, ox, oy);
                xs.push_back(ox); ys.push_back(oy);
            }
            for (int i = steps; i >= 0; --i) {
                const float t = float(i) / steps;
                const float half = 1.55f * std::pow(1 - t, 0.6f) + 0.05f;
                float ox, oy;
                toScreen(bx + half, by + t * len, ox, oy);
                xs.push_back(ox); ys.push_back(oy);
            }
            r.fillPolygon(xs.data(), ys.data(), int(xs.size()), [&](float px, float py) {
                float mx, my;
                toModel(px, py, mx, my);
                const float t = clamp01((my - by) / len), across = std::fabs(mx - bx) / 1.6f;
                const float heat = clamp01(1.0f - t * 1.1f - across * 0.5f);
                if (heat > 0.75f) return mix(rgb(0xFFE890), rgb(0xFFFFF0), (heat - 0.75f) / 0.25f);
                if (heat > 0.4f) return mix(rgb(0xFF8A20), rgb(0xFFE890), (heat - 0.4f) / 0.35f);
                return mix(rgb(0xC02810), rgb(0xFF8A20), heat / 0.4f);
            });
        }
    }
    for (const Facet& f : model) {
        std::vector<float> xs(f.x.size()), ys(f.y.size());
        float mx = 0, my = 0;
        for (size_t i = 0; i < f.x.size(); ++i) {
            toScreen(f.x[i], f.y[i], xs[i], ys[i]);
            mx += f.x[i] / float(f.x.size());
            my += f.y[i] / float(f.y.size());
        }
        r.fillPolygon(xs.data(), ys.data(), int(xs.size()), [&](float px, float py) {
            V3 n = f.normal;
            if (f.dome) {
                float x, y;
                toModel(px, py, x, y);
                n = {(x - mx) / 1.8f, (y - my) / 3.0f, 1.0f};
            }
            return lit(f.colour, rotateZ(n, a), 0.42f, f.specular, f.dome ? 24.0f : 14.0f);
        });
    }
}

// ---------------------------------------------------------------------------
// Rocks: an irregular outline, a dome height field with bumps and craters,
// lit after turning so the light stays in the upper left.
// ---------------------------------------------------------------------------
namespace {

struct RockSpec {
    float rx, ry;            // half extents, pixels
    float turn;              // radians between the frames of the strip
    uint32_t seed;
    RGBA light, mid, dark;   // palette
    int craters;
};

struct Crater {
    float u, v, r;           // model position and radius in units of the half extents
};

} // namespace

static Image paintRock(int w, int h, const RockSpec& rock, int frame) {
    // The strip steps on every game frame, so the rock rocks back and forth by
    // small turns instead of spinning a full revolution in four frames, which
    // would only flicker.
    static const int WOBBLE[4] = {0, 1, 2, 1};
    const float angle = rock.turn * float(WOBBLE[frame & 3]);
    Rng rng(rock.seed);
    float amp[6], phase[6];
    for (int k = 0; k < 6; ++k) {
        amp[k] = rng.range(0.03f, 0.10f) / (1.0f + 0.35f * float(k));
        phase[k] = rng.range(0, 2 * PI);
    }
    std::vector<Crater> craters;
    for (int i = 0; i < rock.craters; ++i) {
        const float ang = rng.range(0, 2 * PI), dist = std::sqrt(rng.uniform()) * 0.7f;
        craters.push_back({std::cos(ang) * dist, std::sin(ang) * dist, rng.range(0.09f, 0.22f)});
    }
    const float cx = float(w) / 2, cy = float(h) / 2, ca = std::cos(angle), sa = std::sin(angle);
    const float scale = std::fmin(rock.rx, rock.ry);
    const auto radius = [&](float phi) {
        float r = 0.86f;
        for (int k = 0; k < 6; ++k) r += amp[k] * std::cos(float(k + 2) * phi + phase[k]);
        r += 0.05f * noise2(std::cos(phi) * 2.5f, std::sin(phi) * 2.5f, rock.seed + 7);
        return r;
    };
    // Height in units of the smaller half extent, model coordinates normalised.
    const auto height = [&](float u, float v, bool& inCrater) {
        const float d = std::sqrt(u * u + v * v), phi = std::atan2(v, u);
        const float s = d / radius(phi);
        float hgt = std::sqrt(std::fmax(0.0f, 1 - s * s)) * 0.9f;
        hgt += 0.07f * fbm2(u * 3.0f, v * 3.0f, 4, rock.seed + 11);
        inCrater = false;
        for (const Crater& c : craters) {
            const float q = std::sqrt((u - c.u) * (u - c.u) + (v - c.v) * (v - c.v)) / c.r;
            if (q < 1.0f) {
                hgt -= 0.45f * c.r * (1 - q * q) * (1 - q * q);
                inCrater = inCrater || q < 0.8f;
            } else if (q < 1.35f) {
                const float rim = 1 - (q - 1) / 0.35f;
                hgt += 0.07f * c.r * rim * rim;
            }
        }
        return hgt;
    };
    Raster r(w, h, 3);
    r.fillAll([&](float px, float py) {
        const float dx = px - cx, dy = py - cy;
        const float mx = (dx * ca + dy * sa) / rock.rx, my = (-dx * sa + dy * ca) / rock.ry;
        const float d = std::sqrt(mx * mx + my * my);
        if (d >= radius(std::atan2(my, mx))) return RGBA{};
        bool crater = false, dummy = false;
        const float e = 0.02f;
        const float hx = (height(mx + e, my, dummy) - height(mx - e, my, dummy)) / (2 * e);
        const float hy = (height(mx, my + e, dummy) - height(mx, my - e, dummy)) / (2 * e);
        height(mx, my, crater);
        // Slopes back to pixels: the model axes are stretched by the half extents.
        V3 n = {-hx * scale / rock.rx, -hy * scale / rock.ry, 1.0f};
        n = rotateZ(n, angle);
        const float tone = fbm2(mx * 2.2f + 3.1f, my * 2.2f, 3, rock.seed + 23);
        RGBA base = tone > 0.05f ? mix(rock.mid, rock.light, clamp01(tone * 3)) : mix(rock.mid, rock.dark, clamp01(-tone * 3));
        if (crater) base = scaled(base, 0.8f);
        return lit(base, n, 0.22f, 0.12f, 6.0f);
    });
    return finishSprite(r.resolve(0.5f), rgb(0x180E08));
}

Image rockFrame(int size, int variant, int frame) {
    if (size == 0) {
        const RockSpec s{6.6f, 6.6f, 0.22f, 301, rgb(0xB49C84), rgb(0x7E6A58), rgb(0x4A3C32), 2};
        return paintRock(16, 16, s, frame);
    }
    if (size == 1) {
        const RockSpec s{13.4f, 13.0f, 0.16f, 202, rgb(0xB8A088), rgb(0x806C5A), rgb(0x4C3E34), 4};
        return paintRock(32, 32, s, frame);
    }
    static const RockSpec BIG[3] = {
        {56.0f, 27.5f, 0.045f, 101, rgb(0xB8A08A), rgb(0x7E6A5A), rgb(0x463A32), 6},
        {54.0f, 28.0f, 0.05f, 117, rgb(0xA8A098), rgb(0x72685E), rgb(0x3E3834), 5},
        {55.0f, 26.5f, 0.045f, 133, rgb(0xC4A47C), rgb(0x8A6E52), rgb(0x4E3C2C), 7},
    };
    return paintRock(128, 64, BIG[variant % 3], frame);
}

// ---------------------------------------------------------------------------
// Shots
// ---------------------------------------------------------------------------
Image shotFrame(int frame) {
    Raster r(8, 8, SS);
    const float cx = 4.0f, cy = 4.0f, turn = float(frame) * PI / 8;
    r.fillAll([&](float x, float y) {
        const float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
        const float phi = std::atan2(dy, dx) - turn;
        const float spike = std::pow(std::fabs(std::cos(2 * phi)), 8.0f);
        const float reach = 2.2f + 1.6f * spike;
        if (d > reach) return RGBA{};
        const float t = d / reach;
        if (d < 1.3f) return rgb(0xFFFFFF);
        return mix(rgb(0xB0F4FF), rgb(0x2090F0), t);
    });
    Image img = r.resolve(0.45f);
    finish565(img);
    return img;
}

Image bossShotFrame(int frame) {
    static const float PULSE[4] = {3.5f, 4.1f, 4.6f, 4.1f};
    Raster r(10, 10, SS);
    const float cx = 5.0f, cy = 5.0f, turn = float(frame) * PI / 6;
    r.fillAll([&](float x, float y) {
        const float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
        const float phi = std::atan2(dy, dx) + turn;
        const float reach = PULSE[frame & 3] * (0.85f + 0.15f * std::cos(5 * phi));
        if (d > reach) return RGBA{};
        const float t = d / reach;
        if (t < 0.3f) return rgb(0xFFE0F4);
        return mix(rgb(0xFF50B0), rgb(0x901040), t);
    });
    return finishSprite(r.resolve(0.45f), rgb(0x200410));
}

// ---------------------------------------------------------------------------
// Boss: a red-magenta warship facing down the screen, with running lights
// that chase round its wings over the three frames.
// ---------------------------------------------------------------------------
namespace {
constexpr float BOSS_CX = 32.0f, BOSS_CY = 30.0f;
constexpr int BOSS_LIGHTS = 9;
const float BOSS_LIGHT_X[BOSS_LIGHTS] = {-25, -19, -12, -5, 5, 12, 19, 25, 0};
const float BOSS_LIGHT_Y[BOSS_LIGHTS] = {3, -8, -15, -19, -19, -15, -8, 3, -22};

// One bevelled plate of the boss, given around the hull's centre.
void bossPlate(Raster& r, const std::vector<float>& px, const std::vector<float>& py,
               const RGBA& colour, float bevel, float ambient, float specular) {
    std::vector<float> xs, ys;
    for (size_t i = 0; i < px.size(); ++i) {
        xs.push_back(BOSS_CX + px[i]);
        ys.push_back(BOSS_CY + py[i]);
    }
    bevelPlate(r, xs, ys, colour, bevel, ambient, specular);
}

// A plate and its mirror image across the hull's centre line, left one first.
void bossPlatePair(Raster& r, const std::vector<float>& px, const std::vector<float>& py,
                   const RGBA& colour, float bevel, float ambient, float specular) {
    bossPlate(r, px, py, colour, bevel, ambient, specular);
    std::vector<float> mirrored = px;
    for (float& v : mirrored) v = -v;
    bossPlate(r, mirrored, py, colour, bevel, ambient, specular);
}

// The hull only, shared with the warp's materialising silhouette.
void paintBossHull(Raster& r) {
    bossPlate(r, {0, 10, 22, 29, 28, 20, 14, 9, 5, 0, -5, -9, -14, -20, -28, -29, -22, -10},
              {-25, -21, -13, 0, 10, 8, 16, 29, 15, 17, 15, 29, 16, 8, 10, 0, -13, -21},
              rgb(0x8C1832), 3.0f, 0.35f, 0.35f);
    // Wing plates.
    bossPlatePair(r, {-8, -20, -25, -24, -15}, {-16, -10, -1, 5, 4}, rgb(0xB02A5E), 2.0f, 0.35f,
                  0.4f);
    // Carapace over the middle.
    bossPlate(r, {0, 8, 11, 7, 0, -7, -11, -8}, {-20, -15, -2, 9, 12, 9, -2, -15},
              rgb(0x6E1230), 3.0f, 0.35f, 0.5f);
    // Prong tips.
    bossPlatePair(r, {9, 11, 9, 7}, {20, 21, 29, 21}, rgb(0xD04080), 1.0f, 0.4f, 0.5f);
}
} // namespace

Image bossFrame(int frame) {
    Raster r(64, 64, SS);
    paintBossHull(r);
    // The core: a glowing eye in the carapace.
    r.fillDisc(BOSS_CX, BOSS_CY - 4, 5.2f, [&](float x, float y) {
        const float d = std::sqrt((x - BOSS_CX) * (x - BOSS_CX) + (y - BOSS_CY + 4) * (y - BOSS_CY + 4)) / 5.2f;
        return d < 0.45f ? mix(rgb(0xFFFFFF), rgb(0xFF80E0), d / 0.45f) : mix(rgb(0xFF40C0), rgb(0x60103C), (d - 0.45f) / 0.55f);
    });
    // Gun mouth low in the middle, where the boss's shots leave.
    r.fillDisc(BOSS_CX, BOSS_CY + 12, 2.6f, [&](float, float) { return rgb(0x200810); });
    r.fillDisc(BOSS_CX, BOSS_CY + 12, 1.3f, [&](float, float) { return rgb(0xFF6030); });
    for (int i = 0; i < BOSS_LIGHTS; ++i) {
        const bool on = (i % 3) == frame % 3;
        const float lx = BOSS_CX + BOSS_LIGHT_X[i], ly = BOSS_CY + BOSS_LIGHT_Y[i];
        r.fillDisc(lx, ly, on ? 1.7f : 1.1f, [&](float x, float y) {
            const float d = std::sqrt((x - lx) * (x - lx) + (y - ly) * (y - ly));
            return on ? mix(rgb(0xFFFFFF), rgb(0xFF60A0), d / 1.7f) : rgb(0x501028);
        });
    }
    return finishSprite(r.resolve(0.5f), rgb(0x1A0410));
}

Image bossFlashFrame(int frame) {
    Raster r(32, 32, SS);
    const float cx = 16, cy = 16;
    static const float CORE[4] = {6.0f, 4.2f, 0.0f, 0.0f};
    static const float RAY[4] = {14.0f, 12.0f, 9.0f, 0.0f};
    r.fillAll([&](float x, float y) {
        const float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
        const float phi = std::atan2(dy, dx) + float(frame) * 0.2f;
        const float ray = std::pow(std::fabs(std::cos(4 * phi)), 24.0f);
        if (d < CORE[frame]) return mix(rgb(0xFFFFFF), rgb(0xFFE060), d / CORE[frame]);
        if (RAY[frame] > 0 && d < RAY[frame] && ray > 0.35f + d / RAY[frame] * 0.5f)
            return mix(rgb(0xFFF8C0), rgb(0xFF8020), d / RAY[frame]);
        if (frame == 2 && d > 7.5f && d < 9.5f && std::cos(6 * phi) > -0.2f) return rgb(0xFFB040);
        return RGBA{};
    });
    if (frame == 3) {
        Rng rng(77);
        for (int i = 0; i < 10; ++i) {
            const float a = rng.range(0, 2 * PI), d = rng.range(6, 12);
            const float sx = cx + std::cos(a) * d, sy = cy + std::sin(a) * d;
            r.fillDisc(sx, sy, 0.9f, [&](float, float) { return i % 2 ? rgb(0xFFD060) : rgb(0xFF7020); });
        }
    }
    Image img = r.resolve(0.45f);
    finish565(img);
    return img;
}

Image shieldFrame(int frame) {
    Raster r(32, 32, SS);
    const float cx = 16, cy = 16, inner = 12.6f, outer = 15.2f;
    r.fillAll([&](float x, float y) {
        const float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
        if (d < inner || d > outer) return RGBA{};
        const float phi = std::atan2(dy, dx);
        const float across = (d - inner) / (outer - inner);
        const float wave = 0.5f + 0.5f * std::sin(6 * phi - float(frame) * PI / 2);
        const float shimmer = noise2(std::cos(phi) * 3 + float(frame) * 1.7f, std::sin(phi) * 3, 55);
        // The lit side faces the light in the upper left.
        const float facing = 0.5f + 0.5f * (-(dx * LIGHT_X + dy * LIGHT_Y) / d);
        float glow = 0.35f + 0.35f * wave + 0.25f * shimmer + 0.25f * facing;
        glow *= 1.0f - 0.5f * std::fabs(across - 0.45f) * 2;
        glow = clamp01(glow);
        if (glow > 0.7f) return mix(rgb(0x80E0FF), rgb(0xF0FFFF), (glow - 0.7f) / 0.3f);
        return mix(rgb(0x1040A0), rgb(0x80E0FF), glow / 0.7f);
    });
    Image img = r.resolve(0.5f);
    finish565(img);
    return img;
}

// ---------------------------------------------------------------------------
// Explosions: a turbulent fireball that swells, cools and breaks up, with
// sparks flying out and, for big rocks, tumbling debris.
// ---------------------------------------------------------------------------
namespace {

RGBA fireColour(float heat) {
    if (heat > 0.85f) return mix(rgb(0xFFF4B0), rgb(0xFFFFFF), (heat - 0.85f) / 0.15f);
    if (heat > 0.6f) return mix(rgb(0xFFB020), rgb(0xFFF4B0), (heat - 0.6f) / 0.25f);
    if (heat > 0.35f) return mix(rgb(0xE04010), rgb(0xFFB020), (heat - 0.35f) / 0.25f);
    if (heat > 0.15f) return mix(rgb(0x6A2418), rgb(0xE04010), (heat - 0.15f) / 0.2f);
    return mix(rgb(0x2E2226), rgb(0x6A2418), heat / 0.15f);
}

struct Blast {
    int w, h;
    float sx, sy;          // stretch of the fireball across and down
    uint32_t seed;
    int sparks, debris;
};

Image paintBlast(const Blast& b, int frame) {
    const float T = (float(frame) + 0.7f) / 6.0f;           // 0.12 .. 0.95 of the blast's life
    const float R = 6.0f + 23.0f * std::sqrt(T);            // fireball radius before stretching
    const float cx = float(b.w) / 2, cy = float(b.h) / 2;
    Raster r(b.w, b.h, 3);
    r.fillAll([&](float x, float y) {
        const float dx = (x - cx) / b.sx, dy = (y - cy) / b.sy;
        const float d = std::sqrt(dx * dx + dy * dy) / R;
        if (d > 1.3f) return RGBA{};
        const float n = fbm3(dx / 6.0f, dy / 6.0f, float(frame) * 0.45f, 4, b.seed);
        const float density = (1.0f - d) + 0.55f * n;
        const float cut = 0.05f + 0.5f * T * T;
        if (density < cut) return RGBA{};
        const float heat = clamp01((density - cut) * 1.6f * (1.25f - T) + 0.15f * (1 - T));
        return fireColour(heat);
    });
    if (frame == 0) {
        // A bright flash ring opens the blast.
        r.fillAll([&](float x, float y) {
            const float dx = (x - cx) / b.sx, dy = (y - cy) / b.sy;
            const float d = std::sqrt(dx * dx + dy * dy);
            return std::fabs(d - R * 1.15f) < 0.8f ? rgb(0xFFE8A0) : RGBA{};
        });
    }
    Rng rng(b.seed * 3 + 1);
    for (int i = 0; i < b.sparks; ++i) {
        const float a = rng.range(0, 2 * PI), speed = rng.range(0.7f, 1.35f), len = rng.range(1.5f, 3.5f);
        const float dist = R * speed * (0.6f + 0.9f * T);
        const float ux = std::cos(a) * b.sx, uy = std::sin(a) * b.sy;
        const float px = cx + ux * dist, py = cy + uy * dist;
        if (frame == 5 && i % 2) continue;
        const RGBA col = T < 0.5f ? rgb(0xFFF4C0) : (T < 0.8f ? rgb(0xFFB040) : rgb(0xD05020));
        for (int k = 0; k < 4; ++k) {
            const float t = float(k) / 3.0f;
            r.fillDisc(px - ux / b.sx * len * t, py - uy / b.sy * len * t, 0.7f, [&](float, float) { return col; });
        }
    }
    for (int i = 0; i < b.debris; ++i) {
        const float a = rng.range(0, 2 * PI), speed = rng.range(0.5f, 1.2f), size = rng.range(2.2f, 4.0f);
        const float spin = rng.range(-1.2f, 1.2f), dist = R * speed * (0.4f + 1.1f * T);
        const float px = cx + std::cos(a) * dist * b.sx, py = cy + std::sin(a) * dist * b.sy;
        std::vector<float> xs, ys;
        for (int k = 0; k < 5; ++k) {
            const float pa = spin * float(frame) + float(k) * 2 * PI / 5;
            const float pr = size * (0.7f + 0.3f * std::cos(float(k * 7 + i)));
            xs.push_back(px + std::cos(pa) * pr);
            ys.push_back(py + std::sin(pa) * pr * 0.8f);
        }
        const float facing = std::cos(spin * float(frame) + float(i));
        r.fillPolygon(xs.data(), ys.data(), 5, [&](float, float) {
            return lit(rgb(0x8A705A), {facing * 0.6f - 0.2f, -0.3f, 0.8f}, 0.3f, 0.1f, 4);
        });
    }
    Image img = r.resolve(0.5f);
    finish565(img);
    return img;
}

} // namespace

Image explosionFrame(int frame) { return paintBlast({64, 64, 1.0f, 1.0f, 501, 22, 0}, frame); }

Image bigExplosionFrame(int frame) { return paintBlast({128, 64, 2.05f, 1.0f, 503, 30, 14}, frame); }

// ---------------------------------------------------------------------------
// Boss warp: a vortex opens, the warship takes shape in it, and at the
// seventh frame the ship itself is there (drawn under the closing ring).
// ---------------------------------------------------------------------------
Image warpFrame(int frame) {
    static const float RADIUS[8] = {7, 13, 19, 24, 28, 30, 30, 27};
    const float R = RADIUS[frame], cx = 32, cy = 32;
    Raster r(64, 64, SS);
    const bool open = frame >= 6;   // the ship is delivered: keep the middle clear
    r.fillAll([&](float x, float y) {
        const float dx = x - cx, dy = y - cy, d = std::sqrt(dx * dx + dy * dy);
        if (d > R) return RGBA{};
        const float t = d / R;
        if (open && t < 0.8f) return RGBA{};
        const float phi = std::atan2(dy, dx);
        const float arm = std::sin(3 * (phi + 3.2f * t) + float(frame) * 0.9f);
        const float n = 0.3f * noise2(dx / 5, dy / 5, 91 + uint32_t(frame));
        const float v = arm * (1 - t) + n + (open ? 0.6f : 0.0f);
        if (v < -0.15f - (1 - t) * 0.3f) return RGBA{};
        if (t < 0.25f && !open) return mix(rgb(0xFFFFFF), rgb(0xC0F0FF), t / 0.25f);
        const float b = clamp01(0.5f + 0.5f * v);
        return b > 0.6f ? mix(rgb(0xD050FF), rgb(0xFFC0FF), (b - 0.6f) / 0.4f) : mix(rgb(0x301060), rgb(0xD050FF), b / 0.6f);
    });
    if (frame == 4 || frame == 5) {
        // The warship's shape forming in the middle of the vortex.
        Raster ghost(64, 64, SS);
        paintBossHull(ghost);
        for (int y = 0; y < ghost.height(); ++y)
            for (int x = 0; x < ghost.width(); ++x) {
                const RGBA s = ghost.sample(x, y);
                if (s.a > 0.5f && ((x / SS + y / SS) % (frame == 4 ? 2 : 1)) == 0)
                    r.over(x, y, mix(s, rgb(0xFF80FF), frame == 4 ? 0.6f : 0.3f));
            }
    }
    Image img = r.resolve(0.5f);
    finish565(img);
    return img;
}

// ---------------------------------------------------------------------------
// Scenery: a small ringed planetoid drifting past close to the camera.
// ---------------------------------------------------------------------------
Image sceneryFrame() {
    const float cx = 45, cy = 32, pr = 20.5f, tilt = -0.2f;
    const float ringOuter = 43.0f, ringInner = 27.0f, flat = 0.26f;
    Raster r(90, 64, 3);
    const float ct = std::cos(tilt), st = std::sin(tilt);
    const auto ring = [&](float x, float y, bool front) -> RGBA {
        const float dx = x - cx, dy = y - cy;
        const float u = dx * ct + dy * st, v = (-dx * st + dy * ct) / flat;
        const float d = std::sqrt(u * u + v * v);
        if (d < ringInner || d > ringOuter) return {};
        if ((v > 0) != front) return {};
        const float band = std::sin(d * 1.3f) * 0.3f + noise2(d * 0.6f, 0, 17) * 0.4f;
        if (band < -0.35f) return {};
        RGBA c = mix(rgb(0x5C5266), rgb(0xB0A488), clamp01(0.5f + band));
        // The planet's shadow falls on the far side of the ring.
        if (!front && dx > 0 && std::fabs(dy - dx * 0.3f) < pr * 0.8f) c = scaled(c, 0.45f);
        return c;
    };
    r.fillAll([&](float x, float y) { return ring(x, y, false); });
    r.fillDisc(cx, cy, pr, [&](float x, float y) {
        const float nx = (x - cx) / pr, ny = (y - cy) / pr, nz = std::sqrt(std::fmax(0.0f, 1 - nx * nx - ny * ny));
        const float lat = ny * ct - nx * st;
        const float bands = std::sin(lat * 9.0f + 2.0f * fbm2(nx * 3, ny * 3, 3, 41));
        RGBA base = mix(rgb(0x4A4C7E), rgb(0x8A76A6), clamp01(0.5f + 0.5f * bands));
        base = mix(base, rgb(0x3C6C80), clamp01(fbm2(nx * 5 + 2, ny * 5, 3, 43) + 0.1f));
        return lit(base, {nx, ny, nz}, 0.12f, 0.15f, 8);
    });
    r.fillAll([&](float x, float y) { return ring(x, y, true); });
    return finishSprite(r.resolve(0.5f), rgb(0x0C0A18));
}

// ---------------------------------------------------------------------------
// Bonus carrier: a hexagonal pod whose badge names the power-up it carries;
// the two frames of a kind blink its side lights in turn.
// ---------------------------------------------------------------------------
Image carrierFrame(int frame) {
    static const char* LETTER[5] = {"L", "S", "F", "5", "P"};
    static const uint32_t COLOUR[5] = {0x30C0FF, 0x40E060, 0xFFD030, 0xFF8030, 0xE050FF};
    const int kind = (frame / 2) % 5, phase = frame % 2;
    const RGBA tint = rgb(COLOUR[kind]);
    Raster r(32, 32, SS);
    std::vector<float> xs, ys;
    for (int k = 0; k < 6; ++k) {
        const float a = float(k) * PI / 3;
        xs.push_back(16 + std::cos(a) * 14.5f);
        ys.push_back(16 + std::sin(a) * 12.8f);
    }
    bevelPlate(r, xs, ys, mix(rgb(0x707C90), tint, 0.35f), 3.0f, 0.4f, 0.5f);
    r.fillDisc(16, 16, 8.6f, [&](float x, float y) {
        const float d = std::sqrt((x - 16) * (x - 16) + (y - 16) * (y - 16)) / 8.6f;
        return mix(scaled(tint, phase ? 0.42f : 0.32f), rgb(0x0C1020), d * d);
    });
    for (int side = 0; side < 2; ++side) {
        const bool on = side == phase;
        const float lx = side ? 29.0f : 3.0f;
        r.fillDisc(lx, 16, 1.8f, [&](float, float) { return on ? rgb(0xFFFFFF) : scaled(tint, 0.5f); });
    }
    Image img = r.resolve(0.5f);
    outline(img, rgb(0x0A0E18), false);
    TextStyle s;
    s.sx = 2; s.sy = 2; s.bold = 0;
    s.top = rgb(0xFFFFFF); s.bottom = mix(tint, rgb(0xFFFFFF), 0.5f);
    s.outline = rgb(0x060810);
    drawTextCentred(img, 0, 0, 32, 32, LETTER[kind], s);
    finish565(img);
    return img;
}

} // namespace art
