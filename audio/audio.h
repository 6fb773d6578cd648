// Audio: the mixer device, the fifteen numbered sound effects, the looping
// music and the volume rule from 0..255 settings to mixer volumes 0..128.
#pragma once

#include <cstdint>

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

// Whether `path` is a sound file the mixer can be handed safely: a RIFF WAVE
// file of plain PCM samples, 8 or 16 bits, mono or stereo, at a rate the
// mixer's conversion copes with, whose chunks fit in the file. Anything else is
// treated like a missing file (a header with 0 channels or 0 Hz would send the
// mixer's conversion into endless recursion).
bool effectFileUsable(const char* path);

bool initAudio();
void startMusic();
void playEffect(int effect);  // once; no effect is ever looped
void shutdownAudio();
