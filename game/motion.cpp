// Motion and animation of every active play-field object, one frame at a time.
#include "game/game.h"
void updateMotion() {}
void moveShip() {}
