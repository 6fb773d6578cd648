// The per-frame world step and its timed state transitions.
#include "game/game.h"
void updateGame() {}
