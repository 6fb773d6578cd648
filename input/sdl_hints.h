// What every start of SDL in the game asks of it first. SDL is started by
// the audio set-up and by the pad reader, in either order.
#pragma once

// SDL 2 would catch SIGINT and SIGTERM and turn them into events of its own
// that nobody reads; the game's shell handles those signals. Call before any
// SDL_Init or SDL_InitSubSystem.
void keepSignalsFromSdl();
