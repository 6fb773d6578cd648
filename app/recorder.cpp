// The recorder: every game played is kept, as it passes the input seam, in
// one buffer made before the game window opens, and saved as the last game
// (and the best one, when it set a new high score) once it is over or the
// program ends. Nothing is allocated and nothing written to disk while a game
// runs, but for the moment a new high score is set.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/mman.h>

#include "app/app.h"
#include "app/replay.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "settings/settings.h"

namespace {

constexpr size_t RECORD_CAPACITY = 8u << 20;   // bytes: hours of play at a few bytes a frame

// A game being recorded, and what a save of it needs that only the game knows
// at the end of each whole frame. It lives in memory shared with the keeper
// process (keeper.cpp), which saves it when the game process goes without a
// chance to do so; only this process writes it.
struct Recording {
    bool on;                      // a game is being recorded
    bool newRecord;               // the game has set a new high score
    size_t used;                  // bytes of `bytes` written
    size_t inputsAt;              // where the inputs begin
    size_t frameEnd;              // bytes up to the end of the last whole frame
    uint32_t frames;              // whole frames recorded
    ReplayFacts facts;            // seed and draws from the start; frames, score, level at frameEnd
    alignas(8) uint8_t bytes[RECORD_CAPACITY];
};

Recording* rec = nullptr;
Recording unsharedRecording;      // when no shared memory can be had

enum class Start { NONE, MAYBE } starting = Start::NONE;
int32_t recordClock = 0;          // the last clock reading written
uint32_t recordSameClock = 0;     // readings since then that gave it again, not yet written
bool bestKept = false;            // this game's record has been saved as the best so far

void stopOverflowing() {
    std::fputs("corvusraiders: this game has grown too long to keep as a replay; "
               "it is not recorded any further and will not be saved\n", stderr);
    rec->on = false;
}

void emit(const Input& in) {
    if (!rec->on)
        return;
    if (rec->used + INPUT_MAX_BYTES > RECORD_CAPACITY) {
        stopOverflowing();
        return;
    }
    rec->used += encodeInput(in, rec->bytes + rec->used);
}

void flushClock() {
    if (recordSameClock == 0)
        return;
    Input same{INPUT_CLOCK_SAME};
    same.a = int32_t(recordSameClock);
    recordSameClock = 0;
    emit(same);
}

void writeInput(const Input& in) {
    flushClock();
    emit(in);
}

bool saveAs(const std::string& path, const uint8_t* bytes, size_t size) {
    static bool toldNoFolder = false;
    if (path.empty()) {
        if (!toldNoFolder)
            std::fputs("corvusraiders: no home folder, so games are not kept as replays\n", stderr);
        toldNoFolder = true;
        return false;
    }
    if (!writeWhole(path, bytes, size)) {
        std::fprintf(stderr, "corvusraiders: could not save the replay %s (%s)\n", path.c_str(),
                     std::strerror(errno));
        return false;
    }
    return true;
}

// Closes the recording with END and saves it as the last game (and among
// the kept games) and, when it set a new high score, the best one. `endAt`
// is where END goes.
void save(size_t endAt, const ReplayFacts& facts, bool asLast) {
    Input end{INPUT_END};
    end.hash = facts.endHash;
    const size_t size = endAt + encodeInput(end, rec->bytes + endAt);
    writeReplayHeader(rec->bytes, size, rec->inputsAt - REPLAY_HEADER_BYTES, facts);
    if (asLast) {
        saveAs(lastReplayPath(), rec->bytes, size);
        const std::string kept = keptGamePath(facts.score);
        if (!kept.empty() && saveAs(kept, rec->bytes, size))
            pruneKeptGames();
    }
    if (rec->newRecord)
        saveAs(bestReplayPath(), rec->bytes, size);
}

// The game is over: its end is written, and the file saved.
void finishRecording() {
    flushClock();
    rec->on = false;
    if (rec->used + INPUT_HASH_BYTES > RECORD_CAPACITY)
        return;  // no room for its end
    ReplayFacts facts = rec->facts;
    facts.frames = rec->frames;
    facts.score = score;
    facts.level = level;
    facts.endHash = worldStateHash();
    rec->newRecord = newHighScore;
    save(rec->used, facts, true);
}

} // namespace

void recorderPrepare() {
    if (rec)
        return;
    void* shared = mmap(nullptr, sizeof(Recording), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    rec = shared == MAP_FAILED ? &unsharedRecording : static_cast<Recording*>(shared);
    rec->on = false;
}

bool recording() {
    return rec && rec->on;
}

// A game can only start from the menu, by one input there; the world is
// kept the moment that input has started it, so every value the new game set
// afresh is in the file as the game went on from it. An input that opens the
// redefinition screen from the menu, or leads nowhere, starts nothing.
void recorderBeforeInput(const Input& in) {
    recorderPrepare();
    if (rec->on)
        recorderInput(in);
    else if (gameState == STATE_MENU)
        starting = Start::MAYBE;
}

void recorderAfterInput() {
    if (!rec)
        return;
    if (starting == Start::MAYBE) {
        starting = Start::NONE;
        if (gameState != STATE_PLAYING)
            return;
        const size_t worldBytes = worldStateBytes();
        if (REPLAY_HEADER_BYTES + worldBytes + INPUT_MAX_BYTES >= RECORD_CAPACITY)
            return;
        writeWorldState(rec->bytes + REPLAY_HEADER_BYTES);
        rec->inputsAt = rec->used = rec->frameEnd = REPLAY_HEADER_BYTES + worldBytes;
        rec->frames = 0;
        rec->newRecord = false;
        rec->facts = ReplayFacts{};
        rec->facts.rules = replayRules();
        rec->facts.seed = startSeed;
        rec->facts.draws = worldRandomDraws();
        recordClock = 0;
        recordSameClock = 0;
        bestKept = false;
        rec->on = true;
    } else if (rec->on && !gameUnderWay(gameState)) {
        finishRecording();
    }
}

void recorderInput(const Input& in) {
    if (in.kind == INPUT_FRAME)
        ++rec->frames;
    Input tagged = in;
    // Inputs still in the frame the game started in come before the first
    // recorded frame, and are played back there.
    if (rec->frames == 0)
        tagged.inFrame = false;
    writeInput(tagged);
}

void recorderClock(int32_t value) {
    if (value == recordClock) {
        ++recordSameClock;
        return;
    }
    Input change{INPUT_CLOCK};
    change.a = int32_t(uint32_t(value) - uint32_t(recordClock));
    writeInput(change);
    recordClock = value;
}

// The end of a whole frame: a picture check every second, and the facts a
// save of the game as it stands would need. The frame the game started in
// (its start came in the frame's event processing) is not one of the
// recorded frames.
void recorderFrameEnd() {
    if (!recording() || rec->frames == 0)
        return;
    flushClock();
    if (rec->frames % CHECK_FRAMES == 0) {
        Input check{INPUT_CHECK};
        check.hash = backBufferHash();
        emit(check);
    }
    if (!rec->on)
        return;  // it overflowed
    if (!gameUnderWay(gameState)) {
        finishRecording();
        return;
    }
    rec->frameEnd = rec->used;
    rec->facts.frames = rec->frames;
    rec->facts.score = score;
    rec->facts.level = level;
    rec->newRecord = newHighScore;
    // A record game is kept as the best one the moment its high score goes
    // to disk, and again whole once it is over.
    if (gameState == STATE_GAME_OVER && newHighScore && !bestKept) {
        bestKept = true;
        recorderSaveUnderWay(false);
    }
}

// A game still under way: saved as it stood at the end of its last whole
// frame, marked as ended early. The keeper calls this too, in its own
// process, on the recording it shares with the game.
void recorderSaveUnderWay(bool asLast) {
    if (!rec || !rec->on || rec->frames == 0 ||
        rec->frameEnd + INPUT_HASH_BYTES > RECORD_CAPACITY)
        return;
    ReplayFacts facts = rec->facts;
    facts.flags = REPLAY_ENDED_EARLY;
    facts.endHash = 0;
    save(rec->frameEnd, facts, asLast);
}

void recorderStop() {
    if (recording()) {
        recorderSaveUnderWay(true);
        rec->on = false;
    }
    starting = Start::NONE;
}

bool gameUnderWay(GameState s) {
    return s == STATE_PLAYING || s == STATE_SHIP_LOST || s == STATE_GAME_OVER ||
           s == STATE_PAUSED || s == STATE_LEVEL_CLEARED || s == STATE_NEXT_LEVEL ||
           s == STATE_REDEFINE_KEYS;
}

// Empty when there is no home folder to keep them in.
static std::string stateFile(const char* name) {
    const std::string dir = stateDirectory();
    return dir.empty() ? dir : dir + name;
}
std::string lastReplayPath() { return stateFile("last.replay"); }
std::string bestReplayPath() { return stateFile("best.replay"); }

// The back buffer eight bytes at a step (FNV-1a over 64-bit words), cheap
// enough to take every second of play.
uint64_t backBufferHash() {
    constexpr uint64_t OFFSET = 14695981039346656037ull, PRIME = 1099511628211ull;
    uint64_t h = OFFSET;
    const auto* bytes = reinterpret_cast<const uint8_t*>(backBuffer);
    for (size_t i = 0; i + 8 <= SCREEN_BYTES; i += 8) {
        uint64_t w;
        std::memcpy(&w, bytes + i, sizeof w);
        h = (h ^ w) * PRIME;
    }
    return h ^ (h >> 29);
}
