// SDL hints the whole game relies on, whichever part starts SDL first.
#include "input/sdl_hints.h"

#include <SDL.h>

void keepSignalsFromSdl() {
    // Above any player setting: a stolen SIGTERM would leave the game running.
    SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
}
