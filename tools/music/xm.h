// A writer of extended tracker modules (the XM format, version 1.04): the
// module header, packed patterns and instruments with one 16-bit sample each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xm {

constexpr int NOTE_NONE = 0;
constexpr int NOTE_OFF = 97;                 // releases the note (envelope release)
constexpr int VOLUME_NONE = 0;               // volume column empty
constexpr int volumeSet(int v) { return 0x10 + v; }   // v = 0..64
// Effect column commands.
constexpr uint8_t EFFECT_POSITION_JUMP = 0x0B;  // Bxx: after this row, go on at order position xx
constexpr uint8_t EFFECT_GLOBAL_VOLUME = 0x10;  // Gxx: every channel's level times xx / 64
constexpr int GLOBAL_VOLUME_FULL = 64;

struct Cell {
    uint8_t note = NOTE_NONE;                // 1..96 (1 = C-0, 49 = C-4), 97 = off
    uint8_t instrument = 0;                  // 1-based, 0 = none
    uint8_t volume = VOLUME_NONE;            // volume column byte
    uint8_t effect = 0, param = 0;           // effect column
};

struct Pattern {
    int rows = 64;
    std::vector<Cell> cells;                 // rows x channels, row major
    Pattern(int r, int channels) : rows(r), cells(size_t(r) * channels) {}
};

struct EnvelopePoint {
    uint16_t tick, value;                    // value 0..64
};

struct Instrument {
    std::string name;
    std::vector<int16_t> sample;             // 16-bit signed PCM
    uint32_t loopStart = 0, loopLength = 0;  // samples; length 0 = no loop
    uint8_t volume = 64;                     // 0..64
    int8_t finetune = 0;
    uint8_t panning = 128;                   // 0 left .. 255 right
    int8_t relativeNote = 0;                 // semitones; 0 plays C-4 at 8363 Hz
    std::vector<EnvelopePoint> volumeEnvelope; // up to 12 points; empty = off
    int sustainPoint = -1;                   // index into the envelope, -1 = none
    uint16_t fadeout = 0;                    // volume fall per tick after release
    uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
};

struct Module {
    std::string name;
    int channels = 8;                        // 2..32
    int speed = 6;                           // ticks per row
    int bpm = 125;
    int restart = 0;                         // order position the song loops to
    std::vector<uint8_t> order;              // pattern numbers
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

// The module's bytes in the XM layout.
std::vector<uint8_t> encode(const Module& m);
bool save(const char* path, const Module& m);

} // namespace xm
