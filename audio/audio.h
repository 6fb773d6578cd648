// Audio: the mixer device, the fifteen numbered sound effects, the looping
// music and the volume rule from 0..255 settings to mixer volumes 0..128.
//
// Folder rule (CMakeLists.txt declares it, the include_direction test holds the
// sources to it): audio/ uses input/, platform/ and settings/ only;
// the data folder and the warning's window come through setUpAudio. With
// input/ it is the only folder that may include SDL: every other caller of the
// mixer goes through the functions below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "settings/settings.h"  // musicVolume, sfxVolume, musicTrack

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

class DeviceWidget;
struct Mix_Chunk;
struct _Mix_Music;

// ---------------------------------------------------------------------------
// Whole run
// ---------------------------------------------------------------------------
constexpr int AUDIO_PATH_SIZE = 4096;         // bytes of the data folder and an effect's path
constexpr int MUSIC_PATH_SIZE = 4095;         // bytes of the tune's path
extern char soundFolder[AUDIO_PATH_SIZE];     // the data folder; "" before setUpAudio
extern char musicPath[MUSIC_PATH_SIZE];       // "<data folder>/tinytune.xm"
extern DeviceWidget* audioParent;             // the window of the no-device warning; may be null
extern bool audioOpen;                        // the device was opened
extern Mix_Chunk* effectChunks[EFFECT_COUNT]; // null when not loaded
extern int32_t effectChannels[EFFECT_COUNT];  // mixer channel last used, -1 before
extern _Mix_Music* music;

// 0..255 setting to mixer volume: v * 128 / 255, rounding toward zero, formed
// in 64 bits so that it holds for every int a hand-edited settings file may
// give. The mixer is handed exactly this: above 255 it is more than the
// mixer's 128, which the mixer caps (300 gives 150); below -1 it is negative,
// which the mixer ignores, keeping the volume it had (its default of 128 when
// nothing else set one; -1 itself gives 0).
constexpr int mixerVolume(int v) {
    return int(int64_t(v) * 128 / 255);
}

// The effect file number for an effect: 3 for 5, 7 and 8, 2 for 9.
int effectFileNumber(int effect);

// Effect files are whatever the mixer decodes. Whether a whole effect file
// (`size` bytes at `data`) may be handed to the mixer: a RIFF WAVE, AIFF, 8SVX,
// Creative voice or Ogg Vorbis file whose header cannot crash, hang or swamp
// the mixer's readers (1 to 8 channels, at most a minute of sound, every
// chunk or block inside the file). A damaged header is refused like a missing
// file; the mixer itself refuses encodings and rates it does not take.
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

// Where the sound files are and the window the warning about a missing device
// belongs to; the shell calls it before initAudio. Effects are read from
// "<dataDir>/fxN", the tune from "<dataDir>/tinytune.xm"; a path cut to fit
// names no file. Without the call nothing is found and the box has no parent.
void setUpAudio(const char* dataDir, DeviceWidget* parent);

bool initAudio();
void startMusic();
void playEffect(int effect);  // once; no effect is ever looped
void shutdownAudio();

// The mixer as the screens drive it; each does nothing while no device is open
// (the music's pause and resume excepted, which the mixer itself ignores then).
void pauseEffects();               // every channel silenced and paused (the pause screen)
void resumeEffects();              // back at the effect volume, the channels resumed
void applyEffectVolume();          // sfxVolume to every channel
void applyMusicVolume();           // musicVolume to the music
bool effectPlaying(int effect);    // the channel the effect last took still sounds
void pauseMusic();
void resumeMusic();
