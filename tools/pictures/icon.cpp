// Painter of the application icon: the game's own ship model, under thrust,
// on a rounded tile of the game's starfield with the menu plates' blue rim.
#include <cmath>

#include "tools/pictures/pictures.h"

namespace art {
namespace {

constexpr int ICON_SS = 4;               // samples per pixel side
constexpr uint32_t ICON_SKY_SEED = 77;   // starfield of the tile
constexpr int ICON_HEADING = 2;          // nose up and to the right
constexpr int ICON_FLAME_FRAME = 4;      // the longest exhaust flames
constexpr float MARGIN = 0.03f;          // of the size, around the tile
constexpr float CORNER = 0.19f;          // of the size, corner radius
constexpr float RIM = 0.035f;            // of the size, width of the rim
constexpr float SHIP_SCALE = 0.92f / 32;  // model units to pixels, per pixel of size
// The middle of the ship and its flames lies 2 model units behind the model's
// origin; at the icon's heading the origin goes this far right of and above
// the tile's middle (model units per axis) to centre it.
constexpr float SHIP_SHIFT = 1.4f;

// Signed distance from (x, y) to the edge of the rounded tile (< 0 inside).
float tileDistance(float x, float y, float size) {
    const float half = size * (0.5f - MARGIN), radius = size * CORNER, mid = size * 0.5f;
    const float qx = std::fabs(x - mid) - (half - radius), qy = std::fabs(y - mid) - (half - radius);
    const float ox = std::fmax(qx, 0.0f), oy = std::fmax(qy, 0.0f);
    return std::sqrt(ox * ox + oy * oy) + std::fmin(std::fmax(qx, qy), 0.0f) - radius;
}

} // namespace

Image appIcon(int size) {
    const float s = float(size);
    const Image sky = starfield(size, size, ICON_SKY_SEED, 1.0f);
    const float rim = std::fmax(1.0f, s * RIM);
    Raster r(size, size, ICON_SS);
    r.fillAll([&](float x, float y) -> RGBA {
        const float d = tileDistance(x, y, s);
        if (d > 0) return {};
        RGBA c = fromArgb(sky.at(int(x), int(y)));
        if (d > -rim) c = mix(c, rgb(0x7080D8), 0.85f);
        c.a = 1;
        return c;
    });
    const float k = s * SHIP_SCALE;
    paintShip(r, s * 0.5f + SHIP_SHIFT * k, s * 0.5f - SHIP_SHIFT * k, k, ICON_HEADING, ICON_FLAME_FRAME);

    // Coverage becomes alpha, so the tile's corners are smooth on any panel.
    Image out(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            RGBA sum;
            for (int j = 0; j < ICON_SS; ++j)
                for (int i = 0; i < ICON_SS; ++i) {
                    const RGBA c = r.sample(x * ICON_SS + i, y * ICON_SS + j);
                    sum.r += c.r * c.a, sum.g += c.g * c.a, sum.b += c.b * c.a, sum.a += c.a;
                }
            if (sum.a <= 0) continue;
            const uint32_t alpha = uint32_t(std::lround(clamp01(sum.a / (ICON_SS * ICON_SS)) * 255));
            out.at(x, y) = (alpha << 24) | (toArgb({sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, 1}) & 0xFFFFFF);
        }
    return out;
}

} // namespace art
