// Raster toolkit of the picture generators: float colours, a supersampled
// painting surface, finished 32-bit pictures, a seeded random source and
// value noise. Everything is deterministic: the same calls give the same bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace art {

struct RGBA {
    float r = 0, g = 0, b = 0, a = 0;   // 0..1, not premultiplied
};

constexpr RGBA rgb(uint32_t hex, float a = 1.0f) {
    return {float((hex >> 16) & 0xFF) / 255.0f, float((hex >> 8) & 0xFF) / 255.0f,
            float(hex & 0xFF) / 255.0f, a};
}
RGBA mix(const RGBA& a, const RGBA& b, float t);
RGBA scaled(const RGBA& c, float k);          // colour channels times k, alpha kept
float clamp01(float v);
float smoothstep(float e0, float e1, float x);

// A finished picture: 0xAARRGGBB, alpha 0 (and value 0) marks transparency.
struct Image {
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    Image() = default;
    Image(int width, int height, uint32_t fill = 0) : w(width), h(height), px(size_t(width) * height, fill) {}
    uint32_t& at(int x, int y) { return px[size_t(y) * w + x]; }
    uint32_t at(int x, int y) const { return px[size_t(y) * w + x]; }
    bool opaque(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && (at(x, y) >> 24) != 0; }
    void set(int x, int y, const RGBA& c);    // opaque write, clipped
    // Copies the opaque pixels of `src` with its top-left corner at (x, y).
    void paste(const Image& src, int x, int y);
    // Alpha-blends `c` over the pixel (the result stays opaque if it was).
    void blend(int x, int y, const RGBA& c);
};

uint32_t toArgb(const RGBA& c);               // alpha forced to 255
RGBA fromArgb(uint32_t v);

// Surrounds the opaque shape with a ring of `colour` (8-neighbourhood when
// `diagonal`), never overwriting opaque pixels.
void outline(Image& img, const RGBA& colour, bool diagonal = true);
// Adds a copy of the shape, shifted by (dx, dy) in `colour`, behind it.
void dropShadow(Image& img, int dx, int dy, const RGBA& colour);

// Rounds every opaque pixel to what the game's 16-bit conversion keeps (five
// bits per channel) and lifts colours that would become the transparent value
// to the darkest visible grey. Transparent pixels become 0.
void finish565(Image& img);

// Supersampled painting surface: w x h output pixels, `ss` x `ss` samples each.
// Shapes are painted per sample; resolve() averages them into an Image whose
// pixels are opaque where at least `threshold` of the samples are covered.
class Raster {
public:
    Raster(int w, int h, int ss);
    int width() const { return w_ * ss_; }     // in samples
    int height() const { return h_ * ss_; }
    int ss() const { return ss_; }
    // Paints `c` over sample (x, y) with its alpha.
    void over(int x, int y, const RGBA& c);
    RGBA sample(int x, int y) const;
    Image resolve(float threshold = 0.5f) const;
    // Sample coordinates of an output-pixel position (pixel units, y down).
    float toPixel(int sampleIndex) const { return (float(sampleIndex) + 0.5f) / float(ss_); }
    // Cuts a box of sample indices (inclusive) down to the raster.
    void clampToRaster(int& x0, int& y0, int& x1, int& y1) const {
        if (x0 < 0) x0 = 0;
        if (y0 < 0) y0 = 0;
        if (x1 >= width()) x1 = width() - 1;
        if (y1 >= height()) y1 = height() - 1;
    }

    // Calls `shade(px, py)` for every sample whose centre lies inside the
    // polygon (pixel coordinates) and paints the colour it returns.
    template <class F> void fillPolygon(const float* xs, const float* ys, int n, F shade);
    // The same for every sample inside the disc (pixel coordinates).
    template <class F> void fillDisc(float cx, float cy, float radius, F shade);
    // The same for every sample of the whole surface (the shade decides alpha).
    template <class F> void fillAll(F shade);

private:
    int w_, h_, ss_;
    std::vector<RGBA> s_;   // premultiplied
};

bool insidePolygon(const float* xs, const float* ys, int n, float x, float y);

template <class F> void Raster::fillPolygon(const float* xs, const float* ys, int n, F shade) {
    float minX = xs[0], maxX = xs[0], minY = ys[0], maxY = ys[0];
    for (int i = 1; i < n; ++i) {
        minX = xs[i] < minX ? xs[i] : minX; maxX = xs[i] > maxX ? xs[i] : maxX;
        minY = ys[i] < minY ? ys[i] : minY; maxY = ys[i] > maxY ? ys[i] : maxY;
    }
    int x0 = int(minX * ss_) - 1, x1 = int(maxX * ss_) + 1, y0 = int(minY * ss_) - 1, y1 = int(maxY * ss_) + 1;
    clampToRaster(x0, y0, x1, y1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float px = toPixel(x), py = toPixel(y);
            if (insidePolygon(xs, ys, n, px, py)) over(x, y, shade(px, py));
        }
}

template <class F> void Raster::fillDisc(float cx, float cy, float radius, F shade) {
    int x0 = int((cx - radius) * ss_) - 1, x1 = int((cx + radius) * ss_) + 1;
    int y0 = int((cy - radius) * ss_) - 1, y1 = int((cy + radius) * ss_) + 1;
    clampToRaster(x0, y0, x1, y1);
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const float px = toPixel(x), py = toPixel(y);
            const float dx = px - cx, dy = py - cy;
            if (dx * dx + dy * dy <= radius * radius) over(x, y, shade(px, py));
        }
}

template <class F> void Raster::fillAll(F shade) {
    for (int y = 0; y < height(); ++y)
        for (int x = 0; x < width(); ++x) over(x, y, shade(toPixel(x), toPixel(y)));
}

// Seeded generator (xorshift64*); the same seed gives the same sequence.
class Rng {
public:
    explicit Rng(uint64_t seed) : s_(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull) { next(); }
    uint64_t next();
    float uniform();                          // [0, 1)
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return int(next() % uint64_t(n)); }

private:
    uint64_t s_;
};

// Smooth value noise in about -1..1; fbm sums `octaves` octaves.
float noise2(float x, float y, uint32_t seed);
float noise3(float x, float y, float z, uint32_t seed);
float fbm2(float x, float y, int octaves, uint32_t seed);
float fbm3(float x, float y, float z, int octaves, uint32_t seed);

} // namespace art
