// Whole scenarios through the real program (window, frame driver, controls)
// on the headless runner: a level cleared by shots, a ship lost and the level
// replayed, a power-up that runs out, the boss, and a game over that saves a
// new high score. Shots are placed directly on their targets between frames.
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "game/game.h"
#include "gfx/gfx.h"
#include "support/runner.h"

namespace {

constexpr int QT_KEY_A = 0x41;  // any key: leaves the title, starts a game from the menu

void startGame(HeadlessRunner& r) {
    r.frames(2);
    r.pressKey(QT_KEY_A);
    r.frames(1);
    ASSERT_EQ(gameState, STATE_MENU);
    r.pressKey(QT_KEY_A);
    r.frames(1);
    ASSERT_EQ(gameState, STATE_PLAYING);
    ASSERT_EQ(level, 1);
}

// Puts a free shot on the middle of `target`; false when no slot is free.
bool shootAt(const Sprite* target) {
    for (int j = 0; j < SHOT_SLOTS; ++j) {
        Sprite* s = shotSprites[j];
        if (s->active) continue;
        s->x = target->x + float(target->width / 2 - 4);
        s->y = target->y + float(target->height / 2 - 4);
        s->vx = s->vy = 0.0f;
        s->active = true;
        shotDistance[j] = 0.0f;
        return true;
    }
    return false;
}

// Keeps the ship safe: the shield stays on without draining.
void protectShip() {
    shieldsUp = false;
    shieldEnergy = SHIELD_FULL;
    shieldSprite->active = true;
}

// Shoots at the first active rock of each size; one volley per call.
void shootRocks() {
    for (Sprite* s : bigRocks)
        if (s->active) shootAt(s);
    for (Sprite* s : mediumRocks)
        if (s->active) shootAt(s);
    for (Sprite* s : smallRocks)
        if (s->active) shootAt(s);
}

bool runUntil(HeadlessRunner& r, GameState want, int limit, void (*each)() = nullptr) {
    for (int i = 0; i < limit && gameState != want; ++i) {
        if (each) each();
        r.frames(1);
    }
    return gameState == want;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(WorldScenario, LevelClearedByShotsLeadsToTheNextLevel) {
    HeadlessRunner r;
    startGame(r);
    ASSERT_TRUE(runUntil(r, STATE_LEVEL_CLEARED, 2000, [] {
        protectShip();
        bonusCarrier->active = false;  // points from rocks only
        carrierFlying = true;
        shootRocks();
    }));
    EXPECT_EQ(score, 3 * 100 + 6 * 200 + 12 * 400);
    EXPECT_EQ(rocksLeft, 0);
    EXPECT_EQ(levelEndTimer, 49);
    r.frames(49);
    EXPECT_EQ(gameState, STATE_LEVEL_CLEARED);
    r.frames(1);
    EXPECT_EQ(gameState, STATE_NEXT_LEVEL);
    r.frames(1);
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_EQ(level, 2);
    EXPECT_EQ(rocksLeft, 12);
    EXPECT_EQ(levelFrames, 1);
    EXPECT_EQ(levelDigits[0]->frame, 2);
    // The level banner is drawn over the background picture.
    EXPECT_NE(r.backPixel(60, 110), testPictureColour(1));
}

TEST(WorldScenario, ShipLostToARockAndTheLevelReplayed) {
    HeadlessRunner r;
    startGame(r);
    r.frames(10);
    const float firstRockX = bigRocks[0]->x;
    shieldsUp = false;
    shieldSprite->active = false;
    Sprite* ship = shipSprites[shipDirection];
    bigRocks[1]->x = ship->x - 40.0f;
    bigRocks[1]->y = ship->y - 16.0f;
    r.frames(1);
    ASSERT_EQ(gameState, STATE_SHIP_LOST);
    EXPECT_EQ(lives, 2);
    EXPECT_TRUE(shipExplosion->active);
    EXPECT_EQ(respawnDelay, 99);
    r.frames(99);
    EXPECT_EQ(gameState, STATE_SHIP_LOST);
    r.frames(1);
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_EQ(level, 1);
    EXPECT_EQ(rocksLeft, 12);
    EXPECT_TRUE(shipSprites[0]->active);
    EXPECT_FLOAT_EQ(shipSprites[0]->x, 104.0f);
    EXPECT_TRUE(shieldSprite->active);
    EXPECT_FLOAT_EQ(shieldEnergy, SHIELD_FULL - 1.52f);
    EXPECT_NE(bigRocks[0]->x, firstRockX);  // a fresh field
}

TEST(WorldScenario, CarrierShotAndItsPowerUpExpiringAfter600Frames) {
    HeadlessRunner r;
    startGame(r);
    ASSERT_TRUE(runUntil(r, STATE_PLAYING, 1));
    for (int i = 0; i < 600 && !bonusCarrier->active; ++i) {
        protectShip();
        r.frames(1);
    }
    ASSERT_TRUE(bonusCarrier->active);
    r.frames(60);
    const int32_t kind = powerUpTable[powerUpIndex].kind;
    shootAt(bonusCarrier);
    r.frames(1);
    ASSERT_FALSE(bonusCarrier->active);
    ASSERT_TRUE(powerUpRunning);
    EXPECT_TRUE(powerUpIcon->active);
    EXPECT_TRUE(carrierExplosion->active);
    EXPECT_EQ(score, 500);
    const int32_t granted = levelFrames - 1;
    EXPECT_EQ(powerUpEndFrame, granted + 600);
    switch (kind) {
    case 1: EXPECT_FLOAT_EQ(shotRange, 260.0f); break;
    case 2: EXPECT_TRUE(spreadShot); break;
    case 3: EXPECT_FLOAT_EQ(shotSpeed, 12.0f); break;
    case 4: EXPECT_EQ(shotSlots, 5); break;
    default: EXPECT_TRUE(piercingShots); break;
    }
    for (int i = 0; i < 600; ++i) {
        protectShip();
        r.frames(1);
    }
    EXPECT_TRUE(powerUpRunning);
    protectShip();
    r.frames(1);
    EXPECT_FALSE(powerUpRunning);
    EXPECT_FALSE(powerUpIcon->active);
    EXPECT_FALSE(spreadShot);
    EXPECT_FALSE(piercingShots);
    EXPECT_EQ(shotSlots, 1);
    EXPECT_FLOAT_EQ(shotSpeed, 6.0f);
    EXPECT_FLOAT_EQ(shotRange, 160.0f);
}

TEST(WorldScenario, BossArrivesAndIsDestroyedByTheThirdHit) {
    HeadlessRunner r;
    startGame(r);
    level = 4;
    setupLevel();
    for (int i = 0; i < 1000 && !boss.bossAlive; ++i) {
        protectShip();
        r.frames(1);
    }
    ASSERT_TRUE(boss.bossAlive);
    ASSERT_TRUE(bossShip->active);
    // While the warp still shows its arrival frame it keeps delivering the
    // boss; shoot once it has played out.
    for (int i = 0; i < 100 && bossWarp->active; ++i) {
        protectShip();
        r.frames(1);
    }
    ASSERT_FALSE(bossWarp->active);
    const int32_t before = score;
    for (int hit = 1; hit <= 3; ++hit) {
        protectShip();
        shootAt(bossShip);
        r.frames(1);
        EXPECT_EQ(bossShip->active, hit < 3) << "hit " << hit;
    }
    EXPECT_TRUE(bossExplosion->active);
    EXPECT_FALSE(boss.bossAlive);
    EXPECT_EQ(boss.bossHitPoints, 0);
    EXPECT_EQ(score, before + 1500);
    EXPECT_EQ(gameState, STATE_PLAYING);  // rocks remain

    // With the boss gone, the level ends with the last rock.
    ASSERT_TRUE(runUntil(r, STATE_LEVEL_CLEARED, 3000, [] {
        protectShip();
        shootRocks();
    }));
    EXPECT_EQ(level, 4);
}

TEST(WorldScenario, GameOverSavesANewHighScore) {
    HeadlessRunner r;
    startGame(r);
    ASSERT_EQ(highScore, 35000);
    score = 34900;
    nextExtraLifeScore = 1000000;
    ASSERT_TRUE(runUntil(r, STATE_PLAYING, 1));
    for (int i = 0; i < 500 && !newHighScore; ++i) {
        protectShip();
        shootRocks();
        r.frames(1);
    }
    ASSERT_TRUE(newHighScore);
    const int32_t finalScore = score;
    EXPECT_EQ(highScore, 35000);  // committed only at the end of the game
    EXPECT_EQ(readFile(r.settingsPath()).find("hiscore"), std::string::npos);

    // The last ship is lost to a big rock.
    lives = 0;
    shieldsUp = false;
    shieldSprite->active = false;
    for (Sprite* s : shotSprites) s->active = false;
    Sprite* rock = bigRocks[0]->active ? bigRocks[0] : mediumRocks[0];
    rock->active = true;
    rock->x = shipSprites[shipDirection]->x - 8.0f;
    rock->y = shipSprites[shipDirection]->y - 8.0f;
    r.frames(1);
    ASSERT_EQ(gameState, STATE_SHIP_LOST);
    EXPECT_EQ(lives, -1);
    r.frames(100);
    ASSERT_EQ(gameState, STATE_GAME_OVER);
    EXPECT_EQ(highScore, finalScore);
    EXPECT_NE(readFile(r.settingsPath()).find("hiscore = " + std::to_string(finalScore)),
              std::string::npos);
    EXPECT_EQ(highScoreDigits[0]->frame, (finalScore / 1000000) % 10);
    EXPECT_EQ(highScoreDigits[6]->frame, finalScore % 10);
    EXPECT_EQ(r.backPixel(120, 110), testPictureColour(3));  // the game-over message

    r.frames(150);
    EXPECT_EQ(gameState, STATE_GAME_OVER);
    r.frames(1);
    EXPECT_EQ(gameState, STATE_MENU);
    EXPECT_EQ(score, finalScore);
    EXPECT_FALSE(scoreDigits[0]->active);
}

} // namespace
