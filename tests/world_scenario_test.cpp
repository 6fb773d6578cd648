// Whole games through the real program (window, frame driver, controls) on the
// headless runner. Shots are put straight onto their targets between frames,
// and the ship is kept shielded unless a scenario wants it hit.
#include <string>

#include <gtest/gtest.h>

#include "game/game.h"
#include "gfx/gfx.h"
#include "support/runner.h"

namespace {

constexpr int QT_KEY_A = 0x41;  // any key: leaves the title, starts a game from the menu

void shootAt(const Sprite* target) {
    for (int j = 0; j < SHOT_SLOTS; ++j) {
        Sprite* s = shotSprites[j];
        if (s->active) continue;
        s->x = target->x + float(target->width / 2 - 4);
        s->y = target->y + float(target->height / 2 - 4);
        s->vx = s->vy = shotDistance[j] = 0.0f;
        s->active = true;
        return;
    }
}

// Runs shielded frames, with a volley at the rocks before each when
// `shooting`, until done() holds or `limit` frames have passed.
template <class Done> bool playUntil(HeadlessRunner& r, int limit, Done done, bool shooting = false) {
    for (int i = 0; i < limit && !done(); ++i) {
        shieldsUp = false, shieldEnergy = SHIELD_FULL, shieldSprite->active = true;
        if (shooting) {
            auto volley = [](auto& rocks) { for (Sprite* s : rocks) if (s->active) shootAt(s); };
            volley(bigRocks), volley(mediumRocks), volley(smallRocks);
        }
        r.frames(1);
    }
    return done();
}

// Puts a big rock on the unshielded ship; the loss comes in the next frame.
void crashShip(HeadlessRunner& r) {
    shieldsUp = false, shieldSprite->active = false;
    for (Sprite* s : shotSprites) s->active = false;
    bigRocks[1]->active = true;
    bigRocks[1]->x = shipSprites[shipDirection]->x - 8.0f;
    bigRocks[1]->y = shipSprites[shipDirection]->y - 8.0f;
    r.frames(1);
    ASSERT_EQ(gameState, STATE_SHIP_LOST);
}

// Each scenario starts a game from the title screen.
class WorldScenario : public ::testing::Test {
protected:
    void SetUp() override {
        r.frames(2);
        r.pressKey(QT_KEY_A);
        r.frames(1);
        r.pressKey(QT_KEY_A);
        r.frames(1);
        ASSERT_EQ(gameState, STATE_PLAYING);
    }
    HeadlessRunner r;
};

TEST_F(WorldScenario, LevelClearedByShotsLeadsToTheNextLevelInThe51stUpdate) {
    carrierFlying = true;  // no carrier: points from rocks only
    ASSERT_TRUE(playUntil(r, 2000, [] { return gameState == STATE_LEVEL_CLEARED; }, true));
    EXPECT_EQ(score, 3 * 100 + 6 * 200 + 12 * 400);
    r.frames(49);
    EXPECT_EQ(gameState, STATE_LEVEL_CLEARED);
    r.frames(1);
    EXPECT_EQ(gameState, STATE_NEXT_LEVEL);
    r.frames(1);
    EXPECT_EQ(level, 2);
    EXPECT_EQ(levelFrames, 1);
    EXPECT_NE(r.backPixel(60, 110), testPictureColour(1));  // the level banner
}

TEST_F(WorldScenario, CarrierShotAndItsPowerUpExpiringAfter600Frames) {
    ASSERT_TRUE(playUntil(r, 600, [] { return bonusCarrier->active; }));
    r.frames(60);
    powerUpTable[powerUpIndex].kind = 4;  // five shot slots
    shootAt(bonusCarrier);
    r.frames(1);
    ASSERT_TRUE(powerUpRunning && powerUpIcon->active);
    EXPECT_EQ(score, 500);
    EXPECT_EQ(shotSlots, 5);
    shotRange = 260.0f;  // the end of this kind puts the range back as well
    playUntil(r, 600, [] { return false; });
    EXPECT_TRUE(powerUpRunning);
    r.frames(1);
    EXPECT_FALSE(powerUpRunning);
    EXPECT_FALSE(powerUpIcon->active || spreadShot || piercingShots);
    EXPECT_TRUE(shotSlots == 1 && shotSpeed == 6.0f && shotRange == 160.0f);
}

TEST_F(WorldScenario, BossArrivesAndIsDestroyedByTheThirdHit) {
    level = 4;
    setupLevel();
    ASSERT_TRUE(playUntil(r, 1100, [] { return boss.bossAlive; }));
    const int32_t before = score;
    for (int hit = 1; hit <= 3; ++hit) {
        shootAt(bossShip);
        playUntil(r, 1, [] { return false; });
        EXPECT_EQ(bossShip->active, hit < 3) << "hit " << hit;
    }
    EXPECT_TRUE(bossExplosion->active && !boss.bossAlive);
    EXPECT_EQ(score, before + 1500);
    EXPECT_EQ(gameState, STATE_PLAYING);  // rocks remain
    EXPECT_TRUE(playUntil(r, 3000, [] { return gameState == STATE_LEVEL_CLEARED; }, true));
}

TEST_F(WorldScenario, LostShipsReplayTheLevelUntilGameOverSavesANewHighScore) {
    r.frames(10);
    const float firstRockX = bigRocks[0]->x;
    crashShip(r);
    EXPECT_EQ(lives, 2);
    r.frames(99);
    EXPECT_EQ(gameState, STATE_SHIP_LOST);
    r.frames(1);  // the replay, 100 frames after the loss, on a fresh field
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_EQ(rocksLeft, 12);
    EXPECT_NE(bigRocks[0]->x, firstRockX);

    score = 34900;
    nextExtraLifeScore = 1000000;
    ASSERT_TRUE(playUntil(r, 500, [] { return newHighScore; }, true));
    const int32_t finalScore = score;
    EXPECT_EQ(readTextFile(r.settingsPath()).find("hiscore"), std::string::npos);  // not yet
    lives = 0;
    crashShip(r);
    r.frames(100);
    ASSERT_EQ(gameState, STATE_GAME_OVER);
    EXPECT_NE(readTextFile(r.settingsPath()).find("hiscore = " + std::to_string(finalScore)),
              std::string::npos);
    EXPECT_EQ(r.backPixel(120, 110), testPictureColour(3));  // the game-over message
    r.frames(150);
    EXPECT_EQ(gameState, STATE_GAME_OVER);
    r.frames(1);
    EXPECT_EQ(gameState, STATE_MENU);
}

} // namespace
