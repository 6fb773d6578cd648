// Audio on the dummy SDL driver: which file each effect comes from, the
// volume rule, effect channels, and silent play when no device opens.
#include <gtest/gtest.h>

#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/app.h"
#include "audio/audio.h"
#include "support/runner.h"

namespace {

constexpr uint32_t RATE = 22050; // Hz, the mixer's own rate, so samples are not resampled

// Bytes of sample data in file fx<m>: different for every file.
uint32_t bytesOfFile(int m) {
    return 8820 * uint32_t(m + 1);
}

// A stereo 16-bit PCM WAV file of silence.
void writeWav(const std::string& path, uint32_t bytes) {
    auto le = [](uint32_t v, int n) { return std::string(reinterpret_cast<const char*>(&v), n); };
    std::ofstream(path, std::ios::binary)
        << "RIFF" << le(36 + bytes, 4) << "WAVEfmt " << le(16, 4) << le(1, 2) << le(2, 2)
        << le(RATE, 4) << le(RATE * 4, 4) << le(4, 2) << le(16, 2) << "data" << le(bytes, 4)
        << std::string(bytes, '\0');
}

class AudioData : public ::testing::Test {
  protected:
    std::string dir = makeTempDir("audio");

    void SetUp() override {
        setenv("SDL_AUDIODRIVER", "dummy", 1); // never a real sound card
        // fx5, fx7, fx8 and fx9 do not exist; fx12 is left out as a missing file.
        for (int m : {0, 1, 2, 3, 4, 6, 10, 11, 13, 14})
            writeWav(dir + "fx" + std::to_string(m), bytesOfFile(m));
        std::snprintf(dataDirectory, sizeof dataDirectory, "%s", dir.c_str());
        for (auto& track : trackPaths)
            std::snprintf(track, sizeof track, "%smissing.xm", dir.c_str());
        theWidget = nullptr;
        musicVolume = sfxVolume = 128;
    }
    void TearDown() override { shutdownAudio(); }
};

std::vector<std::string> boxes; // the message boxes shown
void recordBox(bool critical, const char* title, const char* text) {
    boxes.push_back(std::string(critical ? "critical " : "warning ") + title + ": " + text);
}

TEST(VolumeRule, ScalesToTheMixerRangeRoundingDown) {
    const int rows[][2] = {{255, 128}, {128, 64}, {200, 100}, {1, 0}, {0, 0}, {300, 150}};
    for (const auto& r : rows)
        EXPECT_EQ(mixerVolume(r[0]), r[1]) << r[0];
}

TEST_F(AudioData, EffectsLoadFromTheirFilesAndPlayOnFreeChannels) {
    setMessageBoxHook(recordBox);
    musicVolume = 200;
    musicTrack = 9;
    EXPECT_TRUE(initAudio());
    setMessageBoxHook(nullptr);
    ASSERT_TRUE(audioOpen);
    EXPECT_TRUE(boxes.empty());
    for (int n = 0; n < EFFECT_COUNT; ++n) { // sample lengths tell the files apart
        const int m = n == 9 ? 2 : (n == 5 || n == 7 || n == 8) ? 3 : n;
        EXPECT_EQ(effectChunks[n] ? effectChunks[n]->alen : 0, m == 12 ? 0 : bytesOfFile(m)) << n;
        EXPECT_EQ(effectChannels[n], -1);
    }
    EXPECT_NE(effectChunks[5], effectChunks[3]); // each effect has a sample of its own
    // Track 2 whatever was set, its volume by the rule; a missing module is silent.
    EXPECT_EQ(musicTrack, 2);
    EXPECT_EQ(music, nullptr);
    EXPECT_EQ(Mix_VolumeMusic(-1), 100);

    playEffect(EFFECT_CARRIER_ARRIVES, false); // not loaded
    EXPECT_EQ(effectChannels[EFFECT_CARRIER_ARRIVES], -1);
    playEffect(EFFECT_SHOT, false);
    const int first = effectChannels[EFFECT_SHOT];
    playEffect(EFFECT_SHOT, false);
    EXPECT_GE(first, 0);
    EXPECT_EQ(effectChannels[EFFECT_SHOT], first + 1);
    EXPECT_NE(Mix_Playing(first), 0); // the earlier instance keeps playing
}

// Runs in a fresh process: SDL is told to use a driver that does not exist.
int runWithoutDevice() {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    setMessageBoxHook(recordBox);
    if (!initAudio() || audioOpen || music != nullptr || musicTrack != 2) return 1;
    const std::vector<std::string> warning = {
        "warning Failed to open audio device: <qt>The audio device could not be opened. No sounds "
        "will be played during the game.</qt>"};
    if (boxes != warning) return 2;
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        if (effectChunks[n] != nullptr || effectChannels[n] != -1) return 3;
        playEffect(n, false);
        if (effectChannels[n] != 0) return 4;
    }
    shutdownAudio();
    return boxes == warning ? 0 : 5;
}

TEST_F(AudioData, NoDeviceWarnsOnceAndPlaysSilently) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(runWithoutDevice()), ::testing::ExitedWithCode(0), "");
}

} // namespace
