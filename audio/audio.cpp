// Audio: opens the mixer device, loads the numbered effects and the looping
// music, plays effects by number. With no device everything stays silent.
#include "audio/audio.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "input/sdl_hints.h"
#include "platform/platform.h"

namespace {

// The audio subsystem; the no-parachute bit is what SDL 2 does anyway (it
// never catches fatal signals).
constexpr Uint32 AUDIO_INIT_FLAGS = 0x00100010;
constexpr int OUTPUT_FREQUENCY = 22050;         // Hz
constexpr Uint16 OUTPUT_FORMAT = 0x8010;        // signed 16-bit little-endian
constexpr int OUTPUT_CHANNELS = 2;              // stereo
constexpr int OUTPUT_CHUNK_SIZE = 1024;         // samples
constexpr int MUSIC_TRACK = 2;                  // the track number of the one tune
constexpr const char* MUSIC_FILE = "tinytune.xm";
constexpr int ALL_CHANNELS = -1;

constexpr size_t MAX_MUSIC_BYTES = 16 << 20; // far beyond any tune of the game

// SDL 2 asks PulseAudio (and PipeWire's PulseAudio service) to buffer about
// one mixer chunk, which the server keeps as 35 ms and refills in small
// pieces: the server and the mixer thread then wake twice as often as they
// did for SDL 1.2, for more than twice its CPU time. Asking libpulse for
// 100 ms gives the server's 70 ms of SDL 1.2 back, and its cost; a
// player's own PULSE_LATENCY_MSEC stays.
const char* const PULSE_LATENCY_VARIABLE = "PULSE_LATENCY_MSEC";
const char* const PULSE_LATENCY_MS = "100";

// The tune's bytes and the stream the mixer plays them from, kept while the
// music is loaded.
std::vector<unsigned char> musicData;
SDL_RWops* musicStream = nullptr;

} // namespace

Mix_Chunk* loadEffectFile(const char* path) {
    std::vector<unsigned char> data;
    if (!readDataFile(path, MAX_EFFECT_BYTES, data) || !effectDataUsable(data.data(), data.size()))
        return nullptr;
    // The mixer decodes into buffers of its own; the bytes read are not kept.
    SDL_RWops* rw = SDL_RWFromConstMem(data.data(), int(data.size()));
    return rw ? Mix_LoadWAV_RW(rw, 1) : nullptr;
}

char soundFolder[AUDIO_PATH_SIZE] = {};
char musicPath[MUSIC_PATH_SIZE] = {};
DeviceWidget* audioParent = nullptr;

// A path cut to fit names no file the game has, so nothing loads from it.
void setUpAudio(const char* dataDir, DeviceWidget* parent) {
    std::snprintf(soundFolder, sizeof soundFolder, "%s", dataDir);
    std::snprintf(musicPath, sizeof musicPath, "%s/%s", dataDir, MUSIC_FILE);
    audioParent = parent;
}

bool audioOpen = false;
Mix_Chunk* effectChunks[EFFECT_COUNT] = {};
int32_t effectChannels[EFFECT_COUNT] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
_Mix_Music* music = nullptr;

// Effects 5, 7 and 8 reuse the sample of effect 3, effect 9 that of effect 2.
int effectFileNumber(int effect) {
    if (effect == EFFECT_CARRIER_HIT || effect == EFFECT_BOSS_HIT ||
        effect == EFFECT_CARRIER_RAMMED)
        return EFFECT_MEDIUM_ROCK;
    if (effect == EFFECT_SHIP_LOST) return EFFECT_BIG_ROCK;
    return effect;
}

namespace {

void dropAlsaReport(const char*, int, const char*, int, const char*, ...) {}

// libasound writes each step of a failed device search to standard error
// ("ALSA lib ..."), ahead of the game's own warning box that says it once.
// While `quiet`, its reports are dropped; afterwards its own reporting is back.
// The library is reached through the dynamic loader, as the sound library
// reaches it, so the game does not depend on it: without it nothing changes.
void quietAlsaReports(bool quiet) {
    using Report = void (*)(const char*, int, const char*, int, const char*, ...);
    using SetReport = int (*)(Report);
    static void* alsa = nullptr;
    if (quiet && !alsa)
        alsa = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
    if (!alsa)
        return;
    if (auto set = reinterpret_cast<SetReport>(dlsym(alsa, "snd_lib_error_set_handler")))
        set(quiet ? dropAlsaReport : nullptr);  // null: the library's own reporting
    if (!quiet) {
        dlclose(alsa);
        alsa = nullptr;
    }
}

} // namespace

bool initAudio() {
    audioOpen = false;
    keepSignalsFromSdl();
    // Read when the device opens. Setting the environment is safe only while
    // no other thread reads it: SDL's are not started yet, and Qt's do not.
    setenv(PULSE_LATENCY_VARIABLE, PULSE_LATENCY_MS, 0);
    quietAlsaReports(true);
    if (SDL_Init(AUDIO_INIT_FLAGS) != -1) {
        if (Mix_OpenAudio(OUTPUT_FREQUENCY, OUTPUT_FORMAT, OUTPUT_CHANNELS, OUTPUT_CHUNK_SIZE) !=
            -1)
            audioOpen = true;
    }
    quietAlsaReports(false);
    if (!audioOpen) {
        messageBoxWarning(audioParent, "Failed to open audio device",
                          "<qt>The audio device could not be opened. No sounds will be played "
                          "during the game.</qt>");
    }

    char path[AUDIO_PATH_SIZE];
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        effectChunks[n] = nullptr;
        int length =
            std::snprintf(path, sizeof path, "%s/fx%d", soundFolder, effectFileNumber(n));
        bool pathFits = length > 0 && length < int(sizeof path); // a cut path names no file
        if (audioOpen && pathFits) {
            // A missing or damaged file simply stays unloaded.
            effectChunks[n] = loadEffectFile(path);
        }
        effectChannels[n] = -1;
    }

    startMusic();
    return true;
}

// The tune is read once like the effects (a plain file, without waiting) and
// played from memory.
void startMusic() {
    musicTrack = MUSIC_TRACK;
    music = nullptr;
    if (audioOpen && !musicStream &&
        readDataFile(musicPath, MAX_MUSIC_BYTES, musicData))
        musicStream = SDL_RWFromConstMem(musicData.data(), int(musicData.size()));
    if (audioOpen && musicStream && SDL_RWseek(musicStream, 0, RW_SEEK_SET) == 0)
        music = Mix_LoadMUS_RW(musicStream, 0);  // the stream stays ours
    if (audioOpen) Mix_VolumeMusic(mixerVolume(musicVolume));
    // A music file that did not load stays silent.
    if (audioOpen && music) Mix_PlayMusic(music, -1);
}

// The effect plays once, on the first free channel; the channel (or -1 when
// none was free or the sample is missing) is kept for the pause code. Silent
// play records channel 0.
void playEffect(int effect) {
    if (!audioOpen) {
        effectChannels[effect] = 0;
        return;
    }
    Mix_Chunk* chunk = effectChunks[effect];
    effectChannels[effect] = chunk ? Mix_PlayChannelTimed(ALL_CHANNELS, chunk, 0, -1) : -1;
}

// After shutdown the device counts as closed and every pointer is cleared, so
// a later call finds no stale sample or music.
void shutdownAudio() {
    if (audioOpen && Mix_PlayingMusic()) Mix_FadeOutMusic(0);
    if (audioOpen && music) Mix_FreeMusic(music);
    music = nullptr;
    if (musicStream) SDL_FreeRW(musicStream);
    musicStream = nullptr;
    musicData = {};
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        if (effectChunks[n]) Mix_FreeChunk(effectChunks[n]);
        effectChunks[n] = nullptr;
    }
    if (audioOpen) Mix_CloseAudio();
    audioOpen = false;
    audioParent = nullptr;  // the window goes next
}

void pauseEffects() {
    if (!audioOpen) return;
    Mix_Volume(ALL_CHANNELS, 0);
    // An effect never played still names channel -1, which pauses them all.
    for (int n = 0; n < EFFECT_COUNT; n++) Mix_Pause(effectChannels[n]);
}

void resumeEffects() {
    if (!audioOpen) return;
    Mix_Volume(ALL_CHANNELS, mixerVolume(sfxVolume));
    for (int n = 0; n < EFFECT_COUNT; n++) Mix_Resume(effectChannels[n]);
}

void applyEffectVolume() {
    if (audioOpen) Mix_Volume(ALL_CHANNELS, mixerVolume(sfxVolume));
}

void applyMusicVolume() {
    if (audioOpen) Mix_VolumeMusic(mixerVolume(musicVolume));
}

bool effectPlaying(int effect) {
    return audioOpen && Mix_Playing(effectChannels[effect]) != 0;
}

void pauseMusic() {
    Mix_PauseMusic();
}

void resumeMusic() {
    Mix_ResumeMusic();
}
