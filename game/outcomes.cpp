// What each contact does: rocks break along their family tree, explosions
// start, points are awarded, the carrier hands over its power-up, the boss
// wears down, the ship is lost and the level ends.
//
// Family tree: big rock i breaks into medium rocks i and i + 3; medium rock i
// into small rocks i and i + 6. Pieces keep the course the level set-up gave
// them and are only switched on and placed here.
#include "audio/audio.h"
#include "game/game.h"
#include "game/world.h"

namespace {

constexpr int32_t POINTS_BIG_ROCK = 100;
constexpr int32_t POINTS_MEDIUM_ROCK = 200;
constexpr int32_t POINTS_SMALL_ROCK = 400;
constexpr int32_t POINTS_CARRIER = 500;
constexpr int32_t POINTS_BOSS = 1500;

constexpr int32_t LEVEL_END_FRAMES = 50;        // frames of the level-cleared pause
constexpr int32_t RESPAWN_FRAMES = 100;         // frames before the level is replayed

// Piece placement inside the broken rock, pixels from its corner.
constexpr float MEDIUM_PIECE_LEFT_X = 32.0f;
constexpr float MEDIUM_PIECE_RIGHT_X = 80.0f;
constexpr float MEDIUM_PIECE_Y = 16.0f;
constexpr float SMALL_PIECE_OFFSET = 8.0f;      // both pieces start at the centre
constexpr float BLAST_OFFSET = 16.0f;           // a 64-pixel blast centred on a 32-pixel object
constexpr float BOSS_FLASH_OFFSET = 16.0f;      // a 32-pixel flash centred on the 64-pixel boss

void useShot(int32_t j) {
    if (!piercingShots) shotSprites[j]->active = false;
}

void startAt(Sprite* s, float x, float y, float vx, float vy) {
    s->active = true;
    s->x = x;
    s->y = y;
    s->vx = vx;
    s->vy = vy;
}

} // namespace

// A loss is never undone: when the pass that takes the last target has lost
// the ship too (in either order), the game stays in the loss, and the ship
// comes back on the next level (see detectCollisions) or the game ends.
void levelCleared() {
    if (gameState == STATE_SHIP_LOST) return;
    gameState = STATE_LEVEL_CLEARED;
    levelEndTimer = LEVEL_END_FRAMES;
}

void bigRockHit(int32_t i, int32_t j) {
    useShot(j);
    awardPoints(POINTS_BIG_ROCK);
    Sprite* big = bigRocks[i];
    startAt(bigRockExplosions[i], big->x, big->y, big->vx, big->vy);
    playEffect(EFFECT_BIG_ROCK);
    big->active = false;
    Sprite* left = mediumRocks[i];
    Sprite* right = mediumRocks[i + BIG_ROCKS];
    left->active = true;
    right->active = true;
    left->x = big->x + MEDIUM_PIECE_LEFT_X;
    left->y = big->y + MEDIUM_PIECE_Y;
    right->x = big->x + MEDIUM_PIECE_RIGHT_X;
    right->y = big->y + MEDIUM_PIECE_Y;
}

void mediumRockHit(int32_t i, int32_t j) {
    useShot(j);
    awardPoints(POINTS_MEDIUM_ROCK);
    Sprite* medium = mediumRocks[i];
    Sprite* first = smallRocks[i];
    Sprite* second = smallRocks[i + MEDIUM_ROCKS];
    medium->active = false;
    first->active = true;
    startAt(mediumRockExplosions[i], medium->x - BLAST_OFFSET, medium->y - BLAST_OFFSET,
            medium->vx, medium->vy);
    playEffect(EFFECT_MEDIUM_ROCK);
    second->active = true;
    first->x = second->x = medium->x + SMALL_PIECE_OFFSET;
    first->y = second->y = medium->y + SMALL_PIECE_OFFSET;
}

void smallRockHit(int32_t i, int32_t j) {
    useShot(j);
    awardPoints(POINTS_SMALL_ROCK);
    smallRocks[i]->active = false;
    playEffect(EFFECT_SMALL_ROCK);
    --rocksLeft;
    // A boss that has arrived must be destroyed too; one still to come does not count.
    if (rocksLeft == 0 && !boss.bossAlive) levelCleared();
}

void carrierHit(int32_t j) {
    shotSprites[j]->active = false;  // even a piercing shot stops here
    awardPoints(POINTS_CARRIER);
    bonusCarrier->active = false;
    playEffect(EFFECT_CARRIER_HIT);
    startAt(carrierExplosion, bonusCarrier->x - BLAST_OFFSET, bonusCarrier->y - BLAST_OFFSET,
            bonusCarrier->vx, bonusCarrier->vy);

    const PowerUpEntry& e = powerUpTable[powerUpIndex];
    powerUpIcon->setFrame(e.iconFrame);
    powerUpIcon->active = true;
    powerUpIconBlink = POWER_UP_ICON_BLINK;
    grantPowerUp(e.kind);
    powerUpEndFrame = levelFrames + e.duration;
    // The next carrier waits for this power-up to run out, then its own delay.
    const PowerUpEntry& next = powerUpTable[powerUpIndex <= POWER_UP_ENTRIES - 2 ? powerUpIndex + 1 : 0];
    nextCarrierFrame = levelFrames + next.appearDelay + e.duration;
    powerUpRunning = true;
    carrierFlying = false;
}

void bossHit(int32_t j) {
    useShot(j);
    if (boss.bossHitPoints > 0) {
        playEffect(EFFECT_BOSS_HIT);
        startAt(bossHitFlash, bossShip->x + BOSS_FLASH_OFFSET, bossShip->y + BOSS_FLASH_OFFSET,
                bossShip->vx, bossShip->vy);
        --boss.bossHitPoints;
        return;
    }
    bossShip->active = false;
    boss.bossAlive = false;
    startAt(bossExplosion, bossShip->x, bossShip->y, bossShip->vx, bossShip->vy);
    awardPoints(POINTS_BOSS);
    playEffect(EFFECT_BOSS_DESTROYED);
    if (rocksLeft == 0) levelCleared();
}

void shipLost() {
    Sprite* ship = shipSprites[shipDirection];
    ship->active = false;
    gameState = STATE_SHIP_LOST;
    --lives;
    respawnDelay = gameAbandoned ? 0 : RESPAWN_FRAMES;
    playEffect(EFFECT_SHIP_LOST);
    startAt(shipExplosion, ship->x - BLAST_OFFSET, ship->y - BLAST_OFFSET, ship->vx, ship->vy);

    shipDirection = 0;
    shipVelocityX = 0.0f;
    previousShipDirection = -1;
    shipVelocityY = 0.0f;

    Sprite* start = shipSprites[0];
    start->x = SHIP_START_X;
    start->y = SHIP_START_Y;
    start->vx = start->vy = 0.0f;
}
