// The controls' calls into the mixer, through the tests' model of it: the
// effect channels paused and resumed with the game, the slider volumes, and
// the slider's sample that does not pile up during a drag.
#include <tuple>

#include "support/fake_mixer.h"
#include "support/world_fixture.h"
#include "ui/ui.h"

namespace {

class Mixer : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        resetFakeMixer();
        soundDevice = &FAKE_SOUND;
        for (Mix_Chunk*& c : effectChunks) c = fakeEffect();
        forgetEffects();
        audioOpen = true;
        sfxVolume = 128;
    }
    void TearDown() override {
        soundDevice = &SILENT_SOUND;
        for (Mix_Chunk*& c : effectChunks) c = nullptr;
        audioOpen = false;
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
            const FakeMixer::Channel* channel = fakeMixer.channels;
            EXPECT_EQ(channel[a].paused + channel[b].paused, paused ? 2 : 0);
            // Every channel, busy or not.
            EXPECT_EQ(channel[b + 1].volume, paused ? 0 : EFFECTS);
            EXPECT_EQ(fakeMixer.musicVolume, MUSIC);
        };
        pen ? onPenPress(5, 5) : onKeyPress(KEY_F11);
        expectPaused(true);
        key ? onKeyPress(key) : onPenPress(itemX, 300);
        ASSERT_EQ(gameState, after);
        expectPaused(false);
    }
    EXPECT_TRUE(fakeMixer.channels[effectChannels[EFFECT_SHIP_LOST]].playing);  // the ship blows up audibly
}

TEST_F(Mixer, SlidersSetTheVolumesAndTheSampleDoesNotPileUp) {
    gameState = STATE_MENU;
    onPenPress(120, 130);
    EXPECT_EQ(fakeMixer.channels[0].volume, 44 * 128 / 255);
    const int channel = effectChannels[EFFECT_SHOT];
    ASSERT_GE(channel, 0);
    for (int x = 121; x < 200; x += 7)
        onPenMove(x, 131);
    EXPECT_EQ(fakeMixer.playingCount(), 1);
    EXPECT_EQ(effectChannels[EFFECT_SHOT], channel);
    fakeMixer.channels[channel].playing = false; // once it has ended, a move sounds it again
    onPenMove(150, 131);
    EXPECT_EQ(fakeMixer.playingCount(), 1);

    onPenPress(160, 150);
    EXPECT_EQ(fakeMixer.musicVolume, 124 * 128 / 255);
    EXPECT_EQ(fakeMixer.playingCount(), 1); // the music slider plays no sample
}

} // namespace
