// The controls' calls into an open mixer (dummy audio driver): pausing and
// resuming the effect channels, the slider volumes and the effect sample that
// does not pile up while the slider is dragged.
#include <gtest/gtest.h>

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdlib>
#include <vector>

#include "app/app.h"
#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "ui/ui.h"

namespace {

constexpr int SAMPLE_RATE = 22050;
constexpr int SAMPLE_SECONDS = 5;          // long enough to stay busy through a test

class Mixer : public ::testing::Test {
protected:
    static std::vector<uint8_t> silence;
    static Mix_Chunk* chunk;
    static bool opened;

    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        allocateBuffers();
        createSprites();
        buildDirectionTables();
        opened = SDL_Init(SDL_INIT_AUDIO | SDL_INIT_NOPARACHUTE) != -1 &&
                 Mix_OpenAudio(SAMPLE_RATE, AUDIO_S16LSB, 2, 1024) != -1;
        if (!opened)
            return;
        // The mixer marks a paused channel with the tick count of the pause,
        // which reads as "not paused" during SDL's first millisecond.
        SDL_Delay(5);
        silence.assign(size_t(SAMPLE_RATE) * 4 * SAMPLE_SECONDS, 0);
        chunk = Mix_QuickLoad_RAW(silence.data(), Uint32(silence.size()));
        for (int n = 0; n < EFFECT_COUNT; n++)
            effectChunks[n] = chunk;
    }
    static void TearDownTestSuite() {
        if (!opened)
            return;
        Mix_HaltChannel(-1);
        for (int n = 0; n < EFFECT_COUNT; n++)
            effectChunks[n] = nullptr;
        Mix_FreeChunk(chunk);
        Mix_CloseAudio();
        audioOpen = false;
    }

    void SetUp() override {
        if (!opened)
            GTEST_SKIP() << "no dummy audio driver";
        Mix_HaltChannel(-1);
        audioOpen = true;
        for (int n = 0; n < EFFECT_COUNT; n++)
            effectChannels[n] = -1;
        keyBindings = {KEY_UP, KEY_LEFT, KEY_RIGHT, KEY_DOWN, KEY_SPACE, KEY_F11};
        sfxVolume = 255;
        musicVolume = 128;
        gameState = STATE_PLAYING;
    }
};

std::vector<uint8_t> Mixer::silence;
Mix_Chunk* Mixer::chunk = nullptr;
bool Mixer::opened = false;

TEST_F(Mixer, PauseSilencesAndHoldsTheEffectsUntilResumed) {
    playEffect(EFFECT_THRUST, false);
    playEffect(EFFECT_SMALL_ROCK, false);
    int a = effectChannels[EFFECT_THRUST];
    int b = effectChannels[EFFECT_SMALL_ROCK];
    ASSERT_GE(a, 0);
    ASSERT_GE(b, 0);

    onKeyPress(KEY_F11);
    EXPECT_EQ(gameState, STATE_PAUSED);
    EXPECT_TRUE(Mix_Paused(a));
    EXPECT_TRUE(Mix_Paused(b));
    EXPECT_EQ(Mix_Volume(a, -1), 0);

    sfxVolume = 128;
    onKeyPress(KEY_UP);
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_FALSE(Mix_Paused(a));
    EXPECT_FALSE(Mix_Paused(b));
    EXPECT_EQ(Mix_Volume(a, -1), 64);
    EXPECT_EQ(Mix_Volume(b + 1, -1), 64);     // every channel, not only the busy ones

    // The pen resumes the same way.
    onPenPress(5, 5);
    EXPECT_TRUE(Mix_Paused(a));
    onPenPress(60, 300);
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_FALSE(Mix_Paused(a));
    EXPECT_EQ(Mix_Volume(a, -1), 64);
}

TEST_F(Mixer, QuittingFromPauseRestoresTheEffects) {
    playEffect(EFFECT_THRUST, false);
    int a = effectChannels[EFFECT_THRUST];
    onKeyPress(KEY_F11);
    ASSERT_TRUE(Mix_Paused(a));
    onPenPress(200, 300);
    EXPECT_EQ(gameState, STATE_SHIP_LOST);
    EXPECT_FALSE(Mix_Paused(a));
    EXPECT_EQ(Mix_Volume(a, -1), 128);
    EXPECT_GE(effectChannels[EFFECT_SHIP_LOST], 0);
    EXPECT_TRUE(Mix_Playing(effectChannels[EFFECT_SHIP_LOST]));
}

TEST_F(Mixer, EffectSliderSamplesWithoutPilingUp) {
    gameState = STATE_MENU;
    onPenPress(120, 130);
    EXPECT_EQ(sfxVolume, 44);
    EXPECT_EQ(Mix_Volume(0, -1), 44 * 128 / 255);
    int channel = effectChannels[EFFECT_SHOT];
    ASSERT_GE(channel, 0);
    for (int x = 121; x < 200; x += 7)
        onPenMove(x, 131);
    EXPECT_EQ(Mix_Playing(-1), 1);
    EXPECT_EQ(effectChannels[EFFECT_SHOT], channel);

    // Once the sample has ended, the next move sounds it again.
    Mix_HaltChannel(channel);
    onPenMove(150, 131);
    EXPECT_EQ(Mix_Playing(-1), 1);
}

TEST_F(Mixer, MusicSliderSetsTheMusicVolume) {
    gameState = STATE_MENU;
    onPenPress(226, 150);
    EXPECT_EQ(musicVolume, 255);
    EXPECT_EQ(Mix_VolumeMusic(-1), 128);
    onPenPress(160, 150);
    EXPECT_EQ(musicVolume, 124);
    EXPECT_EQ(Mix_VolumeMusic(-1), 124 * 128 / 255);
    EXPECT_EQ(Mix_Playing(-1), 0);            // no sample for the music
}

} // namespace
