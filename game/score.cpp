// Score, extra ships, the high-score notice and the digit displays.
#include "game/game.h"
void awardPoints(int32_t) {}
void updateScoreDigits() {}
void updateHighScoreDigits() {}
void clearPlayfield() {}
