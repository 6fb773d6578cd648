// Motion and animation of every active play-field object, one frame at a time:
// rocks, explosions, the ship with its drag and turn steps, the carrier's
// flight, the boss, shots with their range, and two display timers.
#include "game/game.h"
#include "game/world.h"

namespace {

constexpr float SHIP_DRAG = 0.995f;           // velocity kept per frame
constexpr int32_t TURN_STEP_FRAMES = 1;       // a turn happens once turnTimer exceeds this
constexpr int32_t BOSS_SHOT_STEP = 4;         // pixels counted per boss-shot move

inline void moveThenAnimate(Sprite* s) {
    if (!s->active) return;
    s->moveWithinScreen();
    s->nextFrame();
}

inline void animateThenMove(Sprite* s) {
    if (!s->active) return;
    s->nextFrame();
    s->moveWithinScreen();
}

// Hands the ship over from its current heading image to heading `to`.
void turnShipTo(int32_t to, bool carryFrame) {
    Sprite* from = shipSprites[shipDirection];
    from->active = false;
    turnTimer = 0;
    previousShipDirection = shipDirection;
    shipDirection = to;
    Sprite* ship = shipSprites[shipDirection];
    ship->x = from->x;
    ship->y = from->y;
    ship->vx = from->vx;
    ship->vy = from->vy;
    if (carryFrame) ship->setFrame(from->frame);
    ship->active = true;
}

// The carrier's two-frame back-and-forth animation, its move, and the
// scheduling of the next carrier once it has flown off the right edge.
void flyCarrier() {
    if (!bonusCarrier->active) return;
    PowerUpEntry& e = powerUpTable[powerUpIndex];
    if (e.animForward) {
        bonusCarrier->nextFrame();
        if (bonusCarrier->frame == e.iconFrame + 1) e.animForward = false;
    } else {
        bonusCarrier->prevFrame();
        if (bonusCarrier->frame == e.iconFrame) e.animForward = true;
    }
    bonusCarrier->moveWithinScreen();
    if (!bonusCarrier->active) {
        carrierFlying = false;
        nextCarrierFrame = levelFrames + e.appearDelay;
    }
}

} // namespace

void moveShip() {
    shipVelocityX *= SHIP_DRAG;
    shipVelocityY *= SHIP_DRAG;

    if (turningLeft) {
        if (turnTimer > TURN_STEP_FRAMES)
            turnShipTo(shipDirection == 0 ? SHIP_HEADINGS - 1 : shipDirection - 1, true);
        else
            ++turnTimer;
    }
    // A right turn shows the new heading image at whatever frame it last had.
    if (turningRight) {
        if (turnTimer > TURN_STEP_FRAMES)
            turnShipTo(shipDirection == SHIP_HEADINGS - 1 ? 0 : shipDirection + 1, false);
        else
            ++turnTimer;
    }

    Sprite* ship = shipSprites[shipDirection];
    ship->vx = shipVelocityX;
    ship->vy = shipVelocityY;
    ship->moveWithinScreen();

    shieldSprite->x = ship->x;
    shieldSprite->y = ship->y;
}

void updateMotion() {
    for (Sprite* s : bigRocks) moveThenAnimate(s);
    for (Sprite* s : bigRockExplosions) moveThenAnimate(s);
    for (Sprite* s : mediumRocks) moveThenAnimate(s);
    for (Sprite* s : mediumRockExplosions) moveThenAnimate(s);
    for (Sprite* s : smallRocks) moveThenAnimate(s);

    // The exhaust runs while thrust is held and then plays on to frame 0.
    if (shipSprites[shipDirection]->active) {
        moveShip();
        Sprite* ship = shipSprites[shipDirection];
        if (ship->frame > 0) ship->nextFrame();
        if (thrusting) ship->nextFrame();
    }

    if (livesDigit->active) livesDigit->setFrame(lives);

    flyCarrier();

    animateThenMove(bossWarp);
    if (bossShip->active) {
        bossShip->nextFrame();
        bossShip->move(boss.bossBoxTop, boss.bossBoxLeft, boss.bossBoxBottom, boss.bossBoxRight);
    }
    if (bossShot->active) {
        if (boss.bossShotTravel > boss.bossShotRange) {
            bossShot->active = false;
        } else {
            bossShot->nextFrame();
            bossShot->moveWithinScreen();
            boss.bossShotTravel += BOSS_SHOT_STEP;
        }
    }

    animateThenMove(shipExplosion);
    animateThenMove(bossExplosion);
    if (driftingScenery->active) driftingScenery->moveWithinScreen();
    animateThenMove(carrierExplosion);
    animateThenMove(bossHitFlash);
    animateThenMove(shieldSprite);

    if (levelBannerTimer != 0) --levelBannerTimer;
    if (gameOverTimer != 0) --gameOverTimer;

    // A shot's distance is counted in steps of the shot speed, whatever its
    // real path (a bouncing shot counts the same).
    for (int j = 0; j < SHOT_SLOTS; ++j) {
        Sprite* s = shotSprites[j];
        if (!s->active) continue;
        if (shotDistance[j] > shotRange) {
            s->active = false;
        } else {
            s->moveWithinScreen();
            s->nextFrame();
            shotDistance[j] += shotSpeed;
        }
    }
}
