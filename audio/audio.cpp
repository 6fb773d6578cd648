// Audio: opens the mixer device, loads the numbered effects and the looping
// music, plays effects by number. With no device everything stays silent.
#include "audio/audio.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "audio/sound_device.h"
#include "platform/platform.h"

namespace {

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

// The tune's bytes, kept while the music is loaded: it is played from them.
std::vector<unsigned char> musicData;

const SoundDevice* wantedDevice = &SDL_SOUND;

} // namespace

const SoundDevice* soundDevice = &SILENT_SOUND;

void useSoundDevice(const SoundDevice* device) {
    wantedDevice = device;
}

Mix_Chunk* loadEffectFile(const char* path) {
    std::vector<unsigned char> data;
    if (!readDataFile(path, MAX_EFFECT_BYTES, data) || !effectDataUsable(data.data(), data.size()))
        return nullptr;
    return soundDevice->decodeEffect(data.data(), data.size());
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
    // Read when the device opens. Setting the environment is safe only while
    // no other thread reads it: SDL's are not started yet, and Qt's do not.
    setenv(PULSE_LATENCY_VARIABLE, PULSE_LATENCY_MS, 0);
    quietAlsaReports(true);
    soundDevice = wantedDevice->open() ? wantedDevice : &SILENT_SOUND;
    audioOpen = soundDevice != &SILENT_SOUND;
    quietAlsaReports(false);
    if (!audioOpen) {
        messageBoxWarning(audioParent, "Failed to open audio device",
                          "<qt>The audio device could not be opened. No sounds will be played "
                          "during the game.</qt>");
    }

    char path[AUDIO_PATH_SIZE];
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        int length =
            std::snprintf(path, sizeof path, "%s/fx%d", soundFolder, effectFileNumber(n));
        bool pathFits = length > 0 && length < int(sizeof path); // a cut path names no file
        // A missing or damaged file simply stays unloaded (silent play loads nothing).
        effectChunks[n] = audioOpen && pathFits ? loadEffectFile(path) : nullptr;
        effectChannels[n] = -1;
    }

    startMusic();
    return true;
}

// The tune is read once like the effects (a plain file, without waiting) and
// played from memory. A tune that did not load stays silent.
void startMusic() {
    musicTrack = MUSIC_TRACK;
    if (audioOpen && musicData.empty())
        readDataFile(musicPath, MAX_MUSIC_BYTES, musicData);
    music = musicData.empty() ? nullptr : soundDevice->decodeTune(musicData.data(), musicData.size());
    soundDevice->setMusicVolume(mixerVolume(musicVolume));
    if (music) soundDevice->playMusic(music);
}

// The effect plays once, on the first free channel; the channel (or -1 when
// none was free or the sample is missing) is kept for the pause code. Silent
// play records channel 0.
void playEffect(int effect) {
    effectChannels[effect] = soundDevice->play(effectChunks[effect]);
}

void shutdownAudio() {
    if (soundDevice->musicPlaying()) soundDevice->stopMusic();
    if (music) soundDevice->freeTune(music);
    music = nullptr;
    musicData = {};
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        if (effectChunks[n]) soundDevice->freeEffect(effectChunks[n]);
        effectChunks[n] = nullptr;
    }
    soundDevice->close();
    soundDevice = &SILENT_SOUND;
    audioOpen = false;
    audioParent = nullptr;  // the window goes next
}

// Pausing silences every channel and pauses the ones the effects last took;
// an effect never played still names channel -1, which stands for them all.
void pauseEffects() {
    soundDevice->setVolume(ALL_CHANNELS, 0);
    for (int n = 0; n < EFFECT_COUNT; n++) soundDevice->pause(effectChannels[n]);
}

void resumeEffects() {
    soundDevice->setVolume(ALL_CHANNELS, mixerVolume(sfxVolume));
    for (int n = 0; n < EFFECT_COUNT; n++) soundDevice->resume(effectChannels[n]);
}

void applyEffectVolume() {
    soundDevice->setVolume(ALL_CHANNELS, mixerVolume(sfxVolume));
}

void applyMusicVolume() {
    soundDevice->setMusicVolume(mixerVolume(musicVolume));
}

bool effectPlaying(int effect) {
    return soundDevice->playing(effectChannels[effect]);
}

void pauseMusic() {
    soundDevice->pauseMusic();
}

void resumeMusic() {
    soundDevice->resumeMusic();
}
