// Score, extra ships, the new-high-score notice, the digit displays, and the
// clearing of the play field when a game has ended.
#include <cstdio>
#include <cstring>

#include "audio/audio.h"
#include "game/game.h"
#include "game/world.h"

namespace {

constexpr int32_t MAX_LIVES = 9;               // the lives display has one digit
constexpr int32_t HIGH_SCORE_MESSAGE_FRAMES = 50;
constexpr int32_t MESSAGE_NEW_HIGH_SCORE = 2;  // frame of messageSprite

// Shows `value` in a row of seven digit sprites, most significant digit first.
// A value of eight or more digits shows its seven lowest digits, as a rolled-
// over counter would.
void showDigits(int32_t value, Sprite* const* digits) {
    char text[16];  // room for any int32 in "%07d"
    const int length = std::snprintf(text, sizeof text, "%07d", value);
    const char* shown = text + (length > DIGITS ? length - DIGITS : 0);
    for (int k = 0; k < DIGITS; ++k) digits[k]->setFrame(shown[k] - '0');
}

} // namespace

void awardPoints(int32_t points) {
    score += points;
    if (score > nextExtraLifeScore) {
        nextExtraLifeScore += EXTRA_LIFE_STEP;
        if (lives < MAX_LIVES) ++lives;
    }
    // The stored best score is only replaced when the game is over.
    if (score > highScore && !newHighScore) {
        newHighScore = true;
        highScoreMessageTimer = HIGH_SCORE_MESSAGE_FRAMES;
        messageSprite->setFrame(MESSAGE_NEW_HIGH_SCORE);
        messageSprite->active = true;
        levelLabel->active = false;
        levelDigits[0]->active = false;
        levelDigits[1]->active = false;
        playEffect(EFFECT_HIGH_SCORE);
    }
}

void updateScoreDigits() { showDigits(score, scoreDigits); }

void updateHighScoreDigits() { showDigits(highScore, highScoreDigits); }

void clearPlayfield() {
    // Rock explosions and the carrier explosion end by themselves; the menu
    // sprites belong to the menus. No counter changes here.
    for (Sprite* s : shipSprites) s->active = false;
    bonusCarrier->active = false;
    powerUpIcon->active = false;
    bossShip->active = false;
    for (Sprite* s : shotSprites) s->active = false;
    bossShot->active = false;
    for (Sprite* s : scoreDigits) s->active = false;
    for (Sprite* s : highScoreDigits) s->active = false;
    for (Sprite* s : levelDigits) s->active = false;
    levelLabel->active = false;
    messageSprite->active = false;
    livesDigit->active = false;
    livesIcon->active = false;
    shipExplosion->active = false;
    bossExplosion->active = false;
    bossHitFlash->active = false;
    shieldSprite->active = false;
    driftingScenery->active = false;
    bossWarp->active = false;
    for (Sprite* s : bigRocks) s->active = false;
    for (Sprite* s : mediumRocks) s->active = false;
    for (Sprite* s : smallRocks) s->active = false;
}
