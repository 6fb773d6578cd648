// Cost of one composed frame in each kind of game state, of the presentation
// copies, and of a plain memcpy of the back buffer (the floor).
//
// Every world frame starts from the same saved world, so each iteration does
// the same work: the restore is measured on its own (Restore) so that it can
// be taken off. The game clock is frozen, so animations hold their frames and
// one-shot explosions never end.
//
// Usage: corvus_bench [benchmark options]
//        corvus_bench --count KIND N   runs N frames of KIND and nothing else,
//        for instruction counts under callgrind (see bench/README.md).
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "app/app.h"
#include "app/replay.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "platform/platform.h"
#include "platform/testdriver.h"
#include "ui/ui.h"

namespace {

constexpr int DATA_PICTURES = 9;

int64_t frozenClock() { return 1'000'000; }

alignas(64) uint8_t framebuffer[SCREEN_BYTES];

// ---------------------------------------------------------------------------
// Set-up: the real pictures when the build has painted them, else a pattern
// with transparent holes of the same sizes.
// ---------------------------------------------------------------------------
struct PictureSlot {
    Picture** record;
    uint16_t** pixels;
    int width, height;
};

void patternPictures() {
    const PictureSlot slots[] = {
        {&backgroundPicture, &backgroundPixels, 240, 320}, {&titlePicture, &titlePixels, 240, 320},
        {&exitPicture, &exitPixels, 240, 180},             {&menuItemSheet, &menuItemPixels, 142, 200},
        {&menuPicture, &menuPixels, 240, 100},             {&textSheet, &textSheetPixels, 500, 300},
        {&bannerPicture, &bannerPixels, 240, 60},          {&rockSheet, &rockSheetPixels, 200, 850},
        {&by64Sheet, &by64SheetPixels, 774, 459},
    };
    uint32_t seed = 12345;
    for (const PictureSlot& s : slots) {
        *s.record = new Picture{s.width, s.height};
        for (int i = 0; i < s.width * s.height; ++i) {
            seed = seed * 1103515245u + 12345u;
            // About a third transparent, like the sprite sheets.
            (*s.pixels)[i] = (seed >> 16) % 3 == 0 ? 0 : uint16_t(seed >> 8) | 1;
        }
    }
}

bool realPictures() {
    for (int n = 1; n <= DATA_PICTURES; ++n) {
        std::snprintf(picturePaths[n], PATH_SIZE, "%s/pp%d", CORVUS_DATA_DIR, n);
        struct stat st {};
        if (stat(picturePaths[n], &st) != 0) return false;
    }
    return loadAllPictures();
}

// ---------------------------------------------------------------------------
// A saved world: every sprite by value and the globals a frame changes.
// ---------------------------------------------------------------------------
std::vector<Sprite*> everySprite() {
    std::vector<Sprite*> all;
    auto add = [&](auto& arr) { for (Sprite* s : arr) all.push_back(s); };
    add(shipSprites); add(shotSprites); add(scoreDigits); add(highScoreDigits);
    add(levelDigits); add(bigRocks); add(bigRockExplosions); add(mediumRocks);
    add(mediumRockExplosions); add(smallRocks); add(menuItemSprites);
    for (Sprite* s : {bonusCarrier, powerUpIcon, bossShip, bossShot, levelLabel, messageSprite,
                      keyPromptSprite, keyInUseSprite, livesDigit, livesIcon, shipExplosion,
                      bossExplosion, driftingScenery, carrierExplosion, bossHitFlash, shieldSprite,
                      bossWarp, trackNameSprite})
        all.push_back(s);
    return all;
}

// The world's globals that a play frame changes, as raw blocks of memory.
struct Block {
    void* address;
    size_t bytes;
};
#define WORLD_BLOCK(v) Block{&(v), sizeof(v)}
const Block WORLD_BLOCKS[] = {
    WORLD_BLOCK(gameState), WORLD_BLOCK(levelFrames), WORLD_BLOCK(rocksLeft),
    WORLD_BLOCK(lives), WORLD_BLOCK(score), WORLD_BLOCK(shipDirection),
    WORLD_BLOCK(levelBannerTimer), WORLD_BLOCK(highScoreMessageTimer),
    WORLD_BLOCK(powerUpIconBlink), WORLD_BLOCK(levelEndTimer), WORLD_BLOCK(respawnDelay),
    WORLD_BLOCK(gameOverTimer), WORLD_BLOCK(nextCarrierFrame), WORLD_BLOCK(powerUpEndFrame),
    WORLD_BLOCK(powerUpIndex), WORLD_BLOCK(shieldFullFlash), WORLD_BLOCK(shieldEnergy),
    WORLD_BLOCK(shipVelocityX), WORLD_BLOCK(shipVelocityY), WORLD_BLOCK(shotDistance),
    WORLD_BLOCK(shieldsUp), WORLD_BLOCK(lowShieldWarned), WORLD_BLOCK(carrierFlying),
    WORLD_BLOCK(powerUpRunning), WORLD_BLOCK(newHighScore), WORLD_BLOCK(boss),
    WORLD_BLOCK(powerUpTable), WORLD_BLOCK(level),
};
#undef WORLD_BLOCK

// A saved world: every sprite and every block above.
struct World {
    std::vector<Sprite*> sprites;
    std::vector<Sprite> copies;
    std::vector<unsigned char> globals;

    void save() {
        sprites = everySprite();
        copies.clear();
        for (Sprite* s : sprites) copies.push_back(*s);
        globals.clear();
        for (const Block& b : WORLD_BLOCKS) {
            const auto* bytes = static_cast<const unsigned char*>(b.address);
            globals.insert(globals.end(), bytes, bytes + b.bytes);
        }
    }

    void restore() const {
        for (size_t i = 0; i < sprites.size(); ++i) *sprites[i] = copies[i];
        const unsigned char* from = globals.data();
        for (const Block& b : WORLD_BLOCKS) {
            std::memcpy(b.address, from, b.bytes);
            from += b.bytes;
        }
    }
};

World levelOneWorld, busyWorld;

void place(Sprite* s, float x, float y, float vx = 0.0f, float vy = 0.0f) {
    s->x = x;
    s->y = y;
    s->vx = vx;
    s->vy = vy;
    s->active = true;
}

// Level 1 as it starts: three big rocks, the shield up, the banner showing.
void buildLevelOne() {
    newGame();
    setupLevel();
    levelOneWorld.save();
}

// Level 10 at its busiest: boss and its shot, every explosion, five shots, the
// carrier, the scenery, a power-up icon, and rocks of every size.
void buildBusy() {
    newGame();
    level = 10;
    setupLevel();
    for (int i = 0; i < MEDIUM_ROCKS; ++i) place(mediumRocks[i], 10.0f + 35.0f * i, 200.0f, mediumRocks[i]->vx, mediumRocks[i]->vy);
    for (int i = 0; i < SMALL_ROCKS; ++i) place(smallRocks[i], 5.0f + 19.0f * i, 240.0f, smallRocks[i]->vx, smallRocks[i]->vy);
    rocksLeft = 12;
    for (int i = 0; i < BIG_ROCKS; ++i) place(bigRockExplosions[i], 20.0f + 40.0f * i, 40.0f * i, 0.3f, 0.2f);
    for (int i = 0; i < MEDIUM_ROCKS; ++i) place(mediumRockExplosions[i], 30.0f * i, 150.0f, -0.2f, 0.1f);
    place(shipExplosion, 20.0f, 260.0f);
    place(bossExplosion, 150.0f, 250.0f);
    place(carrierExplosion, 160.0f, 30.0f);
    place(bossHitFlash, 90.0f, 110.0f);
    place(bossShip, 70.0f, 90.0f, 0.9f, -0.9f);
    boss.bossAlive = true;
    boss.bossBoxLeft = 10; boss.bossBoxTop = 20; boss.bossBoxRight = 170; boss.bossBoxBottom = 170;
    boss.bossShotRange = 100;
    boss.bossShotTravel = 0;
    place(bossShot, 30.0f, 30.0f, 2.0f, 3.0f);
    for (int j = 0; j < SHOT_SLOTS; ++j) {
        place(shotSprites[j], 200.0f, 20.0f + 60.0f * j, float(headingX[4 * j % 16] * 6.0), float(headingY[4 * j % 16] * 6.0));
        shotDistance[j] = 0.0f;
    }
    shotSlots = SHOT_SLOTS;
    powerUpIndex = 0;
    place(bonusCarrier, 120.0f, 60.0f, bonusCarrier->vx, 0.0f);
    carrierFlying = true;
    powerUpIcon->active = true;
    powerUpIconBlink = 14;
    powerUpRunning = true;
    powerUpEndFrame = 1'000'000;
    // The ship stays shielded without draining.
    shieldsUp = false;
    shieldEnergy = SHIELD_FULL;
    shieldSprite->active = true;
    busyWorld.save();
}

void setUpOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    setTimeSource(&frozenClock);
    clockBase = 0;
    gameClock();
    allocateBuffers();
    if (!realPictures()) patternPictures();
    createSprites();
    buildDirectionTables();
    seedWorldRandom(2024);
    buildLevelOne();
    buildBusy();
    std::memcpy(pauseSnapshot, backgroundPixels, SCREEN_BYTES);
}

// ---------------------------------------------------------------------------
// One frame of each kind, composed as the frame driver composes it.
// ---------------------------------------------------------------------------
void playFrame(const World& w) {
    w.restore();
    std::memcpy(backBuffer, backgroundPixels, SCREEN_BYTES);
    updateGame();
    ++levelFrames;
}

void menuFrame(GameState state) {
    gameState = state;
    composeFrame();
}

// The desktop side of presenting: a host window at scale 3 (offscreen Qt) is
// handed a frame and repaints what changed. "hoststill" presents the same
// frame again (the comparison alone); "hostplay" presents a level-1 and a busy
// play frame by turns, so every sprite of either frame changes its tiles.
uint16_t stillFrame[SCREEN_PIXELS], playFrames[2][SCREEN_PIXELS];
int nextPlayFrame = 0;

void setUpHost() {
    static bool done = false;
    if (done) return;
    done = true;
    static int argc = 1;
    static char name[] = "corvus_bench";
    static char* argv[] = {name, nullptr};
    new PlatformApplication(argc, argv);
    auto* w = new DeviceWidget("Bench", WIDGET_STYLE_CUSTOMIZE);
    w->showNormal();
    constexpr int HOST_SCALE = 3;
    testdriver::resizeWindowToScale(HOST_SCALE);
    playFrame(levelOneWorld);
    std::memcpy(playFrames[0], backBuffer, SCREEN_BYTES);
    playFrame(busyWorld);
    std::memcpy(playFrames[1], backBuffer, SCREEN_BYTES);
    menuFrame(STATE_MENU);
    std::memcpy(stillFrame, backBuffer, SCREEN_BYTES);
}

void hostFrame(const uint16_t* frame) {
    {
        DirectPainter painter(nullptr);
        std::memcpy(painter.frameBuffer(), frame, SCREEN_BYTES);
    }
    PlatformApplication::processEvents();
}

// A game under way is recorded: the input that starts it passes the seam on
// the menu, as a player's key would.
void startRecording() {
    static bool done = false;
    if (done) return;
    done = true;
    gameState = STATE_MENU;
    Input start{INPUT_KEY_DOWN};
    start.a = 'N';
    seamInput(start);
}

void runKind(const std::string& kind) {
    if (kind == "memcpy") std::memcpy(framebuffer, backBuffer, SCREEN_BYTES);
    else if (kind == "restore") busyWorld.restore();
    else if (kind == "level1") playFrame(levelOneWorld);
    else if (kind == "busy") playFrame(busyWorld);
    else if (kind == "busyrecorded") {
        // The frame's steps at the seam around it, every clock reading recorded.
        startRecording();
        seamFrameBegin();
        playFrame(busyWorld);
        seamFrameEnd();
    }
    else if (kind == "menu") menuFrame(STATE_MENU);
    else if (kind == "pause") menuFrame(STATE_PAUSED);
    else if (kind == "present0") presentFrame(framebuffer, 0);
    else if (kind == "present1") presentFrame(framebuffer, 1);
    else if (kind == "present3") presentFrame(framebuffer, 3);
    else if (kind == "hoststill") hostFrame(stillFrame);
    else if (kind == "hostplay") hostFrame(playFrames[nextPlayFrame ^= 1]);
    else {
        std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
        std::exit(2);
    }
}

void frameBenchmark(benchmark::State& st, const char* kind) {
    setUpOnce();
    const std::string k = kind;
    if (k.rfind("host", 0) == 0) setUpHost();
    for (auto _ : st) {
        runKind(k);
        benchmark::DoNotOptimize(backBuffer[0]);
        benchmark::DoNotOptimize(framebuffer[0]);
        benchmark::ClobberMemory();
    }
}

BENCHMARK_CAPTURE(frameBenchmark, MemcpyFloor, "memcpy");
BENCHMARK_CAPTURE(frameBenchmark, Restore, "restore");
BENCHMARK_CAPTURE(frameBenchmark, PlayLevel1, "level1");
BENCHMARK_CAPTURE(frameBenchmark, PlayBusyLevel10, "busy");
BENCHMARK_CAPTURE(frameBenchmark, PlayBusyLevel10Recorded, "busyrecorded");
BENCHMARK_CAPTURE(frameBenchmark, Menu, "menu");
BENCHMARK_CAPTURE(frameBenchmark, Pause, "pause");
BENCHMARK_CAPTURE(frameBenchmark, Present0, "present0");
BENCHMARK_CAPTURE(frameBenchmark, Present1, "present1");
BENCHMARK_CAPTURE(frameBenchmark, Present3, "present3");
BENCHMARK_CAPTURE(frameBenchmark, HostStill, "hoststill");
BENCHMARK_CAPTURE(frameBenchmark, HostPlay, "hostplay");

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--count") == 0) {
        setUpOnce();
        const std::string kind = argv[2];
        if (kind.rfind("host", 0) == 0) setUpHost();
        const int n = std::atoi(argv[3]);
        for (int i = 0; i < n; ++i) runKind(kind);
        std::printf("%s x %d done (%04x)\n", kind.c_str(), n, backBuffer[1000] ^ framebuffer[1000]);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
