// The input seam: the one door through which everything the game reacts to
// reaches it, in the order the game sees it. Keys (as the window delivers
// them, after its own filtering), the pen, the focus, the pad's keys, every
// reading of the game clock and the frames themselves pass here. The recorder
// listens at this door, and a replay feeds the game through it instead of the
// window; nothing else knows about either.
#include "app/app.h"
#include "app/replay.h"
#include "game/game.h"
#include "ui/ui.h"

namespace {

// The game's reaction to one input.
void apply(const Input& in) {
    switch (in.kind) {
    case INPUT_KEY_DOWN:
        if (!in.repeat) onKeyPress(in.a);
        break;
    case INPUT_KEY_UP:
        if (!in.repeat) onKeyRelease(in.a);
        break;
    case INPUT_PEN_DOWN:
        onPenPress(in.a, in.b);
        break;
    case INPUT_PEN_MOVE:
        onPenMove(in.a, in.b);
        break;
    case INPUT_PEN_UP:
        onPenRelease(in.a, in.b);
        break;
    case INPUT_FOCUS_OUT:
        // A key held while the window loses the focus never sends its release
        // to us, so the held controls are let go here: the ship stops turning
        // and thrusting until the player presses again.
        turningLeft = false;
        turningRight = false;
        thrusting = false;
        forgetPadControls();
        break;
    default:
        break;
    }
}

} // namespace

void seamInput(Input in) {
    in.inFrame = frameInProgress;
    if (replayMode != ReplayMode::NONE) {
        watcherInput(in);  // the viewer's own keys never reach a replayed game
        return;
    }
    recorderBeforeInput(in);
    apply(in);
    recorderAfterInput();
}

void seamReplayInput(const Input& in) {
    apply(in);
}

void seamPadKey(int key, bool press) {
    Input in{press ? INPUT_KEY_DOWN : INPUT_KEY_UP};
    in.a = key;
    seamInput(in);
}

void seamFrameBegin() {
    if (replayMode != ReplayMode::NONE)
        playerBeforeFrame();
    else if (recording())
        recorderInput(Input{INPUT_FRAME});
}

void seamFrameEvents() {
    PlatformApplication::processEvents();
    if (replayMode != ReplayMode::NONE)
        playerFrameEvents();
}

void seamFrameEnd() {
    if (replayMode != ReplayMode::NONE)
        playerFrameEnd();
    else if (recording())
        recorderFrameEnd();
}

int32_t seamClock() {
    if (replayMode != ReplayMode::NONE)
        return playerClock();
    const int32_t reading = steadyGameClock();
    if (recording())
        recorderClock(reading);
    return reading;
}
