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
extern bool audioOpen;                         // the device was opened
extern Mix_Chunk* effectChunks[EFFECT_COUNT];  // null when not loaded
extern int32_t effectChannels[EFFECT_COUNT];   // mixer channel last used, -1 before
extern _Mix_Music* music;
extern int32_t musicTrack;                     // track number, always 2 once started
extern int32_t musicVolume;                    // 0..255
extern int32_t sfxVolume;                      // 0..255

// 0..255 setting to mixer volume: v * 128 / 255, rounding toward zero.
constexpr int mixerVolume(int v) { return v * 128 / 255; }

// The effect file number for an effect: 3 for 5, 7 and 8, 2 for 9.
int effectFileNumber(int effect);

bool initAudio();
void startMusic();
void playEffect(int effect, bool loop);
void shutdownAudio();
