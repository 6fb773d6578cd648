// Replays: the recorder that keeps every game as it passes the input seam,
// the replay files and their checks, the player that feeds a recorded game
// back through the seam, and --replay itself (in the window, or verified
// headless at full speed).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/replay.h"
#include "audio/audio.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "settings/settings.h"
#include "ui/ui.h"

ReplayMode replayMode = ReplayMode::NONE;

namespace {

const char MAGIC[8] = {'C', 'R', 'V', 'S', 'R', 'P', 'L', 'Y'};
constexpr size_t HASHED_HEADER_BYTES = 52;   // the header before its checksum
constexpr uint32_t FLAG_AUDIO_OPEN = 1;

// Header fields, byte offsets.
enum : size_t {
    AT_FORMAT = 8, AT_RULES = 12, AT_FLAGS = 16, AT_SEED = 20, AT_FRAMES = 24, AT_SCORE = 28,
    AT_LEVEL = 32, AT_WORLD_BYTES = 36, AT_INPUT_BYTES = 40, AT_END_HASH = 44, AT_CHECKSUM = 52,
};

// Screens of a game under way; any other (menu, title, exit) means the game is over.
bool inGame(GameState s) {
    return s == STATE_PLAYING || s == STATE_SHIP_LOST || s == STATE_GAME_OVER ||
           s == STATE_PAUSED || s == STATE_LEVEL_CLEARED || s == STATE_NEXT_LEVEL ||
           s == STATE_REDEFINE_KEYS;
}

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void put64(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = uint8_t(v >> (8 * i));
}
uint32_t get32(const uint8_t* p) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= uint32_t(p[i]) << (8 * i);
    return v;
}
uint64_t get64(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 0; i < 8; ++i) v |= uint64_t(p[i]) << (8 * i);
    return v;
}

uint32_t zigzag(int32_t v) { return (uint32_t(v) << 1) ^ uint32_t(v >> 31); }
int32_t unzigzag(uint32_t u) { return int32_t((u >> 1) ^ (0u - (u & 1))); }

// The file's checksum: the header before it, then everything after the header.
uint64_t fileChecksum(const uint8_t* file, size_t size) {
    const uint64_t head = hashBytes(file, HASHED_HEADER_BYTES);
    const uint64_t body = hashBytes(file + REPLAY_HEADER_BYTES, size - REPLAY_HEADER_BYTES);
    return head ^ (body * 31);
}

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

bool isEvent(InputKind k) {
    return k >= INPUT_KEY_DOWN && k <= INPUT_FOCUS_OUT;
}

// ---------------------------------------------------------------------------
// Recorder. The whole recording lives in one buffer made at start-up: the
// header, the world at the start and the inputs, written in place, so that
// nothing is allocated while a game runs and the file is one block.
// ---------------------------------------------------------------------------
constexpr size_t RECORD_CAPACITY = 8u << 20;   // bytes: hours of play at a few bytes a frame

alignas(8) uint8_t record[RECORD_CAPACITY];
size_t recordUsed = 0;            // bytes of `record` written
size_t recordInputsAt = 0;        // where the inputs begin
enum class Recording { OFF, MAYBE, ON } recordingState = Recording::OFF;
uint32_t recordFrames = 0;        // frames recorded
int32_t recordClock = 0;          // the last clock reading written
uint32_t recordSameClock = 0;     // readings since then that gave it again, not yet written

void stopOverflowing() {
    if (recordingState == Recording::ON)
        std::fputs("corvusraiders: this game has grown too long to keep as a replay; "
                   "it is not recorded any further and will not be saved\n", stderr);
    recordingState = Recording::OFF;
}

void emit(const uint8_t* bytes, size_t n) {
    if (recordingState == Recording::OFF)
        return;
    if (recordUsed + n > RECORD_CAPACITY) {
        stopOverflowing();
        return;
    }
    std::memcpy(record + recordUsed, bytes, n);
    recordUsed += n;
}

// An op byte followed by up to two LEB128 numbers.
void emitOp(uint8_t op, int operands, uint32_t a = 0, uint32_t b = 0) {
    uint8_t bytes[11];
    size_t n = 0;
    bytes[n++] = op;
    const uint32_t values[2] = {a, b};
    for (int k = 0; k < operands; ++k) {
        uint32_t v = values[k];
        do {
            bytes[n++] = uint8_t((v & 0x7f) | (v > 0x7f ? 0x80 : 0));
            v >>= 7;
        } while (v);
    }
    emit(bytes, n);
}

void emitHash(InputKind kind, uint64_t hash) {
    uint8_t bytes[9];
    bytes[0] = kind;
    put64(bytes + 1, hash);
    emit(bytes, sizeof bytes);
}

void flushClock() {
    if (recordSameClock == 0)
        return;
    emitOp(INPUT_CLOCK_SAME, 1, recordSameClock);
    recordSameClock = 0;
}

void writeInput(const Input& in) {
    flushClock();
    uint8_t op = uint8_t(in.kind);
    if (in.inFrame) op |= INPUT_IN_FRAME;
    if (in.repeat) op |= INPUT_REPEAT;
    switch (in.kind) {
    case INPUT_KEY_DOWN:
    case INPUT_KEY_UP:
        emitOp(op, 1, zigzag(in.a));
        break;
    case INPUT_PEN_DOWN:
    case INPUT_PEN_MOVE:
    case INPUT_PEN_UP:
        emitOp(op, 2, zigzag(in.a), zigzag(in.b));
        break;
    default:
        emitOp(op, 0);
        break;
    }
}

bool saveRecording(const std::string& path) {
    static bool toldNoFolder = false;
    if (path.empty()) {
        if (!toldNoFolder)
            std::fputs("corvusraiders: no home folder, so games are not kept as replays\n", stderr);
        toldNoFolder = true;
        return false;
    }
    if (!writeWhole(path, record, recordUsed)) {
        std::fprintf(stderr, "corvusraiders: could not save the replay %s\n", path.c_str());
        return false;
    }
    return true;
}

// The game is over: the end is written, the header filled in, and the file
// saved as the last game, and as the best one when it set a new high score.
void finishRecording() {
    flushClock();
    emitHash(INPUT_END, worldStateHash());
    if (recordingState != Recording::ON)
        return;  // it overflowed at the very end
    recordingState = Recording::OFF;
    uint8_t* h = record;
    std::memcpy(h, MAGIC, sizeof MAGIC);
    put32(h + AT_FORMAT, REPLAY_FORMAT);
    put32(h + AT_RULES, replayRules());
    put32(h + AT_FLAGS, audioOpen ? FLAG_AUDIO_OPEN : 0);
    put32(h + AT_SEED, startSeed);
    put32(h + AT_FRAMES, recordFrames);
    put32(h + AT_SCORE, uint32_t(score));
    put32(h + AT_LEVEL, uint32_t(level));
    put32(h + AT_WORLD_BYTES, uint32_t(recordInputsAt - REPLAY_HEADER_BYTES));
    put32(h + AT_INPUT_BYTES, uint32_t(recordUsed - recordInputsAt));
    put64(h + AT_END_HASH, get64(record + recordUsed - 8));
    put32(h + AT_CHECKSUM + 8, 0);
    put64(h + AT_CHECKSUM, fileChecksum(record, recordUsed));
    saveRecording(lastReplayPath());
    if (newHighScore)
        saveRecording(bestReplayPath());
}

} // namespace

bool recording() {
    return recordingState != Recording::OFF;
}

// A game can only start from the menu, so the world is kept before every
// input there; the input that turns out to start a game is the first one
// recorded, and any other is forgotten again.
void recorderBeforeInput(const Input& in) {
    if (recordingState == Recording::ON) {
        recorderInput(in);
        return;
    }
    if (gameState != STATE_MENU)
        return;
    const size_t worldBytes = worldStateBytes();
    if (REPLAY_HEADER_BYTES + worldBytes >= RECORD_CAPACITY)
        return;
    std::memset(record, 0, REPLAY_HEADER_BYTES);
    writeWorldState(record + REPLAY_HEADER_BYTES);
    recordInputsAt = recordUsed = REPLAY_HEADER_BYTES + worldBytes;
    recordFrames = 0;
    recordClock = 0;
    recordSameClock = 0;
    recordingState = Recording::MAYBE;
    Input first = in;
    first.inFrame = false;  // played back before the first frame
    writeInput(first);
}

void recorderAfterInput() {
    if (recordingState == Recording::MAYBE)
        recordingState = inGame(gameState) ? Recording::ON : Recording::OFF;
    else if (recordingState == Recording::ON && !inGame(gameState))
        finishRecording();
}

void recorderInput(const Input& in) {
    if (in.kind == INPUT_FRAME)
        ++recordFrames;
    Input tagged = in;
    // Inputs still in the frame the game started in come before the first
    // recorded frame, and are played back there.
    if (recordFrames == 0)
        tagged.inFrame = false;
    writeInput(tagged);
}

void recorderClock(int32_t value) {
    if (value == recordClock) {
        ++recordSameClock;
        return;
    }
    flushClock();
    emitOp(INPUT_CLOCK, 1, zigzag(int32_t(uint32_t(value) - uint32_t(recordClock))));
    recordClock = value;
}

void recorderFrameEnd() {
    // The frame the game started in (its start came in the frame's event
    // processing) is not one of the recorded frames.
    if (recordingState != Recording::ON || recordFrames == 0)
        return;
    if (recordFrames % CHECK_FRAMES == 0) {
        flushClock();
        emitHash(INPUT_CHECK, backBufferHash());
    }
    if (!inGame(gameState))
        finishRecording();
}

void recorderStop() {
    if (recordingState == Recording::ON)
        finishRecording();
    recordingState = Recording::OFF;
}

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------
uint32_t replayRules() {
    const uint64_t facts[2] = {WORLD_RULES, worldStateBytes()};
    return uint32_t(hashBytes(facts, sizeof facts));
}

// Empty when there is no home folder to keep them in.
static std::string stateFile(const char* name) {
    const std::string dir = stateDirectory();
    return dir.empty() ? dir : dir + name;
}
std::string lastReplayPath() { return stateFile("last.replay"); }
std::string bestReplayPath() { return stateFile("best.replay"); }

bool decodeInput(const uint8_t* data, size_t end, size_t& pos, Input& out) {
    if (pos >= end)
        return false;
    const uint8_t op = data[pos++];
    if (op & 0xc0)
        return false;
    out = Input{InputKind(op & 0x0f)};
    out.inFrame = op & INPUT_IN_FRAME;
    out.repeat = op & INPUT_REPEAT;
    if (out.kind >= INPUT_KINDS)
        return false;
    auto number = [&](uint32_t& v) {
        v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            if (pos >= end)
                return false;
            const uint8_t b = data[pos++];
            if (shift == 28 && b > 0x0f)
                return false;  // beyond 32 bits
            v |= uint32_t(b & 0x7f) << shift;
            if (!(b & 0x80))
                return true;
        }
        return false;
    };
    uint32_t a = 0, b = 0;
    switch (out.kind) {
    case INPUT_CLOCK:
    case INPUT_KEY_DOWN:
    case INPUT_KEY_UP:
        if (!number(a))
            return false;
        out.a = unzigzag(a);
        break;
    case INPUT_CLOCK_SAME:
        if (!number(a) || a == 0)
            return false;
        out.a = int32_t(a);
        break;
    case INPUT_PEN_DOWN:
    case INPUT_PEN_MOVE:
    case INPUT_PEN_UP:
        if (!number(a) || !number(b))
            return false;
        out.a = unzigzag(a);
        out.b = unzigzag(b);
        break;
    case INPUT_CHECK:
    case INPUT_END:
        if (end - pos < 8)
            return false;
        out.hash = get64(data + pos);
        pos += 8;
        break;
    default:
        break;
    }
    // Only events carry the in-frame and repeat bits; only keys repeat.
    if ((out.inFrame && !isEvent(out.kind)) ||
        (out.repeat && out.kind != INPUT_KEY_DOWN && out.kind != INPUT_KEY_UP))
        return false;
    return true;
}

bool parseReplay(const std::string& bytes, ReplayFile& out, std::string& error) {
    const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t size = bytes.size();
    if (size < REPLAY_HEADER_BYTES || std::memcmp(d, MAGIC, sizeof MAGIC) != 0) {
        error = "is not a replay of this game";
        return false;
    }
    const uint32_t format = get32(d + AT_FORMAT);
    if (format != REPLAY_FORMAT) {
        error = "is a replay of format " + std::to_string(format) + "; this build reads format " +
                std::to_string(REPLAY_FORMAT);
        return false;
    }
    ReplayFacts& f = out.facts;
    f.rules = get32(d + AT_RULES);
    if (f.rules != replayRules()) {
        error = "was recorded by a build whose game rules differ from this one's, so it cannot "
                "be played back";
        return false;
    }
    const uint64_t worldBytes = get32(d + AT_WORLD_BYTES);
    const uint64_t inputBytes = get32(d + AT_INPUT_BYTES);
    if (worldBytes != worldStateBytes()) {
        error = "is damaged (its starting world has the wrong size)";
        return false;
    }
    if (REPLAY_HEADER_BYTES + worldBytes + inputBytes > size) {
        error = "is truncated";
        return false;
    }
    if (REPLAY_HEADER_BYTES + worldBytes + inputBytes < size) {
        error = "is damaged (bytes after its end)";
        return false;
    }
    if (get64(d + AT_CHECKSUM) != fileChecksum(d, size)) {
        error = "is damaged (its checksum does not match)";
        return false;
    }
    out.worldAt = REPLAY_HEADER_BYTES;
    out.inputsAt = out.worldAt + size_t(worldBytes);
    out.inputsEnd = size;
    f.audioOpen = get32(d + AT_FLAGS) & FLAG_AUDIO_OPEN;
    f.seed = get32(d + AT_SEED);
    f.frames = get32(d + AT_FRAMES);
    f.score = int32_t(get32(d + AT_SCORE));
    f.level = int32_t(get32(d + AT_LEVEL));
    f.endHash = get64(d + AT_END_HASH);

    // Every record well formed, the frames as counted, one end at the very end.
    uint32_t frames = 0;
    size_t pos = out.inputsAt;
    Input in{INPUT_FRAME};
    bool ended = false;
    while (pos < size) {
        if (ended || !decodeInput(d, size, pos, in)) {
            error = "is damaged (a malformed record at byte " + std::to_string(pos) + ")";
            return false;
        }
        frames += in.kind == INPUT_FRAME;
        ended = in.kind == INPUT_END;
    }
    if (!ended || in.hash != f.endHash || frames != f.frames) {
        error = "is damaged (its records do not add up)";
        return false;
    }
    out.bytes = bytes;
    return true;
}

bool loadReplay(const std::string& path, ReplayFile& out, std::string& error) {
    std::string bytes;
    const char* why = "";
    switch (readWhole(path, bytes, why, REPLAY_MAX_BYTES)) {
    case ReadResult::Absent:
        error = "cannot read " + path + " (no such file)";
        return false;
    case ReadResult::Unreadable:
        error = "cannot read " + path + " (" + why + ")";
        return false;
    case ReadResult::Read:
        break;
    }
    if (!parseReplay(bytes, out, error)) {
        error = path + " " + error;
        return false;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Player
// ---------------------------------------------------------------------------
namespace {

struct Player {
    const uint8_t* data = nullptr;
    size_t pos = 0, end = 0;
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
        if (!inGame(gameState)) {
            Input next{INPUT_FRAME};
            if (!(peek(next) && next.kind == INPUT_END) && clockDone())
                diverge("the game left play before the recording did");
        }
    }
}

void finish() {
    Input in{INPUT_FRAME};
    peek(in);
    skip();
    if (inGame(gameState))
        diverge("the recording ends here, but the game goes on");
    else if (worldStateHash() != in.hash)
        diverge("the world at the end of the game differs from the recorded one");
    player.finished = true;
}

} // namespace

bool playerStart(const ReplayFile& file, std::string& error) {
    player = Player{};
    const auto* world = reinterpret_cast<const uint8_t*>(file.bytes.data()) + file.worldAt;
    if (!worldStateValid(world) || int32_t(get32(world)) != STATE_MENU) {
        error = "is damaged (its starting world is not one the game can be in)";
        return false;
    }
    player.data = reinterpret_cast<const uint8_t*>(file.bytes.data());
    player.pos = file.inputsAt;
    player.end = file.inputsEnd;
    readWorldState(world);
    applyMusicVolume();
    applyEffectVolume();
    // The back buffer as it was before the game: the menu screen.
    composeFrame();
    player.started = true;
    Input first{INPUT_FRAME};
    if (!peek(first) || !isEvent(first.kind)) {
        error = "does not begin with the input that started its game";
        return false;
    }
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
    else if (!inGame(gameState))
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

// ---------------------------------------------------------------------------
// --replay
// ---------------------------------------------------------------------------
int runReplay(const char* path, bool verify, int argc, char** argv) {
    const std::string file = path ? std::string(path) : bestReplayPath();
    ReplayFile replay;
    std::string error;
    if (file.empty()) {
        std::fputs("corvusraiders: no home folder, so there is no best game to show\n", stderr);
        return 2;
    }
    if (!loadReplay(file, replay, error)) {
        std::fprintf(stderr, "corvusraiders: %s\n", error.c_str());
        return 2;
    }
    if (verify) {
        // No display and no sound card needed, whatever the session has.
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
    }
    replayMode = verify ? ReplayMode::VERIFY : ReplayMode::WATCH;
    holdSettingsWrites(true);

    int platformArgc = argc > 0 ? 1 : 0;
    PlatformApplication app(platformArgc, argv);
    if (verify)
        PlatformApplication::workOutsideTheLoop();  // stopped is neither passed nor failed
    if (!initApplication()) {
        std::fputs("corvusraiders: the game window could not be created\n", stderr);
        return 2;
    }
    if (verify)
        setupResources();
    else
        theWidget->start();
    if (!playerStart(replay, error)) {
        std::fprintf(stderr, "corvusraiders: %s %s\n", file.c_str(), error.c_str());
        shutdown();
        return 2;
    }

    int status = 0;
    if (verify) {
        const auto begun = std::chrono::steady_clock::now();
        while (!playerFinished())
            runFrame();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        if (const char* what = playerDivergence()) {
            std::printf("%s: differs at %s\n", file.c_str(), what);
            status = 1;
        } else {
            std::printf("%s: %u frames verified in %.2f s (%.0f frames per second)\n",
                        file.c_str(), playerFrames(), seconds,
                        seconds > 0 ? playerFrames() / seconds : 0.0);
        }
    } else {
        app.exec();
        if (const char* what = playerDivergence()) {
            std::fprintf(stderr, "corvusraiders: %s differs from its recording at %s\n", file.c_str(),
                         what);
            status = 1;
        }
    }
    shutdown();
    return status;
}
