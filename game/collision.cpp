// Contact tests between the ship, the shots and everything they can meet.
#include "game/game.h"
bool spritesOverlap(const Sprite*, const Sprite*, int32_t, int32_t) { return false; }
void detectCollisions() {}
