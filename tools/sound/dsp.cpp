// Sound toolkit of the effect and music generators.
#include "tools/sound/dsp.h"

#include <cmath>
#include <cstdio>

namespace snd {

float Noise::next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return float(s_ & 0xFFFFFF) / float(0x7FFFFF) - 1.0f;
}

float LowPass::run(float x, float cutoff, float rate) {
    const float a = 1.0f - std::exp(-2.0f * PI * cutoff / rate);
    y_ += a * (x - y_);
    return y_;
}

float Svf::run(float x, float cutoff, float q, float rate, Mode mode) {
    // Trapezoidal state-variable filter: stable at every cutoff below Nyquist.
    const float g = std::tan(PI * std::fmin(cutoff, rate * 0.45f) / rate), k = 1.0f / q;
    const float a1 = 1.0f / (1.0f + g * (g + k)), a2 = g * a1, a3 = g * a2;
    const float v3 = x - low_;
    const float v1 = a1 * band_ + a2 * v3;
    const float v2 = low_ + a2 * band_ + a3 * v3;
    band_ = 2 * v1 - band_;
    low_ = 2 * v2 - low_;
    return mode == LOW ? v2 : (mode == BAND ? v1 : x - k * v1 - v2);
}

float saw(float phase, int harmonics) {
    float s = 0;
    for (int k = 1; k <= harmonics; ++k) s += std::sin(2 * PI * float(k) * phase) / float(k);
    return s * 0.55f;
}

float square(float phase, float duty, int harmonics) {
    // A pulse is the difference of two saws shifted by the duty cycle.
    return (saw(phase, harmonics) - saw(phase + duty, harmonics)) * 0.9f;
}

float triangle(float phase) {
    const float p = phase - std::floor(phase);
    return p < 0.5f ? 4 * p - 1 : 3 - 4 * p;
}

void fadeEnds(Buffer& b, float ms, int rate) {
    const size_t n = size_t(ms * float(rate) / 1000.0f);
    for (size_t i = 0; i < n && i < b.size(); ++i) {
        const float g = 0.5f - 0.5f * std::cos(PI * float(i) / float(n));
        b[i] *= g;
        b[b.size() - 1 - i] *= g;
    }
    if (!b.empty()) {
        b.front() = 0;
        b.back() = 0;
    }
}

void normalise(Buffer& b, float peak) {
    float m = 0;
    for (float v : b) m = std::fmax(m, std::fabs(v));
    if (m <= 0) return;
    for (float& v : b) v *= peak / m;
}

namespace {
void put16(std::FILE* f, uint32_t v) { std::fputc(int(v & 0xFF), f); std::fputc(int(v >> 8 & 0xFF), f); }
void put32(std::FILE* f, uint32_t v) { put16(f, v & 0xFFFF); put16(f, v >> 16); }
} // namespace

bool writeWav(const char* path, const Buffer& b, int rate) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const uint32_t bytes = uint32_t(b.size() * 2);
    std::fputs("RIFF", f); put32(f, 36 + bytes); std::fputs("WAVE", f);
    std::fputs("fmt ", f); put32(f, 16); put16(f, 1); put16(f, 1);
    put32(f, uint32_t(rate)); put32(f, uint32_t(rate) * 2); put16(f, 2); put16(f, 16);
    std::fputs("data", f); put32(f, bytes);
    for (float v : b) {
        const float c = v < -1 ? -1 : (v > 1 ? 1 : v);
        put16(f, uint32_t(uint16_t(int16_t(std::lround(c * 32767.0f)))));
    }
    return std::fclose(f) == 0;
}

} // namespace snd
