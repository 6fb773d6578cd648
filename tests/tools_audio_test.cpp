// The generated sound data: every effect file loads in the mixer, is audible
// and starts and ends silent, converted once at load when the device runs at
// another rate; the tune loads, outlasts forty seconds, plays at the level it
// was balanced at and loops seamlessly at the module's own length.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "audio/sound_device.h"
#include "support/runner.h"

namespace {

const std::string DATA = CORVUS_DATA_DIR;
constexpr int RATE = 22050;
constexpr int BYTES_PER_SECOND = RATE * 2 * 2;   // 16-bit stereo out of the mixer

struct MixerSession {
    bool open = false;
    explicit MixerSession(const char* driver, int rate = RATE) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        if (SDL_Init(SDL_INIT_AUDIO) == 0) open = Mix_OpenAudio(rate, AUDIO_S16LSB, 2, 1024) == 0;
        soundDevice = &SDL_SOUND;
    }
    ~MixerSession() {
        if (open) Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
};

int peakOf(const int16_t* s, size_t n) {
    int peak = 0;
    for (size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(int(s[i])));
    return peak;
}

// A device may open at another rate than the game asks for (SDL2_mixer lets
// it); effects are then converted to it at load, so their frame counts scale
// with the rate and the mixer never converts while playing.
TEST(ArtAudio, EveryEffectLoadsIsAudibleAndClickFree) {
    const int effects[] = {0, 1, 2, 3, 4, 6, 10, 11, 12, 13, 14};
    size_t framesAtGameRate[std::size(effects)] = {};
    for (const int deviceRate : {RATE, 48000}) {
        MixerSession mixer("dummy", deviceRate);
        ASSERT_TRUE(mixer.open) << SDL_GetError();
        int loudest = 0, quietest = 1 << 20;
        for (size_t e = 0; e < std::size(effects); ++e) {
            const std::string path = DATA + "/fx" + std::to_string(effects[e]);
            Mix_Chunk* chunk = loadEffectFile(path.c_str());
            ASSERT_NE(chunk, nullptr) << path << " is refused by the game: " << Mix_GetError();
            const auto* s = reinterpret_cast<const int16_t*>(chunk->abuf);
            const size_t count = chunk->alen / 2;
            if (deviceRate == RATE)
                framesAtGameRate[e] = count / 2;
            else  // within one frame of the scaled length
                EXPECT_NEAR(double(count / 2), double(framesAtGameRate[e]) * deviceRate / RATE, 1.0) << path;
            ASSERT_GT(count, size_t(deviceRate / 20)) << path << " is shorter than 50 ms";
            const int peak = peakOf(s, count);
            EXPECT_GT(peak, 8000) << path << " is (nearly) silent";
            loudest = std::max(loudest, peak);
            quietest = std::min(quietest, peak);
            // Both ends at zero: the first and last frames and a few around them stay tiny.
            EXPECT_LE(peakOf(s, 8), 400) << path << " starts with a click";
            EXPECT_LE(peakOf(s + count - 8, 8), 400) << path << " ends with a click";
            Mix_FreeChunk(chunk);
        }
        // Matched levels: no effect more than about 6 dB above the quietest.
        EXPECT_LT(loudest, quietest * 2);
    }
}

// Song length from the module itself: rows x ticks per row x 2.5 / BPM seconds.
double moduleSeconds(const std::string& path, int& restart) {
    const std::string b = readTextFile(path);
    if (b.size() < 336 || b.rfind("Extended Module: ", 0) != 0) return 0;
    const auto u16 = [&](size_t o) { return int(uint8_t(b[o]) | uint8_t(b[o + 1]) << 8); };
    const auto u32 = [&](size_t o) { return size_t(u16(o)) | size_t(u16(o + 2)) << 16; };
    const int length = u16(64), patterns = u16(70), speed = u16(76), bpm = u16(78);
    restart = u16(66);
    std::vector<int> rows;
    size_t at = 60 + u32(60);
    for (int p = 0; p < patterns; ++p) {
        rows.push_back(u16(at + 5));
        at += u32(at) + size_t(u16(at + 7));
    }
    long total = 0;
    for (int i = 0; i < length; ++i) total += rows.at(uint8_t(b[80 + i]));
    return double(total) * speed * 2.5 / bpm;
}

// The tune's level over one whole loop at the game's default music volume, as
// the tune was balanced (measured through the disk driver, dBFS RMS of both
// channels); the players differ by a few dB, so the module sets its own level.
constexpr double TUNE_LEVEL_DBFS = -27.0;
constexpr double TUNE_LEVEL_TOLERANCE_DB = 1.0;
constexpr int DEFAULT_MUSIC_VOLUME = 128;  // the 0..255 setting a new player has

TEST(ArtAudio, TuneLoopsSeamlesslyAtItsLengthAndPlaysAtItsBalancedLevel) {
    int restart = -1;
    const double seconds = moduleSeconds(DATA + "/tinytune.xm", restart);
    ASSERT_TRUE(seconds >= 40.0 && seconds < 120.0) << seconds;
    EXPECT_EQ(restart, 0);  // loops from its start
    const size_t loop = size_t(std::lround(seconds * RATE));  // frames
    const std::string out = makeTempDir("tune") + "mixed.raw";
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);   // mix as fast as the machine allows
    {
        MixerSession mixer("disk");
        ASSERT_TRUE(mixer.open) << SDL_GetError();
        Mix_Music* music = Mix_LoadMUS((DATA + "/tinytune.xm").c_str());
        ASSERT_NE(music, nullptr) << Mix_GetError();
        Mix_VolumeMusic(mixerVolume(DEFAULT_MUSIC_VOLUME));
        ASSERT_EQ(Mix_PlayMusic(music, -1), 0);
        // The device has been mixing silence since it opened; three loops
        // and a few seconds more follow the tune's start.
        std::error_code none;
        const std::uintmax_t written = std::filesystem::file_size(out, none);
        const auto wanted = (none ? 0 : written) + std::uintmax_t((3 * seconds + 4) * BYTES_PER_SECOND);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (std::error_code ec; std::chrono::steady_clock::now() < deadline;
             std::this_thread::sleep_for(std::chrono::milliseconds(20)))
            if (std::filesystem::file_size(out, ec) > wanted && !ec) break;
        EXPECT_NE(Mix_PlayingMusic(), 0);
        Mix_HaltMusic();
        Mix_FreeMusic(music);
    }
    const std::string raw = readTextFile(out);
    std::vector<int16_t> pcm(raw.size() / 2);
    std::memcpy(pcm.data(), raw.data(), pcm.size() * 2);
    // The tune starts on a drum: its first sample that is not silence.
    size_t start = 0;
    while (start < pcm.size() && pcm[start] == 0) ++start;
    start -= start % 2;
    const size_t perLoop = loop * 2;  // samples, both channels
    ASSERT_GT(pcm.size(), start + 3 * perLoop + RATE * 2) << "the mixer stopped early";

    double sum = 0;
    for (size_t i = start; i < start + perLoop; ++i) sum += double(pcm[i]) * pcm[i];
    const double level = 20 * std::log10(std::sqrt(sum / double(perLoop)) / 32768.0);
    EXPECT_NEAR(level, TUNE_LEVEL_DBFS, TUNE_LEVEL_TOLERANCE_DB);
    // Every pass after the first is the same sound, sample for sample, one
    // module length apart: the tempo is the module's and nothing (a pause, a
    // fade) comes between the passes. (The first pass starts from silence,
    // the others with the last notes of the one before ringing on.)
    const int16_t* second = pcm.data() + start + perLoop;
    EXPECT_TRUE(std::equal(second, second + perLoop, second + perLoop));
    EXPECT_GT(peakOf(second, size_t(RATE) * 2), 4000);  // audible again after the end
}

} // namespace
