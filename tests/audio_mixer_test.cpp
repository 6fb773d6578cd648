// Audio on the dummy SDL driver: which file each effect comes from, the
// volume rule, effect channels, and silent play when no device opens.
#include <gtest/gtest.h>

#include <SDL_mixer.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/app.h"
#include "audio/audio.h"

namespace {

constexpr int RATE = 22050; // Hz, the mixer's own rate, so samples are not resampled

// Frames of sample data in file fx<m>: different for every file.
int framesOfFile(int m) {
    return 2205 * (m + 1);
}

// A stereo 16-bit PCM WAV file of `frames` frames of a quiet square wave.
void writeWav(const std::string& path, int frames) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    auto u32 = [&](uint32_t v) { std::fwrite(&v, 4, 1, f); };
    auto u16 = [&](uint16_t v) { std::fwrite(&v, 2, 1, f); };
    uint32_t bytes = uint32_t(frames) * 4;
    std::fwrite("RIFF", 1, 4, f);
    u32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    u32(16);
    u16(1); // PCM
    u16(2);
    u32(RATE);
    u32(RATE * 4);
    u16(4);
    u16(16);
    std::fwrite("data", 1, 4, f);
    u32(bytes);
    for (int i = 0; i < frames * 2; ++i)
        u16((i / 50) % 2 ? 0x0100 : 0xFF00);
    std::fclose(f);
}

class AudioData : public ::testing::Test {
  protected:
    std::string dir;

    void SetUp() override {
        // Never reach for a real sound card, whatever the caller's environment.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        char tmpl[] = "/tmp/corvus-audio-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        // The effect files the game ships; fx5, fx7, fx8 and fx9 do not exist.
        for (int m : {0, 1, 2, 3, 4, 6, 10, 11, 12, 13, 14})
            writeWav(dir + "/fx" + std::to_string(m), framesOfFile(m));
        std::snprintf(dataDirectory, sizeof dataDirectory, "%s", dir.c_str());
        for (auto& track : trackPaths)
            std::snprintf(track, sizeof track, "%s/tinytune.xm", dir.c_str());
        theWidget = nullptr;
        musicVolume = 128;
        sfxVolume = 128;
    }
    void TearDown() override {
        shutdownAudio();
        std::string cmd = "rm -rf '" + dir + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0);
    }
};

int boxes = 0;
std::string lastBoxTitle, lastBoxText;
bool lastBoxCritical = true;
void countBox(bool critical, const char* title, const char* text) {
    ++boxes;
    lastBoxCritical = critical;
    lastBoxTitle = title;
    lastBoxText = text;
}

TEST(VolumeRule, ScalesToTheMixerRangeRoundingDown) {
    EXPECT_EQ(mixerVolume(255), 128);
    EXPECT_EQ(mixerVolume(128), 64);
    EXPECT_EQ(mixerVolume(200), 100);
    EXPECT_EQ(mixerVolume(1), 0);
    EXPECT_EQ(mixerVolume(0), 0);
    EXPECT_EQ(mixerVolume(300), 150);
}

TEST_F(AudioData, EffectsLoadFromTheirFiles) {
    setMessageBoxHook(countBox);
    boxes = 0;
    EXPECT_TRUE(initAudio());
    setMessageBoxHook(nullptr);
    ASSERT_TRUE(audioOpen);
    EXPECT_EQ(boxes, 0);

    for (int n = 0; n < EFFECT_COUNT; ++n) {
        int m = n;
        if (n == 5 || n == 7 || n == 8) m = 3;
        if (n == 9) m = 2;
        EXPECT_EQ(effectFileNumber(n), m) << n;
        ASSERT_NE(effectChunks[n], nullptr) << "effect " << n;
        EXPECT_EQ(effectChunks[n]->alen, uint32_t(framesOfFile(m) * 4)) << "effect " << n;
        EXPECT_EQ(effectChannels[n], -1);
    }
    // Shared files still give every effect its own sample.
    EXPECT_NE(effectChunks[5], effectChunks[3]);
    EXPECT_NE(effectChunks[9], effectChunks[2]);

    // The music: track 2 whatever it was, its volume by the rule, a missing
    // module simply stays silent.
    EXPECT_EQ(musicTrack, 2);
    EXPECT_EQ(music, nullptr);
    EXPECT_EQ(Mix_VolumeMusic(-1), 64);
}

TEST_F(AudioData, EffectsPlayOnFreeChannelsWithoutStoppingEarlierOnes) {
    musicVolume = 200;
    musicTrack = 9;
    ASSERT_TRUE(initAudio());
    ASSERT_TRUE(audioOpen);
    EXPECT_EQ(musicTrack, 2);
    EXPECT_EQ(Mix_VolumeMusic(-1), 100);

    playEffect(EFFECT_SHOT, false);
    int first = effectChannels[EFFECT_SHOT];
    playEffect(EFFECT_SHOT, false);
    int second = effectChannels[EFFECT_SHOT];
    EXPECT_GE(first, 0);
    EXPECT_GE(second, 0);
    EXPECT_NE(first, second);
    EXPECT_NE(Mix_Playing(first), 0); // the earlier instance keeps playing

    // Every channel busy: the effect is dropped and -1 is recorded.
    int channels = Mix_AllocateChannels(-1);
    for (int i = 0; i < channels; ++i)
        playEffect(EFFECT_SMALL_ROCK, true);
    playEffect(EFFECT_BIG_ROCK, false);
    EXPECT_EQ(effectChannels[EFFECT_BIG_ROCK], -1);
    Mix_HaltChannel(-1);
}

TEST_F(AudioData, MissingEffectFileIsSilentlySkipped) {
    ASSERT_EQ(unlink((dir + "/fx12").c_str()), 0);
    ASSERT_EQ(unlink((dir + "/fx3").c_str()), 0);
    ASSERT_TRUE(initAudio());
    ASSERT_TRUE(audioOpen);
    EXPECT_EQ(effectChunks[12], nullptr);
    for (int n : {3, 5, 7, 8})
        EXPECT_EQ(effectChunks[n], nullptr) << n;
    EXPECT_NE(effectChunks[13], nullptr);
    playEffect(EFFECT_CARRIER_ARRIVES, false);
    EXPECT_EQ(effectChannels[EFFECT_CARRIER_ARRIVES], -1);

    shutdownAudio();
    EXPECT_FALSE(audioOpen);
    for (Mix_Chunk* c : effectChunks)
        EXPECT_EQ(c, nullptr);
    shutdownAudio(); // a second teardown is harmless
}

TEST_F(AudioData, TheGeneratedTuneLoadsAndLoops) {
    std::string tune = std::string(CORVUS_DATA_DIR) + "/tinytune.xm";
    if (access(tune.c_str(), R_OK) != 0) GTEST_SKIP() << "no generated tune in " << tune;
    std::snprintf(trackPaths[2], sizeof trackPaths[2], "%s", tune.c_str());
    ASSERT_TRUE(initAudio());
    ASSERT_TRUE(audioOpen);
    ASSERT_NE(music, nullptr) << Mix_GetError();
    EXPECT_NE(Mix_PlayingMusic(), 0);
}

// Runs in a fresh process: SDL is told to use a driver that does not exist.
int runWithoutDevice() {
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    setMessageBoxHook(countBox);
    boxes = 0;
    if (!initAudio()) return 1;
    if (audioOpen) return 2;
    if (boxes != 1 || lastBoxCritical) return 3;
    if (lastBoxTitle != "Failed to open audio device") return 4;
    if (lastBoxText != "<qt>The audio device could not be opened. No sounds will be played "
                       "during the game.</qt>")
        return 5;
    for (int n = 0; n < EFFECT_COUNT; ++n) {
        if (effectChunks[n] != nullptr || effectChannels[n] != -1) return 6;
        playEffect(n, false);
        if (effectChannels[n] != 0) return 7;
    }
    if (music != nullptr || musicTrack != 2) return 8;
    shutdownAudio();
    if (boxes != 1) return 9;
    return 0;
}

TEST_F(AudioData, NoDeviceWarnsOnceAndPlaysSilently) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(std::exit(runWithoutDevice()), ::testing::ExitedWithCode(0), "");
}

} // namespace
