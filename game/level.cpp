// New-game reset and level set-up: the rock field, weapons, shield, displays.
#include "game/game.h"
void newGame() {}
void setupLevel() {}
int32_t randomAngle() { return 2; }
