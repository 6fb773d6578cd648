// The generated sound data: every effect file loads in the mixer, is audible
// and starts and ends silent; the tune loads, plays audibly, outlasts forty
// seconds and starts again after its end.
#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "audio/audio.h"
#include "support/runner.h"

namespace {

const std::string DATA = CORVUS_DATA_DIR;
constexpr int RATE = 22050;
constexpr int BYTES_PER_SECOND = RATE * 2 * 2;   // 16-bit stereo out of the mixer

struct MixerSession {
    bool open = false;
    explicit MixerSession(const char* driver) {
        setenv("SDL_AUDIODRIVER", driver, 1);
        if (SDL_Init(SDL_INIT_AUDIO) == 0) open = Mix_OpenAudio(RATE, AUDIO_S16LSB, 2, 1024) == 0;
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

TEST(ArtAudio, EveryEffectLoadsIsAudibleAndClickFree) {
    MixerSession mixer("dummy");
    ASSERT_TRUE(mixer.open) << SDL_GetError();
    int loudest = 0, quietest = 1 << 20;
    for (int n : {0, 1, 2, 3, 4, 6, 10, 11, 12, 13, 14}) {
        const std::string path = DATA + "/fx" + std::to_string(n);
        Mix_Chunk* chunk = loadEffectFile(path.c_str());
        ASSERT_NE(chunk, nullptr) << path << " is refused by the game: " << Mix_GetError();
        const auto* s = reinterpret_cast<const int16_t*>(chunk->abuf);
        const size_t count = chunk->alen / 2;
        ASSERT_GT(count, size_t(RATE / 20)) << path << " is shorter than 50 ms";
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

TEST(ArtAudio, TuneLastsLongEnoughPlaysAudiblyAndStartsAgainAfterItsEnd) {
    int restart = -1;
    const double seconds = moduleSeconds(DATA + "/tinytune.xm", restart);
    ASSERT_TRUE(seconds >= 40.0 && seconds < 120.0) << seconds;
    EXPECT_EQ(restart, 0);  // loops from its start
    const std::string out = makeTempDir("tune") + "mixed.raw";
    setenv("SDL_DISKAUDIOFILE", out.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);   // mix as fast as the machine allows
    size_t start = 0;  // samples written before the tune began
    {
        MixerSession mixer("disk");
        ASSERT_TRUE(mixer.open) << SDL_GetError();
        Mix_Music* music = Mix_LoadMUS((DATA + "/tinytune.xm").c_str());
        ASSERT_NE(music, nullptr) << Mix_GetError();
        ASSERT_EQ(Mix_PlayMusic(music, -1), 0);
        // The device has been mixing silence since it opened, as fast as it
        // can: the tune starts about where the file ends now.
        std::error_code none;
        const std::uintmax_t written = std::filesystem::file_size(out, none);
        start = none ? 0 : size_t(written) / 2;
        // Let the mixer run past the end of the song and a few seconds into the repeat.
        const auto wanted = std::uintmax_t((seconds + 6.0) * BYTES_PER_SECOND) + start * 2;
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
    const size_t perSecond = BYTES_PER_SECOND / 2;
    ASSERT_GT(pcm.size(), start + size_t((seconds + 4) * perSecond)) << "the mixer stopped early";
    // Audible in the first seconds, and again once the song has started over.
    EXPECT_GT(peakOf(pcm.data() + start + perSecond / 2, 2 * perSecond), 4000);
    const size_t repeat = start + size_t((seconds + 1) * perSecond);
    EXPECT_GT(peakOf(pcm.data() + repeat, 2 * perSecond), 4000);
}

} // namespace
