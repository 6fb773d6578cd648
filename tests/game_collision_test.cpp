// Contacts and their outcomes: tie-breaks, the rock family tree, the carrier
// and the boss, the lost ship, and the score rules they drive. (The test
// boxes, their margins and their edges, the shield's protection and where a
// broken rock's pieces start are held by the recorded games in tests/replays,
// whose every contact depends on them.)
#include <tuple>

#include "game/world.h"
#include "support/world_fixture.h"

namespace {

using Collisions = WorldTest;

void expectActiveAt(const Sprite* s, float x, float y) {
    EXPECT_TRUE(s->active);
    EXPECT_FLOAT_EQ(s->x, x);
    EXPECT_FLOAT_EQ(s->y, y);
}

TEST_F(Collisions, OnlyOneShipIsLostPerPass) {
    // Unshielded under heading 5 on a big rock, with a rock, the carrier and a
    // boss shot waiting on the respawn point: one life, nothing else rammed.
    emptyField();
    dropShield();
    shipSprites[0]->active = false;
    shipDirection = 5;
    place(shipSprites[5], 60.0f, 40.0f, 1.5f, -0.5f);
    place(bigRocks[0], 40.0f, 20.0f);
    place(smallRocks[2], 112.0f, 152.0f);
    place(bonusCarrier, 104.0f, 144.0f, 0.6f, 0.0f);
    place(bossShot, 114.0f, 154.0f);
    detectCollisions();
    EXPECT_EQ(gameState, STATE_SHIP_LOST);
    EXPECT_EQ(lives, 2);
    EXPECT_EQ(shipDirection, 0);
    EXPECT_TRUE(bonusCarrier->active && bossShot->active);
    expectActiveAt(shipExplosion, 44.0f, 24.0f);  // centred on the lost ship
    // Until the level is set up again, passes test nothing.
    place(shotSprites[0], 112.0f, 152.0f);
    detectCollisions();
    EXPECT_TRUE(smallRocks[2]->active);
    EXPECT_EQ(lives, 2);
}

TEST_F(Collisions, TheLowerShotTakesARockAndAPiercingOneGoesOnIntoItsPieces) {
    // Two shots on one small rock: the lower slot breaks it, the other flies on.
    emptyField();
    place(smallRocks[5], 100.0f, 100.0f);
    place(shotSprites[1], 100.0f, 100.0f);
    place(shotSprites[3], 102.0f, 102.0f);
    detectCollisions();
    EXPECT_FALSE(smallRocks[5]->active || shotSprites[1]->active);
    EXPECT_TRUE(shotSprites[3]->active);
    EXPECT_EQ(std::pair(score, rocksLeft), std::pair(400, 11));

    // A piercing shot inside a big rock and its left medium piece breaks that
    // piece too, and the two small pieces born under it, in the same pass.
    piercingShots = true;
    shotSprites[3]->active = false;
    place(bigRocks[0], 50.0f, 100.0f);
    place(shotSprites[0], 90.0f, 125.0f);
    detectCollisions();
    EXPECT_FALSE(bigRocks[0]->active || mediumRocks[0]->active);
    EXPECT_FALSE(smallRocks[0]->active || smallRocks[6]->active);
    EXPECT_TRUE(mediumRocks[3]->active && shotSprites[0]->active);
    EXPECT_TRUE(played(EFFECT_BIG_ROCK) && played(EFFECT_MEDIUM_ROCK));
    EXPECT_EQ(std::pair(score, rocksLeft), std::pair(400 + 100 + 200 + 400 + 400, 9));
}

TEST_F(Collisions, LevelEndsWithTheLastRockUnlessTheBossLivesAndTheNextFollows) {
    emptyField();
    rocksLeft = 1;
    boss.bossAlive = true;
    boss.bossHitPoints = 2;
    place(bossShip, 100.0f, 100.0f, 0.36f, -0.36f);
    smallRockHit(0, 0);
    EXPECT_EQ(gameState, STATE_PLAYING);
    boss.bossHitPoints = 0;
    bossHit(0);  // the destroying hit
    EXPECT_EQ(gameState, STATE_LEVEL_CLEARED);
    // The next level follows the pause, without a message still showing from
    // the level before.
    messageSprite->active = true;
    step(52);
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_FALSE(messageSprite->active);
    EXPECT_EQ(level * 100 + rocksLeft, 212);
}

TEST_F(Collisions, ALostShipReplaysTheLevelOrGoesOnAndTheLastEndsTheGame) {
    // The ship is lost by a boss shot while rocks remain, or on the last rock:
    // just before a shot takes it, by ramming the carrier just after it in the
    // same pass or in the level-end pause, or by a boss shot in the next-level
    // frame after the pause; with a ship left or none, and with power-ups
    // running. A loss is never undone by the level ending.
    enum When { MID_LEVEL, LOSS_FIRST, LOSS_SAME_PASS, LOSS_LATER, LOSS_NEXT_LEVEL };
    for (When when : {MID_LEVEL, LOSS_FIRST, LOSS_SAME_PASS, LOSS_LATER, LOSS_NEXT_LEVEL}) {
        for (int32_t left : {1, 0}) {
            SetUp();
            emptyField();
            dropShield();
            lives = left;
            rocksLeft = when == MID_LEVEL ? 5 : 1;
            highScore = 300;  // beaten by the rock
            driftingScenery->active = true;  // as from level 7 on
            place(ship(), 100.0f, 100.0f);
            const float rock = when == LOSS_FIRST ? 108.0f : 20.0f;
            place(smallRocks[0], rock, rock);
            place(shotSprites[0], rock, rock);
            for (int32_t kind : {POWER_UP_BOUNCING, POWER_UP_SPREAD, POWER_UP_PIERCING})
                grantPowerUp(kind);
            if (when >= LOSS_LATER) detectCollisions();
            if (when == LOSS_NEXT_LEVEL) step(51);
            if (when >= LOSS_LATER) {
                EXPECT_EQ(gameState, when == LOSS_LATER ? STATE_LEVEL_CLEARED : STATE_NEXT_LEVEL);
            }
            Sprite* killer = when == LOSS_SAME_PASS || when == LOSS_LATER ? bonusCarrier : bossShot;
            if (when != LOSS_FIRST) place(killer, 108.0f, 108.0f);
            shipVelocityX = 2.0f, shipVelocityY = -1.0f;
            detectCollisions();
            EXPECT_EQ(gameState, STATE_SHIP_LOST) << when << left;
            EXPECT_EQ(lives, left - 1) << when << left;
            if (killer == bonusCarrier) {  // rammed: gone, without points
                EXPECT_TRUE(!bonusCarrier->active && carrierExplosion->active &&
                            played(EFFECT_CARRIER_RAMMED) && score == 400);
            }
            // After the wait the ship is back, on the next level only when the
            // pass that lost it took the last rock, or the game is over and
            // only now saves the beaten best score.
            const std::string settings =
                std::string(getenv("XDG_CONFIG_HOME")) + "corvusraiders/corvusraiders.conf";
            step(100);
            EXPECT_EQ(gameState, STATE_SHIP_LOST) << when << left;
            EXPECT_EQ(readTextFile(settings), "");
            step();
            EXPECT_EQ(gameState, left ? STATE_PLAYING : STATE_GAME_OVER) << when << left;
            EXPECT_EQ(level, left && (when == LOSS_FIRST || when == LOSS_SAME_PASS) ? 2 : 1)
                << when << left;
            EXPECT_EQ(ship()->active, left == 1) << when << left;
            EXPECT_EQ(rocksLeft, left ? 12 : when == MID_LEVEL ? 4 : 0) << when << left;
            if (left) {  // every attempt starts at rest, shielded, with the plain shot
                EXPECT_EQ(std::tuple(shipVelocityX, shipVelocityY, shieldsUp && shieldSprite->active,
                                     piercingShots, spreadShot, shotSlots, shotSpeed, shotRange,
                                     shotSprites[0]->flags),
                          std::tuple(0.0f, 0.0f, true, false, false, 1, 6.0f, 160.0f, SPRITE_WRAP));
                continue;
            }
            EXPECT_EQ(readTextFile(settings), "[registry]\nhiscore = " + std::to_string(score) + "\n")
                << when;
            // The game-over message, and the best score shown is the new one: 0000400.
            EXPECT_TRUE(messageSprite->active && messageSprite->frame == 0 &&
                        highScoreDigits[4]->frame == 4);
            step(150);
            EXPECT_EQ(gameState, STATE_GAME_OVER);
            step();
            // The next game starts on an empty field.
            EXPECT_TRUE(gameState == STATE_MENU && !driftingScenery->active && !shipExplosion->active);
        }
    }
}

TEST_F(Collisions, ScoreDigitsExtraShipsAndTheHighScoreNotice) {
    const struct { int32_t score; const char* shown; } rows[] = {
        {400, "0000400"}, {1234500, "1234500"}, {12345678, "2345678"}};
    for (const auto& row : rows) {
        score = row.score;
        updateScoreDigits();
        for (int k = 0; k < DIGITS; ++k)
            EXPECT_EQ(scoreDigits[k]->frame, row.shown[k] - '0') << row.shown;
    }

    // An extra ship only above the threshold, at most nine in reserve.
    score = 24900;
    awardPoints(100);
    EXPECT_EQ(lives, 3);
    awardPoints(100);
    EXPECT_EQ(lives, 4);
    lives = 9;
    awardPoints(25000);
    EXPECT_EQ(lives, 9);
    EXPECT_EQ(nextExtraLifeScore, 75000);

    // Equalling the best score is not beating it; the notice comes once.
    score = 34900;
    newHighScore = false;
    awardPoints(100);
    EXPECT_FALSE(newHighScore);
    awardPoints(100);
    EXPECT_TRUE(newHighScore);
    EXPECT_TRUE(played(EFFECT_HIGH_SCORE));
    EXPECT_FALSE(levelLabel->active || levelDigits[0]->active);  // the notice takes its place
    EXPECT_EQ(highScoreMessageTimer, 50);
    awardPoints(400);
    EXPECT_FALSE(played(EFFECT_HIGH_SCORE));
}

} // namespace
