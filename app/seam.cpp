// The input seam: the one door through which everything the game reacts to
// reaches it, in the order the game sees it. Keys (as the window delivers
// them, after its own filtering), the pen, the focus, the pad's keys, every
// reading of the game clock and the frames themselves pass here. What stands
// behind the door is picked once, at start: the live game alone, the live
// game with the recorder listening (every run that plays), or a recording
// played back, which feeds the game instead of the window. Nothing else knows
// which it is.
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

namespace {

// What the door does with each input, each step of a frame and each reading
// of the clock.
struct InputSourceSteps {
    void (*input)(const Input& in);
    void (*frameBegin)();
    void (*frameEvents)();
    void (*frameEnd)();
    int32_t (*clock)();
};

void nothing() {}

void liveFrameEvents() {
    PlatformApplication::processEvents();
}

// The recorder decides for itself when a game is being recorded.
void recordedInput(const Input& in) {
    recorderBeforeInput(in);
    apply(in);
    recorderAfterInput();
}
void recordedFrameBegin() {
    if (recording())
        recorderInput(Input{INPUT_FRAME});
}
void recordedFrameEnd() {
    if (recording())
        recorderFrameEnd();
}
int32_t recordedClock() {
    const int32_t reading = steadyGameClock();
    if (recording())
        recorderClock(reading);
    return reading;
}

// The viewer's own keys never reach a replayed game.
void playedFrameEvents() {
    PlatformApplication::processEvents();
    playerFrameEvents();
}

constexpr InputSourceSteps LIVE = {apply, nothing, liveFrameEvents, nothing, steadyGameClock};
constexpr InputSourceSteps RECORDED = {recordedInput, recordedFrameBegin, liveFrameEvents,
                                       recordedFrameEnd, recordedClock};
constexpr InputSourceSteps PLAYED = {watcherInput, playerBeforeFrame, playedFrameEvents,
                                     playerFrameEnd, playerClock};

const InputSourceSteps* source = &RECORDED;

} // namespace

void seamUseSource(InputSource chosen) {
    source = chosen == InputSource::LIVE ? &LIVE : chosen == InputSource::PLAYED ? &PLAYED : &RECORDED;
}

void seamInput(Input in) {
    in.inFrame = frameInProgress;
    source->input(in);
}

void seamReplayInput(const Input& in) {
    apply(in);
}

void seamPadKey(int key, bool press) {
    Input in{press ? INPUT_KEY_DOWN : INPUT_KEY_UP};
    in.a = key;
    seamInput(in);
}

void seamFrameBegin() { source->frameBegin(); }
void seamFrameEvents() { source->frameEvents(); }
void seamFrameEnd() { source->frameEnd(); }
int32_t seamClock() { return source->clock(); }
