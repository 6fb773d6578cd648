// Fuzz target: a replay file of any content is read and checked, and one that
// passes is played back, its first frames, on the real game objects. The
// file's checksum is set right first, so that the fuzzer reaches the header,
// the starting world and the records behind it. Nothing may crash, hang or
// reach the exit screen (which would end the process).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "app/app.h"
#include "app/replay.h"
#include "fuzz/target.h"
#include "game/game.h"

namespace {

constexpr int MAX_FRAMES = 20;       // frames played of an input that passes the checks

void setUp() {
    startPlatform();
    for (int n = 1; n <= 9; ++n)
        std::snprintf(picturePaths[n], PATH_SIZE, "%s/pp%d", CORVUS_DATA_DIR, n);
    allocateBuffers();
    if (!loadAllPictures()) std::abort();
    createSprites();
    buildDirectionTables();
    replayMode = ReplayMode::VERIFY;
    seamUseSource(InputSource::PLAYED);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (setUp(), true);
    (void)ready;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    signReplay(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    ReplayFile file;
    std::string error;
    if (!parseReplay(bytes, file, error) || !playerStart(file, error)) return 0;
    for (int i = 0; i < MAX_FRAMES && !playerFinished(); ++i) runFrame();
    if (gameState == STATE_EXITING) std::abort();
    return 0;
}

// The shortest recorded game of the suite, whole and cut short (the longer
// ones would only slow every run down).
void writeSeeds(const std::string& dir) {
    std::ostringstream text;
    text << std::ifstream(CORVUS_SOURCE_DIR "/tests/replays/quit.replay", std::ios::binary).rdbuf();
    const std::string whole = text.str();
    writeInput(dir + "/quit", whole.data(), whole.size());
    writeInput(dir + "/quit-cut", whole.data(), whole.size() / 2);
}
