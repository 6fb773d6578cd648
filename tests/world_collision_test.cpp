// Contacts and their outcomes: test boxes, tie-breaks, the rock family tree,
// the carrier and the boss, the lost ship, and the score rules they drive.
#include <cmath>

#include "support/world_fixture.h"

namespace {

using Collisions = WorldTest;

TEST_F(Collisions, BoxesAreClosedShrunkByMarginsAndTruncatedTowardZero) {
    Sprite* s = shipSprites[0];
    Sprite* rock = smallRocks[0];
    place(s, 100.9f, 200.0f);
    place(rock, 123.0f, 205.0f);  // ship box ends at column 124, rock box starts there
    EXPECT_TRUE(spritesOverlap(s, rock, 8, 1));
    rock->x = 124.0f;
    EXPECT_FALSE(spritesOverlap(s, rock, 8, 1));
    rock->x = 92.0f;  // rock box ends at column 107, ship box starts at 108
    EXPECT_FALSE(spritesOverlap(s, rock, 8, 1));
    rock->x = 93.0f;
    EXPECT_TRUE(spritesOverlap(s, rock, 8, 1));

    // -0.5 truncates to column 0, so the 16-wide box (0..16) touches one at 16.
    Sprite* other = smallRocks[1];
    place(rock, -0.5f, 0.0f);
    place(other, 16.0f, 0.0f);
    EXPECT_TRUE(spritesOverlap(rock, other, 0, 0));
    rock->x = -1.5f;
    EXPECT_FALSE(spritesOverlap(rock, other, 0, 0));

    // Bottom edge of one box on the top edge of the other counts as well.
    place(rock, 50.0f, 50.0f);
    place(other, 50.0f, 66.0f);
    EXPECT_TRUE(spritesOverlap(rock, other, 0, 0));
    other->y = 67.0f;
    EXPECT_FALSE(spritesOverlap(rock, other, 0, 0));
}

TEST_F(Collisions, ShotTouchingASmallRockAtOneCornerBreaksIt) {
    emptyField();
    place(smallRocks[3], 60.0f, 60.0f);
    place(shotSprites[0], 56.0f, 56.0f);  // shot box 59..61 meets rock box 61..75 at (61, 61)
    detectCollisions();
    EXPECT_FALSE(smallRocks[3]->active);
    EXPECT_EQ(rocksLeft, 11);
    EXPECT_EQ(score, 400);

    place(smallRocks[4], 60.0f, 60.0f);
    place(shotSprites[0], 55.0f, 56.0f);  // one column short
    detectCollisions();
    EXPECT_TRUE(smallRocks[4]->active);
}

TEST_F(Collisions, ShipIsLostUnlessShieldedAndOnlyOncePerPass) {
    emptyField();
    place(shipSprites[0], 100.9f, 200.0f);
    place(smallRocks[0], 123.0f, 205.0f);
    detectCollisions();  // the level starts shielded
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_EQ(lives, 3);

    // Shielded, nothing is touched: the carrier and the boss shot fly on.
    place(bonusCarrier, 100.0f, 200.0f);
    place(bossShot, 110.0f, 210.0f);
    place(bossShip, 90.0f, 190.0f);
    detectCollisions();
    EXPECT_TRUE(bonusCarrier->active);
    EXPECT_TRUE(bossShot->active);
    EXPECT_EQ(lives, 3);

    // Unshielded: a big rock under heading 5 and a small rock on the respawn
    // point, plus the carrier, shot and boss: one life, nothing else rammed.
    dropShield();
    bonusCarrier->active = bossShot->active = bossShip->active = false;
    shipSprites[0]->active = false;
    shipDirection = 5;
    place(shipSprites[5], 60.0f, 40.0f, 1.5f, -0.5f);
    place(bigRocks[0], 40.0f, 20.0f);
    place(smallRocks[2], 112.0f, 152.0f);
    place(bonusCarrier, 104.0f, 144.0f, 0.6f, 0.0f);
    place(bossShot, 114.0f, 154.0f);
    forgetEffects();
    detectCollisions();
    EXPECT_EQ(gameState, STATE_SHIP_LOST);
    EXPECT_EQ(lives, 2);
    EXPECT_TRUE(bonusCarrier->active);
    EXPECT_TRUE(bossShot->active);
    EXPECT_FALSE(played(EFFECT_CARRIER_RAMMED));
    // The explosion is centred on the lost ship and drifts its way.
    EXPECT_TRUE(shipExplosion->active);
    EXPECT_FLOAT_EQ(shipExplosion->x, 44.0f);
    EXPECT_FLOAT_EQ(shipExplosion->y, 24.0f);
    EXPECT_EQ(shipDirection, 0);

    // Once the ship is lost, passes test nothing until the level is set up.
    place(shotSprites[0], 112.0f, 152.0f);
    detectCollisions();
    EXPECT_TRUE(smallRocks[2]->active);
    EXPECT_EQ(lives, 2);
}

TEST_F(Collisions, RammingTheCarrierExplodesItWithoutPoints) {
    emptyField();
    dropShield();
    place(ship(), 100.0f, 100.0f);
    place(bonusCarrier, 100.0f, 100.0f, 0.575f, 0.0f);
    forgetEffects();
    detectCollisions();
    EXPECT_TRUE(played(EFFECT_CARRIER_RAMMED));
    EXPECT_FALSE(bonusCarrier->active);
    EXPECT_TRUE(carrierExplosion->active);
    EXPECT_FLOAT_EQ(carrierExplosion->x, 84.0f);
    EXPECT_FLOAT_EQ(carrierExplosion->y, 84.0f);
    EXPECT_EQ(score, 0);
    EXPECT_EQ(lives, 2);
}

TEST_F(Collisions, TieBreaksBetweenShotsAndTargets) {
    // Two shots on one small rock: the lower slot breaks it, the other flies on.
    emptyField();
    place(smallRocks[5], 100.0f, 100.0f);
    place(shotSprites[1], 100.0f, 100.0f);
    place(shotSprites[3], 102.0f, 102.0f);
    detectCollisions();
    EXPECT_FALSE(smallRocks[5]->active);
    EXPECT_FALSE(shotSprites[1]->active);
    EXPECT_TRUE(shotSprites[3]->active);
    EXPECT_EQ(score, 400);
    EXPECT_EQ(rocksLeft, 11);

    // A shot over a big rock and a small rock breaks the big one and is used up.
    shotSprites[3]->active = false;
    place(bigRocks[0], 50.0f, 100.0f);
    place(smallRocks[0], 100.0f, 130.0f);
    place(shotSprites[0], 100.0f, 130.0f);
    detectCollisions();
    EXPECT_FALSE(bigRocks[0]->active);
    EXPECT_TRUE(smallRocks[0]->active);
    EXPECT_FALSE(shotSprites[0]->active);
    EXPECT_EQ(score, 500);
}

TEST_F(Collisions, PiercingShotGoesOnIntoTheFreshPiecesOfTheSamePass) {
    emptyField();
    piercingShots = true;
    place(bigRocks[0], 50.0f, 100.0f);
    place(shotSprites[0], 90.0f, 125.0f);  // inside the big rock and its left medium piece
    detectCollisions();
    EXPECT_FALSE(bigRocks[0]->active);
    EXPECT_FALSE(mediumRocks[0]->active);
    EXPECT_TRUE(mediumRocks[3]->active);
    // The two small pieces start at the medium rock's centre, under the shot too.
    EXPECT_FALSE(smallRocks[0]->active);
    EXPECT_FALSE(smallRocks[6]->active);
    EXPECT_TRUE(shotSprites[0]->active);
    EXPECT_EQ(score, 100 + 200 + 400 + 400);
    EXPECT_EQ(rocksLeft, 10);

    // A piercing shot is still used up by the carrier.
    powerUpIndex = 0;
    place(bonusCarrier, 200.0f, 200.0f);
    place(shotSprites[2], 210.0f, 210.0f);
    detectCollisions();
    EXPECT_FALSE(shotSprites[2]->active);
    EXPECT_FALSE(bonusCarrier->active);
}

TEST_F(Collisions, RocksBreakAlongTheFamilyTree) {
    emptyField();
    place(bigRocks[1], 50.0f, 100.0f, 0.25f, -0.3f);
    forgetEffects();
    bigRockHit(1, 0);
    EXPECT_EQ(score, 100);
    EXPECT_TRUE(played(EFFECT_BIG_ROCK));
    EXPECT_TRUE(bigRockExplosions[1]->active);
    EXPECT_FLOAT_EQ(bigRockExplosions[1]->x, 50.0f);
    EXPECT_FLOAT_EQ(bigRockExplosions[1]->y, 100.0f);
    EXPECT_TRUE(mediumRocks[1]->active);
    EXPECT_TRUE(mediumRocks[4]->active);
    EXPECT_FLOAT_EQ(mediumRocks[1]->x, 82.0f);
    EXPECT_FLOAT_EQ(mediumRocks[1]->y, 116.0f);
    EXPECT_FLOAT_EQ(mediumRocks[4]->x, 130.0f);
    EXPECT_FLOAT_EQ(mediumRocks[4]->y, 116.0f);

    mediumRockHit(4, 0);
    EXPECT_EQ(score, 300);
    EXPECT_TRUE(mediumRockExplosions[4]->active);
    EXPECT_FLOAT_EQ(mediumRockExplosions[4]->x, 114.0f);
    EXPECT_FLOAT_EQ(mediumRockExplosions[4]->y, 100.0f);
    for (int i : {4, 10}) {
        EXPECT_TRUE(smallRocks[i]->active);
        EXPECT_FLOAT_EQ(smallRocks[i]->x, 138.0f);
        EXPECT_FLOAT_EQ(smallRocks[i]->y, 124.0f);
    }
}

TEST_F(Collisions, LevelEndsWithTheLastRockOrWithTheBossThatIsAlive) {
    emptyField();
    rocksLeft = 1;
    smallRockHit(0, 0);  // boss not yet arrived: cleared at once
    EXPECT_EQ(gameState, STATE_LEVEL_CLEARED);
    EXPECT_EQ(levelEndTimer, 50);

    setupLevel();
    emptyField();
    rocksLeft = 1;
    boss.bossAlive = true;
    boss.bossHitPoints = 2;
    place(bossShip, 100.0f, 100.0f, 0.36f, -0.36f);
    smallRockHit(0, 0);
    EXPECT_EQ(gameState, STATE_PLAYING);
    EXPECT_EQ(rocksLeft, 0);

    // The destroying hit on the boss then clears the level.
    boss.bossHitPoints = 0;
    bossHit(0);
    EXPECT_EQ(gameState, STATE_LEVEL_CLEARED);
}

TEST_F(Collisions, CarrierHitSchedulesTheNextCarrierAfterThePowerUp) {
    for (int k = 0; k < POWER_UP_ENTRIES; ++k) powerUpTable[k].appearDelay = 100 + k;
    levelFrames = 300;
    powerUpIndex = 3;
    place(bonusCarrier, 40.0f, 60.0f);
    carrierHit(0);
    EXPECT_EQ(powerUpEndFrame, 900);
    EXPECT_EQ(nextCarrierFrame, 300 + 104 + 600);
    powerUpIndex = 9;  // after the last entry comes entry 0
    carrierHit(1);
    EXPECT_EQ(nextCarrierFrame, 300 + 100 + 600);
}

TEST_F(Collisions, ScoreDigitsExtraShipsAndTheHighScoreNotice) {
    score = 400;
    updateScoreDigits();
    for (int k = 0; k < DIGITS; ++k) EXPECT_EQ(scoreDigits[k]->frame, "0000400"[k] - '0');
    score = 1234500;
    updateScoreDigits();
    for (int k = 0; k < DIGITS; ++k) EXPECT_EQ(scoreDigits[k]->frame, "1234500"[k] - '0');
    score = 12345678;  // eight digits: the seven lowest are shown
    updateScoreDigits();
    for (int k = 0; k < DIGITS; ++k) EXPECT_EQ(scoreDigits[k]->frame, "2345678"[k] - '0');

    // Extra ship only above the threshold, at most nine in reserve.
    score = 24900;
    awardPoints(100);
    EXPECT_EQ(lives, 3);
    EXPECT_EQ(nextExtraLifeScore, 25000);
    awardPoints(100);
    EXPECT_EQ(lives, 4);
    EXPECT_EQ(nextExtraLifeScore, 50000);
    lives = 9;
    awardPoints(25000);
    EXPECT_EQ(lives, 9);
    EXPECT_EQ(nextExtraLifeScore, 75000);

    // Beating the best score: equal is not enough; the notice comes once.
    highScore = 35000;
    newHighScore = false;
    score = 34900;
    nextExtraLifeScore = 1000000;
    awardPoints(100);
    EXPECT_FALSE(newHighScore);
    levelLabel->active = levelDigits[0]->active = true;
    forgetEffects();
    awardPoints(100);
    EXPECT_TRUE(newHighScore);
    EXPECT_TRUE(played(EFFECT_HIGH_SCORE));
    EXPECT_TRUE(messageSprite->active);
    EXPECT_EQ(highScoreMessageTimer, 50);
    EXPECT_FALSE(levelLabel->active);
    EXPECT_FALSE(levelDigits[0]->active);
    highScoreMessageTimer = 0;
    awardPoints(400);
    EXPECT_FALSE(played(EFFECT_HIGH_SCORE));
    EXPECT_EQ(highScoreMessageTimer, 0);
}

TEST_F(Collisions, LevelSetUpRandomisesTheFieldAndResetsWeapons) {
    EXPECT_EQ(levelDigits[0]->frame, 1);
    EXPECT_FALSE(levelDigits[1]->active);
    for (Sprite* s : bigRocks) {
        EXPECT_LE(s->x, 106.0f);
        EXPECT_LE(s->y, 250.0f);
        EXPECT_NEAR(std::hypot(s->vx, s->vy), 0.4, 1e-5);
    }

    // Many set-ups: no rock ever moves along an axis; the field changes.
    const float firstX = bigRocks[0]->x;
    bool changed = false;
    for (int n = 0; n < 200; ++n) {
        setupLevel();
        changed |= bigRocks[0]->x != firstX;
        for (Sprite* s : smallRocks) EXPECT_NE(s->angle % 90, 0);
    }
    EXPECT_TRUE(changed);

    // Level 10: both digits, faster rocks, scenery; the replay resets weapons.
    level = 10;
    shotSlots = 5;
    shotRange = 260.0f;
    piercingShots = true;
    setupLevel();
    EXPECT_TRUE(levelDigits[1]->active);
    EXPECT_EQ(levelDigits[0]->frame, 1);
    EXPECT_EQ(levelDigits[1]->frame, 0);
    EXPECT_FLOAT_EQ(smallRockSpeed, 2.6f);
    EXPECT_EQ(shotSlots, 1);
    EXPECT_FLOAT_EQ(shotRange, 160.0f);
    EXPECT_FALSE(piercingShots);
}

} // namespace
