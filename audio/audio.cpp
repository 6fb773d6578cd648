// Audio: opens the mixer device, loads the numbered effects and the looping
// music, plays effects by number. With no device everything stays silent.
#include "audio/audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>

#include "app/app.h"

namespace {

constexpr Uint32 AUDIO_INIT_FLAGS = 0x00100010; // audio subsystem, no parachute
constexpr int OUTPUT_FREQUENCY = 22050;         // Hz
constexpr Uint16 OUTPUT_FORMAT = 0x8010;        // signed 16-bit little-endian
constexpr int OUTPUT_CHANNELS = 2;              // stereo
constexpr int OUTPUT_CHUNK_SIZE = 1024;         // samples
constexpr int MUSIC_TRACK = 2;                  // entry of trackPaths that is played
constexpr int ALL_CHANNELS = -1;

} // namespace

bool audioOpen = false;
Mix_Chunk* effectChunks[EFFECT_COUNT] = {};
int32_t effectChannels[EFFECT_COUNT] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
_Mix_Music* music = nullptr;
int32_t musicTrack = MUSIC_TRACK;
int32_t musicVolume = 128; // 0..255
int32_t sfxVolume = 128;   // 0..255

// Effects 5, 7 and 8 reuse the sample of effect 3, effect 9 that of effect 2.
int effectFileNumber(int effect) {
    if (effect == EFFECT_CARRIER_HIT || effect == EFFECT_BOSS_HIT ||
        effect == EFFECT_CARRIER_RAMMED)
        return EFFECT_MEDIUM_ROCK;
    if (effect == EFFECT_SHIP_LOST) return EFFECT_BIG_ROCK;
    return effect;
}

bool initAudio() {
    audioOpen = false;
    if (SDL_Init(AUDIO_INIT_FLAGS) != -1) {
        if (Mix_OpenAudio(OUTPUT_FREQUENCY, OUTPUT_FORMAT, OUTPUT_CHANNELS, OUTPUT_CHUNK_SIZE) !=
            -1)
            audioOpen = true;
    }
    if (!audioOpen) {
        DeviceWidget* parent = theWidget;
        messageBoxWarning(parent, "Failed to open audio device",
                          "<qt>The audio device could not be opened. No sounds will be played "
                          "during the game.</qt>");
    }

    char path[PATH_SIZE];
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        effectChunks[n] = nullptr;
        int length =
            std::snprintf(path, sizeof path, "%s/fx%d", dataDirectory, effectFileNumber(n));
        bool pathFits = length > 0 && length < int(sizeof path); // a cut path names no file
        if (audioOpen && pathFits) {
            // A missing file gives no stream at all; it simply stays unloaded.
            SDL_RWops* rw = SDL_RWFromFile(path, "rb");
            if (rw) effectChunks[n] = Mix_LoadWAV_RW(rw, 1);
        }
        effectChannels[n] = -1;
    }

    startMusic();
    return true;
}

void startMusic() {
    musicTrack = MUSIC_TRACK;
    music = audioOpen ? Mix_LoadMUS(trackPaths[MUSIC_TRACK]) : nullptr;
    if (audioOpen) Mix_VolumeMusic(mixerVolume(musicVolume));
    // A music file that did not load stays silent.
    if (audioOpen && music) Mix_PlayMusic(music, -1);
}

// The effect goes to the first free channel; the channel (or -1 when none was
// free or the sample is missing) is kept for the pause code. Silent play
// records channel 0.
void playEffect(int effect, bool loop) {
    if (!audioOpen) {
        effectChannels[effect] = 0;
        return;
    }
    Mix_Chunk* chunk = effectChunks[effect];
    effectChannels[effect] =
        chunk ? Mix_PlayChannelTimed(ALL_CHANNELS, chunk, loop ? -1 : 0, -1) : -1;
}

// After shutdown the device counts as closed and every pointer is cleared, so
// a later call finds no stale sample or music.
void shutdownAudio() {
    if (audioOpen && Mix_PlayingMusic()) Mix_FadeOutMusic(0);
    if (audioOpen && music) Mix_FreeMusic(music);
    music = nullptr;
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        if (effectChunks[n]) Mix_FreeChunk(effectChunks[n]);
        effectChunks[n] = nullptr;
    }
    if (audioOpen) Mix_CloseAudio();
    audioOpen = false;
}
