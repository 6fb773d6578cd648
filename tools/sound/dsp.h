// Small sound toolkit of the effect and music generators: oscillators,
// filters, envelopes, seeded noise and the 16-bit WAV writer.
#pragma once

#include <cstdint>
#include <vector>

namespace snd {

constexpr int EFFECT_RATE = 22050;           // samples per second of the effect files
constexpr float PI = 3.14159265f;

using Buffer = std::vector<float>;           // mono, -1..1

// Seeded white noise source (the same seed gives the same sequence).
class Noise {
public:
    explicit Noise(uint32_t seed) : s_(seed ? seed : 1) {}
    float next();                            // -1..1
private:
    uint32_t s_;
};

// One-pole low-pass; `cutoff` in Hz at rate `rate`.
class LowPass {
public:
    float run(float x, float cutoff, float rate);
private:
    float y_ = 0;
};

// State-variable filter; returns low-, band- or high-pass output.
class Svf {
public:
    enum Mode { LOW, BAND, HIGH };
    float run(float x, float cutoff, float q, float rate, Mode mode);
private:
    float low_ = 0, band_ = 0;   // integrator states
};

// Band-limited-ish waveforms of phase 0..1.
float saw(float phase, int harmonics);
float square(float phase, float duty, int harmonics);
float triangle(float phase);

// Multiplies the first and last `ms` milliseconds by a raised-cosine ramp so
// the sound starts and ends at zero.
void fadeEnds(Buffer& b, float ms, int rate);
// Scales the buffer so its largest magnitude is `peak`.
void normalise(Buffer& b, float peak);
// Writes 16-bit mono PCM WAV. False when the file cannot be written.
bool writeWav(const char* path, const Buffer& b, int rate);

} // namespace snd
