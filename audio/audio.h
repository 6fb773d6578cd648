// Audio: the mixer device, the fifteen numbered sound effects, the looping
// music and the volume rule from 0..255 settings to mixer volumes 0..128.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr int EFFECT_COUNT = 15;

// Effect numbers.
constexpr int EFFECT_THRUST = 0;
constexpr int EFFECT_SHOT = 1;
constexpr int EFFECT_BIG_ROCK = 2;
constexpr int EFFECT_MEDIUM_ROCK = 3;
constexpr int EFFECT_SMALL_ROCK = 4;
constexpr int EFFECT_CARRIER_HIT = 5;
constexpr int EFFECT_BOSS_DESTROYED = 6;
constexpr int EFFECT_BOSS_HIT = 7;
constexpr int EFFECT_CARRIER_RAMMED = 8;
constexpr int EFFECT_SHIP_LOST = 9;
constexpr int EFFECT_BOSS_WARP = 10;
constexpr int EFFECT_BOSS_FIRE = 11;
constexpr int EFFECT_CARRIER_ARRIVES = 12;
constexpr int EFFECT_HIGH_SCORE = 13;
constexpr int EFFECT_SHIELD_LOW = 14;

struct Mix_Chunk;
struct _Mix_Music;

// ---------------------------------------------------------------------------
// Whole run
// ---------------------------------------------------------------------------
extern bool audioOpen;                        // the device was opened
extern Mix_Chunk* effectChunks[EFFECT_COUNT]; // null when not loaded
extern int32_t effectChannels[EFFECT_COUNT];  // mixer channel last used, -1 before
extern _Mix_Music* music;
extern int32_t musicTrack;  // track number, always 2 once started
extern int32_t musicVolume; // 0..255 from the sliders; a file may hold any int
extern int32_t sfxVolume;   // 0..255 from the sliders; a file may hold any int

// 0..255 setting to mixer volume: v * 128 / 255, rounding toward zero. The
// settings file may hold any int; the product is formed in 64 bits, so the
// rule holds for every value (300 gives 150).
constexpr int mixerVolume(int v) {
    return int(int64_t(v) * 128 / 255);
}

// What is handed to the mixer: the rule's result cut to the mixer's range
// 0..128. The mixer caps large values itself, but it takes a negative volume
// as a question and would keep the old one, so a negative setting is silence.
constexpr int MIXER_MAX_VOLUME = 128;
constexpr int mixerLevel(int v) {
    const int m = mixerVolume(v);
    return m < 0 ? 0 : m > MIXER_MAX_VOLUME ? MIXER_MAX_VOLUME : m;
}

// The effect file number for an effect: 3 for 5, 7 and 8, 2 for 9.
int effectFileNumber(int effect);

// Effect files are whatever the mixer decodes. Whether a whole effect file
// (`size` bytes at `data`) may be handed to the mixer: a RIFF WAVE, AIFF, 8SVX,
// Creative voice or Ogg Vorbis file whose header cannot crash, hang or swamp
// the mixer's loader (1 to 8 channels, 1 to 192 kHz, at most a minute of
// sound, every chunk or block inside the file). A damaged header is refused
// like a missing file; the mixer itself refuses encodings it does not know.
bool effectDataUsable(const unsigned char* data, size_t size);

// The whole of the plain file at `path` when it holds at most `limit` bytes;
// false (and `out` empty) for a missing file, a pipe, a device, a folder or a
// larger file. Never waits for a writer.
bool readDataFile(const char* path, size_t limit, std::vector<unsigned char>& out);

// An effect is a few seconds of sound; a larger file counts as damaged.
constexpr size_t MAX_EFFECT_BYTES = 2 << 20;

// The effect file at `path` decoded by the mixer from one reading of the file,
// after the checks above; null when any step fails or no device is open.
Mix_Chunk* loadEffectFile(const char* path);

bool initAudio();
void startMusic();
void playEffect(int effect);  // once; no effect is ever looped
void shutdownAudio();
