// Replay files: the input codec, the header and its checksum, and the checks
// a file passes on reading.
#include "app/replay_file.h"

#include <cstring>

#include "app/replay.h"
#include "game/game.h"
#include "platform/files.h"

namespace {

const char MAGIC[8] = {'C', 'R', 'V', 'S', 'R', 'P', 'L', 'Y'};

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

size_t putNumber(uint8_t* out, uint32_t v) {
    size_t n = 0;
    do {
        out[n++] = uint8_t((v & 0x7f) | (v > 0x7f ? 0x80 : 0));
        v >>= 7;
    } while (v);
    return n;
}

// The header before the checksum, then everything after the header.
uint64_t checksum(const uint8_t* file, size_t size) {
    const uint64_t head = hashBytes(file, REPLAY_AT_CHECKSUM);
    const uint64_t body = hashBytes(file + REPLAY_HEADER_BYTES, size - REPLAY_HEADER_BYTES);
    return head ^ (body * 31);
}

} // namespace

size_t encodeInput(const Input& in, uint8_t* out) {
    uint8_t op = uint8_t(in.kind);
    if (in.inFrame) op |= INPUT_IN_FRAME;
    if (in.repeat) op |= INPUT_REPEAT;
    out[0] = op;
    size_t n = 1;
    switch (in.kind) {
    case INPUT_CLOCK:
    case INPUT_KEY_DOWN:
    case INPUT_KEY_UP:
        n += putNumber(out + n, zigzag(in.a));
        break;
    case INPUT_CLOCK_SAME:
        n += putNumber(out + n, uint32_t(in.a));
        break;
    case INPUT_PEN_DOWN:
    case INPUT_PEN_MOVE:
    case INPUT_PEN_UP:
        n += putNumber(out + n, zigzag(in.a));
        n += putNumber(out + n, zigzag(in.b));
        break;
    case INPUT_CHECK:
    case INPUT_END:
        put64(out + n, in.hash);
        n += 8;
        break;
    default:
        break;
    }
    return n;
}

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

uint32_t replayRules() {
    const uint64_t facts[2] = {WORLD_RULES, worldStateBytes()};
    return uint32_t(hashBytes(facts, sizeof facts));
}

void writeReplayHeader(uint8_t* h, size_t size, size_t worldBytes, const ReplayFacts& f) {
    std::memset(h, 0, REPLAY_HEADER_BYTES);
    std::memcpy(h, MAGIC, sizeof MAGIC);
    put32(h + REPLAY_AT_FORMAT, REPLAY_FORMAT);
    put32(h + REPLAY_AT_RULES, f.rules);
    put32(h + REPLAY_AT_FLAGS, f.flags);
    put32(h + REPLAY_AT_SEED, f.seed);
    put32(h + REPLAY_AT_FRAMES, f.frames);
    put32(h + REPLAY_AT_SCORE, uint32_t(f.score));
    put32(h + REPLAY_AT_LEVEL, uint32_t(f.level));
    put32(h + REPLAY_AT_WORLD_BYTES, uint32_t(worldBytes));
    put32(h + REPLAY_AT_INPUT_BYTES, uint32_t(size - REPLAY_HEADER_BYTES - worldBytes));
    put64(h + REPLAY_AT_END_HASH, f.endHash);
    put64(h + REPLAY_AT_DRAWS, f.draws);
    signReplay(h, size);
}

void signReplay(uint8_t* file, size_t size) {
    if (size >= REPLAY_HEADER_BYTES)
        put64(file + REPLAY_AT_CHECKSUM, checksum(file, size));
}

bool parseReplay(const std::string& bytes, ReplayFile& out, std::string& error) {
    const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
    const size_t size = bytes.size();
    if (size < REPLAY_HEADER_BYTES || std::memcmp(d, MAGIC, sizeof MAGIC) != 0) {
        error = "is not a replay of this game";
        return false;
    }
    const uint32_t format = get32(d + REPLAY_AT_FORMAT);
    if (format != REPLAY_FORMAT) {
        error = "is a replay of format " + std::to_string(format) + "; this build reads format " +
                std::to_string(REPLAY_FORMAT);
        return false;
    }
    ReplayFacts& f = out.facts;
    f.rules = get32(d + REPLAY_AT_RULES);
    if (f.rules != replayRules()) {
        error = "was recorded by a build whose game rules differ from this one's, so it cannot "
                "be played back";
        return false;
    }
    const uint64_t worldBytes = get32(d + REPLAY_AT_WORLD_BYTES);
    const uint64_t inputBytes = get32(d + REPLAY_AT_INPUT_BYTES);
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
    if (get64(d + REPLAY_AT_CHECKSUM) != checksum(d, size)) {
        error = "is damaged (its checksum does not match)";
        return false;
    }
    f.flags = get32(d + REPLAY_AT_FLAGS);
    if ((f.flags & ~REPLAY_ENDED_EARLY) != 0 || get32(d + REPLAY_AT_RESERVED) != 0) {
        error = "is damaged (its header has bits no recording sets)";
        return false;
    }
    out.worldAt = REPLAY_HEADER_BYTES;
    out.inputsAt = out.worldAt + size_t(worldBytes);
    out.inputsEnd = size;
    f.seed = get32(d + REPLAY_AT_SEED);
    f.draws = get64(d + REPLAY_AT_DRAWS);
    f.frames = get32(d + REPLAY_AT_FRAMES);
    f.score = int32_t(get32(d + REPLAY_AT_SCORE));
    f.level = int32_t(get32(d + REPLAY_AT_LEVEL));
    f.endHash = get64(d + REPLAY_AT_END_HASH);

    // Every record well formed, the frames as counted, one end at the very
    // end; a game that ended early has no world to compare at its end.
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
    if (!ended || in.hash != f.endHash || frames != f.frames || (f.endedEarly() && f.endHash != 0)) {
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
