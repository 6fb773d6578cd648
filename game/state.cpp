// The per-frame world step: the sub-steps in their fixed order, then the
// timers of the current state and the timed transitions, then the drawing.
#include "game/game.h"
#include "game/world.h"
#include "settings/settings.h"

namespace {

constexpr int32_t GAME_OVER_FRAMES = 300;   // counted down twice per frame
constexpr int32_t MESSAGE_GAME_OVER = 0;    // frame of messageSprite

void enterGameOver() {
    gameState = STATE_GAME_OVER;
    messageSprite->setFrame(MESSAGE_GAME_OVER);
    messageSprite->active = true;
    gameOverTimer = GAME_OVER_FRAMES;
    // A beaten best score is committed only now, at the end of the game.
    if (newHighScore) {
        highScore = score;
        saveHighScore();
        updateHighScoreDigits();
    }
}

} // namespace

void updateGame() {
    updatePowerUps();
    updateMotion();
    detectCollisions();

    // The state is read again: the collisions may have changed it.
    switch (gameState) {
    case STATE_SHIP_LOST:
        if (respawnDelay != 0) {
            --respawnDelay;
        } else if (lives >= 0) {
            // The level is played again from scratch, unless the pass that
            // lost the ship also took the level's last target.
            if (respawnOnNextLevel) ++level;
            setupLevel();
        } else {
            enterGameOver();
        }
        break;
    case STATE_GAME_OVER:
        if (gameOverTimer != 0) {
            --gameOverTimer;
        } else {
            clearPlayfield();
            gameState = STATE_MENU;
        }
        break;
    case STATE_LEVEL_CLEARED:
        if (levelEndTimer != 0)
            --levelEndTimer;
        else
            gameState = STATE_NEXT_LEVEL;
        break;
    case STATE_NEXT_LEVEL:
        if (levelEndTimer != 0) {
            --levelEndTimer;
        } else {
            gameState = STATE_PLAYING;
            ++level;
            setupLevel();
        }
        break;
    default:
        // Playing, and any other state that gets here: the high-score notice
        // stays up for its timer and goes on the first frame that finds it at 0.
        if (highScoreMessageTimer != 0)
            --highScoreMessageTimer;
        else
            messageSprite->active = false;
        break;
    }

    drawWorld();
}
