// Contact tests between the ship, the shots and everything they can meet.
// The order of the tests is the tie-break between simultaneous contacts.
#include "audio/audio.h"
#include "game/game.h"
#include "game/world.h"

namespace {

// Margins (pixels) by which each object's test box is shrunk, per pair.
constexpr int32_t SHIP_MARGIN = 8;
constexpr int32_t SHIP_MARGIN_VS_BOSS_SHOT = 6;
constexpr int32_t SHOT_MARGIN = 3;
constexpr int32_t BIG_ROCK_MARGIN_VS_SHIP = 6;
constexpr int32_t BIG_ROCK_MARGIN_VS_SHOT = 16;
constexpr int32_t MEDIUM_ROCK_MARGIN = 4;
constexpr int32_t SMALL_ROCK_MARGIN = 1;
constexpr int32_t CARRIER_MARGIN = 8;
constexpr int32_t BOSS_SHOT_MARGIN = 3;
constexpr int32_t BOSS_MARGIN_VS_SHIP = 15;
constexpr int32_t BOSS_MARGIN_VS_SHOT = 16;

constexpr float EXPLOSION_OFFSET = 16.0f;  // pixels: a 64-pixel blast centred on a 32-pixel object

// The state of one pass: after the first loss the remaining ship tests of the
// pass are skipped.
bool shipGone;

Sprite* ship() { return shipSprites[shipDirection]; }

// True when the ship meets `target` this pass and nothing protects it.
bool shipMeets(const Sprite* target, int32_t shipMargin, int32_t targetMargin) {
    if (shipGone || shieldSprite->active) return false;
    return spritesOverlap(ship(), target, shipMargin, targetMargin);
}

void loseShip() {
    shipGone = true;
    shipLost();
}

// Tests every active shot against `target` while the target is still active,
// calling `hit(j)` for each contact.
template <typename Hit>
void shotsAgainst(const Sprite* target, int32_t targetMargin, Hit hit) {
    for (int j = 0; j < SHOT_SLOTS; ++j) {
        if (!shotSprites[j]->active || !target->active) continue;
        if (spritesOverlap(shotSprites[j], target, SHOT_MARGIN, targetMargin)) hit(j);
    }
}

} // namespace

bool spritesOverlap(const Sprite* a, const Sprite* b, int32_t marginA, int32_t marginB) {
    // Positions are truncated toward zero; all four edges belong to the box.
    const int32_t ax = int32_t(a->x), ay = int32_t(a->y);
    const int32_t bx = int32_t(b->x), by = int32_t(b->y);
    const int32_t leftA = ax + marginA, rightA = ax + a->width - marginA;
    const int32_t topA = ay + marginA, bottomA = ay + a->height - marginA;
    const int32_t leftB = bx + marginB, rightB = bx + b->width - marginB;
    const int32_t topB = by + marginB, bottomB = by + b->height - marginB;
    const int32_t left = leftA > leftB ? leftA : leftB;
    const int32_t right = rightA < rightB ? rightA : rightB;
    const int32_t top = topA > topB ? topA : topB;
    const int32_t bottom = bottomA < bottomB ? bottomA : bottomB;
    return left <= right && top <= bottom;
}

void detectCollisions() {
    if (gameState == STATE_SHIP_LOST || gameState == STATE_GAME_OVER) return;
    const GameState passBegan = gameState;
    shipGone = false;

    for (int i = 0; i < BIG_ROCKS; ++i) {
        Sprite* rock = bigRocks[i];
        if (!rock->active) continue;
        if (shipMeets(rock, SHIP_MARGIN, BIG_ROCK_MARGIN_VS_SHIP)) loseShip();
        shotsAgainst(rock, BIG_ROCK_MARGIN_VS_SHOT, [i](int j) { bigRockHit(i, j); });
    }
    // Pieces switched on by a break above are tested in their own step below.
    for (int i = 0; i < MEDIUM_ROCKS; ++i) {
        Sprite* rock = mediumRocks[i];
        if (!rock->active) continue;
        if (shipMeets(rock, SHIP_MARGIN, MEDIUM_ROCK_MARGIN)) loseShip();
        shotsAgainst(rock, MEDIUM_ROCK_MARGIN, [i](int j) { mediumRockHit(i, j); });
    }
    for (int i = 0; i < SMALL_ROCKS; ++i) {
        Sprite* rock = smallRocks[i];
        if (!rock->active) continue;
        if (shipMeets(rock, SHIP_MARGIN, SMALL_ROCK_MARGIN)) loseShip();
        shotsAgainst(rock, SMALL_ROCK_MARGIN, [i](int j) { smallRockHit(i, j); });
    }

    if (bonusCarrier->active) {
        // Ramming the carrier destroys it without points and costs the ship.
        if (shipMeets(bonusCarrier, SHIP_MARGIN, CARRIER_MARGIN)) {
            playEffect(EFFECT_CARRIER_RAMMED);
            bonusCarrier->active = false;
            carrierExplosion->active = true;
            carrierExplosion->x = bonusCarrier->x - EXPLOSION_OFFSET;
            carrierExplosion->y = bonusCarrier->y - EXPLOSION_OFFSET;
            carrierExplosion->vx = bonusCarrier->vx;
            carrierExplosion->vy = bonusCarrier->vy;
            loseShip();
        }
        shotsAgainst(bonusCarrier, CARRIER_MARGIN, [](int j) { carrierHit(j); });
    }

    if (bossShot->active && shipMeets(bossShot, SHIP_MARGIN_VS_BOSS_SHOT, BOSS_SHOT_MARGIN)) {
        bossShot->active = false;
        loseShip();
    }

    if (bossShip->active) {
        if (shipMeets(bossShip, SHIP_MARGIN, BOSS_MARGIN_VS_SHIP)) loseShip();
        shotsAgainst(bossShip, BOSS_MARGIN_VS_SHOT, [](int j) { bossHit(j); });
    }

    // A ship lost in the pass that takes the level's last target comes back on
    // the next level; one lost later, during the level-end pause, replays the
    // level it has just cleared.
    if (shipGone)
        respawnOnNextLevel = passBegan == STATE_PLAYING && rocksLeft == 0 && !boss.bossAlive;
}
