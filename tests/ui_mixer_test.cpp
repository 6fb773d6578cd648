// The controls' calls into an open mixer (dummy audio driver): the effect
// channels paused and resumed with the game, the slider volumes, and the
// slider's sample that does not pile up during a drag.
#include <SDL.h>
#include <SDL_mixer.h>

#include <tuple>

#include "audio/sound_device.h"
#include "support/world_fixture.h"
#include "ui/ui.h"

namespace {

class Mixer : public WorldTest {
protected:
    static inline uint8_t silence[22050 * 4 * 5]; // five seconds: busy through a test
    static inline Mix_Chunk* chunk = nullptr;

    static void SetUpTestSuite() {
        WorldTest::SetUpTestSuite();
        if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_NOPARACHUTE) == -1 ||
            Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 1024) == -1)
            return;
        // The mixer marks a paused channel with the tick count of the pause,
        // which reads as "not paused" during SDL's first millisecond.
        SDL_Delay(5);
        chunk = Mix_QuickLoad_RAW(silence, sizeof silence);
        soundDevice = &SDL_SOUND;
        for (Mix_Chunk*& c : effectChunks) c = chunk;
    }
    void SetUp() override {
        if (!chunk) GTEST_SKIP() << "no dummy audio driver";
        WorldTest::SetUp();
        Mix_HaltChannel(-1);
        forgetEffects();
        audioOpen = true;
        sfxVolume = 128;
    }
};

// With the effects and the music at different volumes, the way back from the
// pause screen (a key, the resume item, the quit item) brings the channels
// back at the effects' volume and leaves the music at its own.
TEST_F(Mixer, PausingHoldsTheEffectsAndEveryWayBackRestoresTheirVolume) {
    constexpr int EFFECTS = 40 * 128 / 255, MUSIC = 200 * 128 / 255;
    // Pause by the pen or the key, then what leaves the pause screen.
    const std::tuple<bool, int, int, GameState> rows[] = {
        {false, KEY_UP, 0, STATE_PLAYING},
        {true, 0, 140, STATE_PLAYING},     // the resume item
        {false, 0, 200, STATE_SHIP_LOST}}; // the quit item
    for (auto [pen, key, itemX, after] : rows) {
        SCOPED_TRACE(after);
        SetUp();
        sfxVolume = 40, musicVolume = 200;
        applyEffectVolume(), applyMusicVolume();
        playEffect(EFFECT_THRUST);
        playEffect(EFFECT_SMALL_ROCK);
        const int a = effectChannels[EFFECT_THRUST], b = effectChannels[EFFECT_SMALL_ROCK];
        ASSERT_TRUE(a >= 0 && b >= 0);
        auto expectPaused = [&](bool paused) {
            EXPECT_EQ(bool(Mix_Paused(a)) + bool(Mix_Paused(b)), paused ? 2 : 0);
            // Every channel, busy or not.
            EXPECT_EQ(Mix_Volume(b + 1, -1), paused ? 0 : EFFECTS);
            EXPECT_EQ(Mix_VolumeMusic(-1), MUSIC);
        };
        pen ? onPenPress(5, 5) : onKeyPress(KEY_F11);
        expectPaused(true);
        key ? onKeyPress(key) : onPenPress(itemX, 300);
        ASSERT_EQ(gameState, after);
        expectPaused(false);
    }
    EXPECT_TRUE(Mix_Playing(effectChannels[EFFECT_SHIP_LOST]));  // the ship blows up audibly
}

TEST_F(Mixer, SlidersSetTheVolumesAndTheSampleDoesNotPileUp) {
    gameState = STATE_MENU;
    onPenPress(120, 130);
    EXPECT_EQ(Mix_Volume(0, -1), 44 * 128 / 255);
    const int channel = effectChannels[EFFECT_SHOT];
    ASSERT_GE(channel, 0);
    for (int x = 121; x < 200; x += 7)
        onPenMove(x, 131);
    EXPECT_EQ(Mix_Playing(-1), 1);
    EXPECT_EQ(effectChannels[EFFECT_SHOT], channel);
    Mix_HaltChannel(channel); // once it has ended, a move sounds it again
    onPenMove(150, 131);
    EXPECT_EQ(Mix_Playing(-1), 1);

    onPenPress(160, 150);
    EXPECT_EQ(Mix_VolumeMusic(-1), 124 * 128 / 255);
    EXPECT_EQ(Mix_Playing(-1), 1); // the music slider plays no sample
}

} // namespace
