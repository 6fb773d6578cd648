// Audio: opens the mixer device, loads the numbered effects and the looping
// music, plays effects by number. With no device everything stays silent.
#include "audio/audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "audio/joystick.h"

namespace {

constexpr Uint32 AUDIO_INIT_FLAGS = 0x00100010; // audio subsystem, no parachute
constexpr int OUTPUT_FREQUENCY = 22050;         // Hz
constexpr Uint16 OUTPUT_FORMAT = 0x8010;        // signed 16-bit little-endian
constexpr int OUTPUT_CHANNELS = 2;              // stereo
constexpr int OUTPUT_CHUNK_SIZE = 1024;         // samples
constexpr int MUSIC_TRACK = 2;                  // entry of trackPaths that is played
constexpr int ALL_CHANNELS = -1;

// What an effect file may declare (see effectFileUsable).
constexpr uint16_t WAVE_FORMAT_PCM = 1;
constexpr uint16_t MAX_EFFECT_CHANNELS = 2;
constexpr uint32_t MIN_EFFECT_RATE = 1000;   // Hz
constexpr uint32_t MAX_EFFECT_RATE = 192000; // Hz
constexpr size_t RIFF_HEADER_BYTES = 12;     // "RIFF", length, "WAVE"
constexpr size_t CHUNK_HEADER_BYTES = 8;     // name, length
constexpr size_t FORMAT_BYTES = 16;          // the PCM format record

uint32_t littleEndian(const unsigned char* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

// The format record: encoding, channels, rate, byte rate, block align, bits.
bool formatUsable(const unsigned char* f) {
    const uint32_t encoding = littleEndian(f, 2), channels = littleEndian(f + 2, 2);
    const uint32_t rate = littleEndian(f + 4, 4), bits = littleEndian(f + 14, 2);
    const uint32_t blockAlign = littleEndian(f + 12, 2);
    return encoding == WAVE_FORMAT_PCM && channels >= 1 && channels <= MAX_EFFECT_CHANNELS &&
           rate >= MIN_EFFECT_RATE && rate <= MAX_EFFECT_RATE && (bits == 8 || bits == 16) &&
           blockAlign == channels * bits / 8;
}

} // namespace

// Walks the chunks the way the mixer's loader does: "fact" and "LIST" chunks
// may come before the format chunk, any chunk may come between it and the
// samples; each chunk must fit in what is left of the file, since the loader
// allocates a chunk's declared length before reading it.
bool effectFileUsable(const char* path) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    unsigned char head[RIFF_HEADER_BYTES];
    bool ok = std::fseek(f, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(f) : -1;
    ok = size > 0 && std::fseek(f, 0, SEEK_SET) == 0 &&
         std::fread(head, 1, sizeof head, f) == sizeof head && std::memcmp(head, "RIFF", 4) == 0 &&
         std::memcmp(head + 8, "WAVE", 4) == 0;
    bool formatSeen = false;
    while (ok) {
        unsigned char chunk[CHUNK_HEADER_BYTES];
        if (std::fread(chunk, 1, sizeof chunk, f) != sizeof chunk) break;
        const long length = long(littleEndian(chunk + 4, 4));
        if (length > size - std::ftell(f)) break;
        if (std::memcmp(chunk, "data", 4) == 0) {
            std::fclose(f);
            return formatSeen;
        }
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !formatSeen) {
            unsigned char format[FORMAT_BYTES];
            ok = size_t(length) >= FORMAT_BYTES &&
                 std::fread(format, 1, sizeof format, f) == sizeof format && formatUsable(format) &&
                 std::fseek(f, length - long(FORMAT_BYTES), SEEK_CUR) == 0;
            formatSeen = true;
            continue;
        }
        const bool skippable =
            formatSeen || std::memcmp(chunk, "fact", 4) == 0 || std::memcmp(chunk, "LIST", 4) == 0;
        ok = skippable && std::fseek(f, length, SEEK_CUR) == 0;
    }
    std::fclose(f); // no sample chunk, or one that does not fit
    return false;
}

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
    askForControllerLayout();  // before SDL's threads start
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
            // A damaged one is treated the same way.
            SDL_RWops* rw = effectFileUsable(path) ? SDL_RWFromFile(path, "rb") : nullptr;
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
    if (audioOpen) Mix_VolumeMusic(mixerLevel(musicVolume));
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
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        if (effectChunks[n]) Mix_FreeChunk(effectChunks[n]);
        effectChunks[n] = nullptr;
    }
    if (audioOpen) Mix_CloseAudio();
    audioOpen = false;
}
