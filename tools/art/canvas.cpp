// Raster toolkit of the picture generators.
#include "tools/art/canvas.h"

#include <cmath>

namespace art {

float clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

float smoothstep(float e0, float e1, float x) {
    const float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

RGBA mix(const RGBA& a, const RGBA& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t, a.a + (b.a - a.a) * t};
}

RGBA scaled(const RGBA& c, float k) { return {c.r * k, c.g * k, c.b * k, c.a}; }

uint32_t toArgb(const RGBA& c) {
    const auto ch = [](float v) { return uint32_t(std::lround(clamp01(v) * 255.0f)); };
    return 0xFF000000u | (ch(c.r) << 16) | (ch(c.g) << 8) | ch(c.b);
}

RGBA fromArgb(uint32_t v) {
    return {float((v >> 16) & 0xFF) / 255.0f, float((v >> 8) & 0xFF) / 255.0f, float(v & 0xFF) / 255.0f,
            float(v >> 24) / 255.0f};
}

void Image::set(int x, int y, const RGBA& c) {
    if (x >= 0 && y >= 0 && x < w && y < h) at(x, y) = toArgb(c);
}

void Image::paste(const Image& src, int x, int y) {
    for (int j = 0; j < src.h; ++j)
        for (int i = 0; i < src.w; ++i) {
            const uint32_t v = src.at(i, j);
            const int tx = x + i, ty = y + j;
            if ((v >> 24) != 0 && tx >= 0 && ty >= 0 && tx < w && ty < h) at(tx, ty) = v;
        }
}

void Image::blend(int x, int y, const RGBA& c) {
    if (x < 0 || y < 0 || x >= w || y >= h) return;
    const uint32_t old = at(x, y);
    const RGBA base = (old >> 24) ? fromArgb(old) : RGBA{0, 0, 0, 0};
    RGBA out = mix(base, c, clamp01(c.a));
    at(x, y) = toArgb(out);
    if ((old >> 24) == 0 && c.a < 0.5f) at(x, y) = old;   // a faint touch leaves holes open
}

void outline(Image& img, const RGBA& colour, bool diagonal) {
    const Image src = img;
    const uint32_t v = toArgb(colour);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x) {
            if (src.opaque(x, y)) continue;
            bool near = src.opaque(x - 1, y) || src.opaque(x + 1, y) || src.opaque(x, y - 1) || src.opaque(x, y + 1);
            if (!near && diagonal)
                near = src.opaque(x - 1, y - 1) || src.opaque(x + 1, y - 1) || src.opaque(x - 1, y + 1) ||
                       src.opaque(x + 1, y + 1);
            if (near) img.at(x, y) = v;
        }
}

void dropShadow(Image& img, int dx, int dy, const RGBA& colour) {
    const Image src = img;
    const uint32_t v = toArgb(colour);
    for (int y = 0; y < img.h; ++y)
        for (int x = 0; x < img.w; ++x)
            if (!src.opaque(x, y) && src.opaque(x - dx, y - dy)) img.at(x, y) = v;
}

void finish565(Image& img) {
    for (uint32_t& v : img.px) {
        if ((v >> 24) < 128) {
            v = 0;
            continue;
        }
        uint32_t r = (v >> 16) & 0xF8, g = (v >> 8) & 0xF8, b = v & 0xF8;
        if (r == 0 && g == 0 && b == 0) r = g = b = 8;   // darkest colour that is not transparent
        r |= r >> 5; g |= g >> 5; b |= b >> 5;
        v = 0xFF000000u | (r << 16) | (g << 8) | b;
    }
}

Raster::Raster(int w, int h, int ss) : w_(w), h_(h), ss_(ss), s_(size_t(w) * h * ss * ss) {}

void Raster::over(int x, int y, const RGBA& c) {
    if (x < 0 || y < 0 || x >= width() || y >= height()) return;
    RGBA& d = s_[size_t(y) * width() + x];
    const float a = clamp01(c.a), k = 1 - a;
    d.r = c.r * a + d.r * k;
    d.g = c.g * a + d.g * k;
    d.b = c.b * a + d.b * k;
    d.a = a + d.a * k;
}

RGBA Raster::sample(int x, int y) const {
    const RGBA& d = s_[size_t(y) * width() + x];
    if (d.a <= 0) return {};
    return {d.r / d.a, d.g / d.a, d.b / d.a, d.a};
}

Image Raster::resolve(float threshold) const {
    Image out(w_, h_);
    const float n = float(ss_ * ss_);
    for (int y = 0; y < h_; ++y)
        for (int x = 0; x < w_; ++x) {
            RGBA sum;
            for (int j = 0; j < ss_; ++j)
                for (int i = 0; i < ss_; ++i) {
                    const RGBA& d = s_[size_t(y * ss_ + j) * width() + x * ss_ + i];
                    sum.r += d.r; sum.g += d.g; sum.b += d.b; sum.a += d.a;
                }
            if (sum.a / n >= threshold && sum.a > 0)
                out.at(x, y) = toArgb({sum.r / sum.a, sum.g / sum.a, sum.b / sum.a, 1});
        }
    return out;
}

bool insidePolygon(const float* xs, const float* ys, int n, float x, float y) {
    bool in = false;
    for (int i = 0, j = n - 1; i < n; j = i++) {
        if ((ys[i] > y) != (ys[j] > y) && x < (xs[j] - xs[i]) * (y - ys[i]) / (ys[j] - ys[i]) + xs[i]) in = !in;
    }
    return in;
}

uint64_t Rng::next() {
    s_ ^= s_ >> 12;
    s_ ^= s_ << 25;
    s_ ^= s_ >> 27;
    return s_ * 0x2545F4914F6CDD1Dull;
}

float Rng::uniform() { return float(next() >> 40) / float(1ull << 24); }

namespace {
uint32_t hash3(int x, int y, int z, uint32_t seed) {
    uint32_t h = seed * 0x27d4eb2du ^ uint32_t(x) * 0x85ebca6bu ^ uint32_t(y) * 0xc2b2ae35u ^ uint32_t(z) * 0x165667b1u;
    h ^= h >> 15;
    h *= 0x2c1b3c6du;
    h ^= h >> 12;
    h *= 0x297a2d39u;
    h ^= h >> 15;
    return h;
}
float lattice(int x, int y, int z, uint32_t seed) { return float(hash3(x, y, z, seed) & 0xFFFF) / 32767.5f - 1.0f; }
float fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
} // namespace

float noise3(float x, float y, float z, uint32_t seed) {
    const float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    const int ix = int(fx), iy = int(fy), iz = int(fz);
    const float tx = fade(x - fx), ty = fade(y - fy), tz = fade(z - fz);
    float c[2][2];
    for (int j = 0; j < 2; ++j)
        for (int k = 0; k < 2; ++k) {
            const float a = lattice(ix, iy + j, iz + k, seed), b = lattice(ix + 1, iy + j, iz + k, seed);
            c[j][k] = a + (b - a) * tx;
        }
    const float y0 = c[0][0] + (c[1][0] - c[0][0]) * ty, y1 = c[0][1] + (c[1][1] - c[0][1]) * ty;
    return y0 + (y1 - y0) * tz;
}

float noise2(float x, float y, uint32_t seed) { return noise3(x, y, 0.5f, seed); }

float fbm3(float x, float y, float z, int octaves, uint32_t seed) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * noise3(x, y, z, seed + uint32_t(o) * 101u);
        norm += amp;
        x *= 2.03f; y *= 2.03f; z *= 2.03f;
        amp *= 0.5f;
    }
    return sum / norm;
}

float fbm2(float x, float y, int octaves, uint32_t seed) { return fbm3(x, y, 0.5f, octaves, seed); }

} // namespace art
