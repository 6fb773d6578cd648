// Drawing of the play field and the shield energy bar.
#include "game/game.h"
void drawWorld() {}
void updateShieldBar() {}
