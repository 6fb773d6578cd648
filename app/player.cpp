// The player: a recorded game fed back through the input seam, frame by
// frame, with every check the recording carries (the clock readings, a
// picture each second, the world and the header's facts at the end). The
// first difference is kept with its frame and ends the playback.
#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/replay.h"
#include "audio/audio.h"
#include "game/game.h"
#include "settings/settings.h"

ReplayMode replayMode = ReplayMode::NONE;

namespace {

struct Player {
    const uint8_t* data = nullptr;
    size_t pos = 0, end = 0;
    ReplayFacts facts;
    bool started = false;
    bool finished = false;
    int32_t clock = 0;            // the last reading handed out
    uint32_t sameLeft = 0;        // readings still to give the same value
    uint32_t frame = 0;           // frames begun
    char divergence[200] = {};
} player;

void diverge(const char* what) {
    if (player.divergence[0])
        return;
    std::snprintf(player.divergence, sizeof player.divergence, "frame %u: %s", player.frame, what);
    player.finished = true;
}

bool peek(Input& in) {
    size_t at = player.pos;
    return decodeInput(player.data, player.end, at, in);
}

void skip() {
    Input in{INPUT_FRAME};
    decodeInput(player.data, player.end, player.pos, in);
}

bool active() {
    return player.started && !player.finished;
}

// The readings recorded up to here must all have been asked for.
bool clockDone() {
    Input next{INPUT_FRAME};
    if (player.sameLeft != 0 || (peek(next) && (next.kind == INPUT_CLOCK || next.kind == INPUT_CLOCK_SAME))) {
        diverge("the game read its clock fewer times than when it was recorded");
        return false;
    }
    return true;
}

// Plays the recorded events up to the next other record; `inFrame` picks the
// events of the frame's event processing or the ones between frames.
void deliverEvents(bool inFrame) {
    Input in{INPUT_FRAME};
    while (active() && clockDone() && peek(in) && isEvent(in.kind) && in.inFrame == inFrame) {
        skip();
        seamReplayInput(in);
        if (!gameUnderWay(gameState)) {
            Input next{INPUT_FRAME};
            if (!(peek(next) && next.kind == INPUT_END) && clockDone())
                diverge("the game left play before the recording did");
        }
    }
}

// The end of the recording: the game must be over (or, for a game the
// program left early, still going on), with the score and level the header
// gives and, for a whole game, the world the recording ended with.
void finish() {
    Input in{INPUT_FRAME};
    peek(in);
    skip();
    char what[160];
    if (gameUnderWay(gameState) != player.facts.endedEarly()) {
        diverge(player.facts.endedEarly() ? "the recording says the game went on here, but it ended"
                                          : "the recording ends here, but the game goes on");
    } else if (score != player.facts.score || level != player.facts.level) {
        std::snprintf(what, sizeof what,
                      "the recording says the game stood at %d points on level %d here, but it "
                      "stands at %d points on level %d",
                      player.facts.score, player.facts.level, score, level);
        diverge(what);
    } else if (!player.facts.endedEarly() && worldStateHash() != in.hash) {
        diverge("the world at the end of the game differs from the recorded one");
    }
    player.finished = true;
}

// The world a recording starts from must be one a run of the game reaches:
// its random generator where the header's seed and draws put it.
bool seedLeadsToWorld(const ReplayFile& file) {
    WorldRandomState now, seeded;
    saveWorldRandom(now);
    worldRandomAfter(file.facts.seed, file.facts.draws, seeded);
    return std::memcmp(&now, &seeded, sizeof now) == 0;
}

} // namespace

bool playerStart(const ReplayFile& file, std::string& error) {
    player = Player{};
    const auto* world = reinterpret_cast<const uint8_t*>(file.bytes.data()) + file.worldAt;
    error = "is damaged (its starting world is not one the game can be in)";
    if (!worldStateValid(world))
        return false;
    readWorldState(world);
    if (gameState != STATE_PLAYING || !seedLeadsToWorld(file))
        return false;
    player.data = reinterpret_cast<const uint8_t*>(file.bytes.data());
    player.pos = file.inputsAt;
    player.end = file.inputsEnd;
    player.facts = file.facts;
    applyMusicVolume();
    applyEffectVolume();
    // The back buffer as it was when the game began: the menu screen. Drawing
    // it sets a sprite or two (the options panel's), so the world is set back
    // afterwards.
    gameState = STATE_MENU;
    composeFrame();
    readWorldState(world);
    player.started = true;
    error.clear();
    return true;
}

void playerBeforeFrame() {
    deliverEvents(false);
    if (!active() || !clockDone())
        return;
    Input in{INPUT_FRAME};
    if (!peek(in) || in.kind != INPUT_FRAME) {
        diverge("the recording has no further frame here");
        return;
    }
    skip();
    ++player.frame;
}

void playerFrameEvents() {
    deliverEvents(true);
}

namespace {
void checkFrameEnd() {
    if (!active() || !clockDone())
        return;
    Input in{INPUT_FRAME};
    if (player.frame % CHECK_FRAMES == 0) {
        if (!peek(in) || in.kind != INPUT_CHECK) {
            diverge("the recording has no picture check here");
            return;
        }
        skip();
        const uint64_t now = backBufferHash();
        if (now != in.hash) {
            char what[120];
            std::snprintf(what, sizeof what,
                          "the picture differs (back buffer hash %016llx, recorded %016llx)",
                          static_cast<unsigned long long>(now), static_cast<unsigned long long>(in.hash));
            diverge(what);
            return;
        }
    }
    if (peek(in) && in.kind == INPUT_END)
        finish();
    else if (!gameUnderWay(gameState))
        diverge("the game ended before the recording did");
}
} // namespace

// In the window, the replay leaves once its last frame has been shown.
void playerFrameEnd() {
    checkFrameEnd();
    if (replayMode == ReplayMode::WATCH && player.started && player.finished)
        PlatformApplication::quit();
}

int32_t playerClock() {
    if (!active())
        return player.clock;
    if (player.sameLeft > 0) {
        --player.sameLeft;
        return player.clock;
    }
    Input in{INPUT_FRAME};
    if (peek(in) && in.kind == INPUT_CLOCK) {
        skip();
        player.clock = int32_t(uint32_t(player.clock) + uint32_t(in.a));
    } else if (peek(in) && in.kind == INPUT_CLOCK_SAME) {
        skip();
        player.sameLeft = uint32_t(in.a) - 1;
    } else {
        diverge("the game read its clock more often than when it was recorded");
    }
    return player.clock;
}

bool playerFinished() { return !player.started || player.finished; }
const char* playerDivergence() { return player.divergence[0] ? player.divergence : nullptr; }
uint32_t playerFrames() { return player.frame; }

void watcherInput(const Input& in) {
    if (in.kind == INPUT_KEY_DOWN && in.a == KEY_ESCAPE && !in.repeat)
        PlatformApplication::quit();
}
