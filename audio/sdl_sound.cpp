// The sound device through SDL 2 and SDL2_mixer, and the silent one that
// stands in when no device opens.
#include "audio/sound_device.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include "input/sdl_hints.h"

namespace {

// The audio subsystem; the no-parachute bit is what SDL 2 does anyway (it
// never catches fatal signals).
constexpr Uint32 AUDIO_INIT_FLAGS = 0x00100010;
constexpr int OUTPUT_FREQUENCY = 22050;         // Hz
constexpr Uint16 OUTPUT_FORMAT = 0x8010;        // signed 16-bit little-endian
constexpr int OUTPUT_CHANNELS = 2;              // stereo
constexpr int OUTPUT_CHUNK_SIZE = 1024;         // samples
constexpr int FIRST_FREE_CHANNEL = -1;
constexpr int FOREVER = -1;                     // loops, and ticks of a time limit

bool sdlOpen() {
    keepSignalsFromSdl();
    return SDL_Init(AUDIO_INIT_FLAGS) != -1 &&
           Mix_OpenAudio(OUTPUT_FREQUENCY, OUTPUT_FORMAT, OUTPUT_CHANNELS, OUTPUT_CHUNK_SIZE) != -1;
}

// The mixer decodes into buffers of its own; the bytes are not kept.
Mix_Chunk* sdlDecodeEffect(const unsigned char* data, size_t size) {
    SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
    return rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
}

// The tune is read from its bytes as it plays; the stream goes with it.
_Mix_Music* sdlDecodeTune(const unsigned char* data, size_t size) {
    SDL_RWops* rw = SDL_RWFromConstMem(data, int(size));
    return rw ? Mix_LoadMUS_RW(rw, 1) : nullptr;
}

int sdlPlay(Mix_Chunk* effect) {
    return effect ? Mix_PlayChannelTimed(FIRST_FREE_CHANNEL, effect, 0, FOREVER) : -1;
}

// The silent member: every call that returns nothing does nothing.
void silentNothing() {}
void silentIgnore(int) {}
bool silentOpen() { return false; }
Mix_Chunk* silentDecodeEffect(const unsigned char*, size_t) { return nullptr; }
void silentFreeEffect(Mix_Chunk*) {}
_Mix_Music* silentDecodeTune(const unsigned char*, size_t) { return nullptr; }
void silentFreeTune(_Mix_Music*) {}
int silentPlay(Mix_Chunk*) { return 0; }  // as if on channel 0
void silentSetVolume(int, int) {}
bool silentPlaying(int) { return false; }
void silentTune(_Mix_Music*) {}
bool silentMusicPlaying() { return false; }

} // namespace

const SoundDevice SDL_SOUND = {
    sdlOpen,
    Mix_CloseAudio,
    sdlDecodeEffect,
    Mix_FreeChunk,
    sdlDecodeTune,
    Mix_FreeMusic,
    sdlPlay,
    [](int channel, int level) { Mix_Volume(channel, level); },
    Mix_Pause,
    Mix_Resume,
    [](int channel) { return Mix_Playing(channel) != 0; },
    [](int level) { Mix_VolumeMusic(level); },
    [](_Mix_Music* tune) { Mix_PlayMusic(tune, FOREVER); },
    Mix_PauseMusic,
    Mix_ResumeMusic,
    [] { return Mix_PlayingMusic() != 0; },
    [] { Mix_FadeOutMusic(0); },
};

const SoundDevice SILENT_SOUND = {
    silentOpen,         silentNothing, silentDecodeEffect, silentFreeEffect, silentDecodeTune,
    silentFreeTune,     silentPlay,    silentSetVolume,    silentIgnore,     silentIgnore,
    silentPlaying,      silentIgnore,  silentTune,         silentNothing,    silentNothing,
    silentMusicPlaying, silentNothing,
};
