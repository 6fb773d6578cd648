// Synthesises the game's sound effects as 22050 Hz 16-bit WAV files.
//
// usage: corvus_gensounds <data directory>
//
// Every effect is built from oscillators, filtered noise and envelopes with a
// fixed noise seed, then given short fades at both ends (no clicks) and scaled
// to its own peak level so that frequent sounds sit under the rare big ones.
#include <cmath>
#include <cstdio>
#include <string>

#include "tools/sound/dsp.h"

using namespace snd;

namespace {

constexpr float R = float(EFFECT_RATE);
constexpr float FADE_MS = 4.0f;

Buffer make(float seconds) { return Buffer(size_t(seconds * R)); }
float expDecay(float t, float tau) { return std::exp(-t / tau); }

// A rumbling burst: filtered noise whose brightness falls as it dies away,
// over a thump that drops in pitch. Larger `size` is deeper and longer.
Buffer explosion(float seconds, float size, float bright, uint32_t seed) {
    Buffer b = make(seconds);
    Noise n(seed);
    Svf f;
    LowPass crackle;
    float phase = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = float(i) / R;
        const float env = std::fmin(1.0f, t / 0.004f) * expDecay(t, 0.12f * size);
        const float cutoff = 300.0f + bright * expDecay(t, 0.08f * size);
        float v = f.run(n.next(), cutoff, 0.8f, R, Svf::LOW) * 1.6f;
        const float thumpFreq = 40.0f + 110.0f / size * expDecay(t, 0.06f);
        phase += thumpFreq / R;
        v += std::sin(2 * PI * phase) * expDecay(t, 0.09f * size) * 0.9f;
        // Sparse crackle in the tail.
        const float c = n.next();
        if (c > 0.985f) v += crackle.run(c * 0.6f, 3000, R);
        b[i] = v * env;
    }
    return b;
}

Buffer thrust() {
    Buffer b = make(0.42f);
    Noise n(11);
    Svf f;
    float phase = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = float(i) / R;
        const float env = std::fmin(1.0f, t / 0.03f) * (t < 0.12f ? 1.0f : expDecay(t - 0.12f, 0.1f));
        const float v = f.run(n.next(), 700.0f + 500.0f * std::sin(t * 9.0f), 1.2f, R, Svf::BAND);
        phase += (55.0f + 8.0f * t) / R;
        b[i] = (v * 2.2f + 0.35f * saw(phase, 6)) * env;
    }
    return b;
}

Buffer shot() {
    Buffer b = make(0.16f);
    float phase = 0;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = float(i) / R;
        const float freq = 2200.0f * std::exp(-t * 16.0f) + 380.0f;
        phase += freq / R;
        const float env = std::fmin(1.0f, t / 0.002f) * expDecay(t, 0.05f);
        b[i] = (square(phase, 0.3f, 10) * 0.7f + std::sin(2 * PI * phase * 0.5f) * 0.4f) * env;
    }
    return b;
}

Buffer bossDestroyed() {
    Buffer a = explosion(1.7f, 2.4f, 2600.0f, 61);
    Buffer b = explosion(1.7f, 1.2f, 5000.0f, 62);
    float phase = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        const float t = float(i) / R;
        // The second blast follows a moment later, over a falling whine.
        const size_t lag = size_t(0.18f * R);
        const float second = i >= lag ? b[i - lag] * 0.8f : 0.0f;
        phase += (900.0f * std::exp(-t * 2.2f) + 60.0f) / R;
        a[i] = a[i] + second + square(phase, 0.5f, 6) * 0.18f * expDecay(t, 0.5f);
    }
    return a;
}

Buffer bossWarp() {
    Buffer b = make(1.3f);
    float p1 = 0, p2 = 0;
    Noise n(101);
    Svf f;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = float(i) / R, u = t / 1.3f;
        const float freq = 120.0f + 900.0f * u * u;
        p1 += freq / R;
        p2 += freq * 1.505f / R;
        const float wobble = 0.5f + 0.5f * std::sin(2 * PI * (6.0f + 14.0f * u) * t);
        const float env = std::fmin(1.0f, t / 0.25f) * (u > 0.8f ? (1 - u) / 0.2f : 1.0f);
        const float air = f.run(n.next(), 400.0f + 3000.0f * u, 4.0f, R, Svf::BAND);
        b[i] = (saw(p1, 8) * 0.5f * wobble + triangle(p2) * 0.3f + air * 0.6f) * env;
    }
    return b;
}

Buffer bossFire() {
    Buffer b = make(0.32f);
    float phase = 0;
    Noise n(111);
    LowPass lp;
    for (size_t i = 0; i < b.size(); ++i) {
        const float t = float(i) / R;
        const float freq = 700.0f * std::exp(-t * 9.0f) + 110.0f;
        phase += freq / R;
        const float env = std::fmin(1.0f, t / 0.003f) * expDecay(t, 0.09f);
        const float ring = std::sin(2 * PI * phase * 2.7f);
        b[i] = (saw(phase, 12) * (0.6f + 0.4f * ring) + lp.run(n.next(), 1500, R) * 0.5f) * env;
    }
    return b;
}

Buffer carrierArrives() {
    // Two bright chimes, the second a fifth higher.
    Buffer b = make(0.55f);
    const float notes[2] = {1046.5f, 1568.0f};
    for (int k = 0; k < 2; ++k) {
        const size_t start = size_t(float(k) * 0.14f * R);
        for (size_t i = start; i < b.size(); ++i) {
            const float t = float(i - start) / R;
            const float env = std::fmin(1.0f, t / 0.003f) * expDecay(t, 0.12f);
            const float f = notes[k];
            b[i] += (std::sin(2 * PI * f * t) + 0.35f * std::sin(2 * PI * f * 2.01f * t) +
                     0.2f * square(f * t, 0.25f, 6)) * env * 0.6f;
        }
    }
    return b;
}

Buffer highScoreJingle() {
    // A rising major arpeggio with a held top note.
    const float notes[5] = {523.25f, 659.25f, 783.99f, 1046.5f, 1318.5f};
    const float step = 0.085f;
    Buffer b = make(step * 4 + 0.55f);
    for (int k = 0; k < 5; ++k) {
        const size_t start = size_t(float(k) * step * R);
        const float hold = k == 4 ? 0.3f : 0.05f;
        for (size_t i = start; i < b.size(); ++i) {
            const float t = float(i - start) / R;
            const float env = std::fmin(1.0f, t / 0.004f) * (t < hold ? 1.0f : expDecay(t - hold, 0.06f));
            const float vib = k == 4 ? 1.0f + 0.006f * std::sin(2 * PI * 6.0f * t) : 1.0f;
            b[i] += square(notes[k] * vib * t, 0.5f, 8) * env * 0.45f + triangle(notes[k] * 0.5f * t) * env * 0.25f;
        }
    }
    return b;
}

Buffer shieldWarning() {
    // Three urgent two-tone beeps.
    Buffer b = make(0.62f);
    for (int k = 0; k < 3; ++k) {
        const size_t start = size_t(float(k) * 0.2f * R), len = size_t(0.13f * R);
        for (size_t i = 0; i < len && start + i < b.size(); ++i) {
            const float t = float(i) / R;
            const float f = t < 0.065f ? 988.0f : 740.0f;
            const float env = std::fmin(1.0f, t / 0.004f) * std::fmin(1.0f, (0.13f - t) / 0.01f);
            b[start + i] += square(f * t, 0.5f, 7) * env * 0.8f;
        }
    }
    return b;
}

struct Effect {
    int number;
    float peak;       // 0..1 of full scale
    Buffer (*make)();
};

Buffer bigRock() { return explosion(0.95f, 1.8f, 2200.0f, 21); }
Buffer mediumRock() { return explosion(0.6f, 1.1f, 3600.0f, 31); }
Buffer smallRock() { return explosion(0.36f, 0.6f, 6000.0f, 41); }

// Peaks: the loud, rare events reach higher than the constant ones.
const Effect EFFECTS[] = {
    {0, 0.55f, thrust},        {1, 0.50f, shot},          {2, 0.90f, bigRock},
    {3, 0.80f, mediumRock},    {4, 0.70f, smallRock},     {6, 0.95f, bossDestroyed},
    {10, 0.70f, bossWarp},     {11, 0.65f, bossFire},     {12, 0.60f, carrierArrives},
    {13, 0.65f, highScoreJingle}, {14, 0.60f, shieldWarning},
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <data directory>\n", argv[0]);
        return 2;
    }
    for (const Effect& e : EFFECTS) {
        Buffer b = e.make();
        normalise(b, e.peak);
        fadeEnds(b, FADE_MS, EFFECT_RATE);
        const std::string path = std::string(argv[1]) + "/fx" + std::to_string(e.number);
        if (!writeWav(path.c_str(), b, EFFECT_RATE)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
