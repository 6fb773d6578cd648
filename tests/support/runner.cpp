// Headless runner: the whole program under a controlled clock and timer, with
// events sent through the host window exactly as a desktop would send them.
#include <cstdlib>

#include "support/runner.h"
#include "ui/ui.h"

namespace {

constexpr int64_t CLOCK_START = 1700000000000;  // ms of the steady clock at a runner's start
constexpr int64_t FRAME_MS = 20;

int64_t manualNow = CLOCK_START;
int64_t manualClock() { return manualNow; }

} // namespace

void ensureTestApplication() {
    // Never deleted: Qt must not be torn down by static destructors.
    static PlatformApplication* application = nullptr;
    if (application)
        return;
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "corvus_test";
    static char* argv[] = {name, nullptr};
    application = new PlatformApplication(argc, argv);
}

HeadlessRunner::HeadlessRunner(const std::string& qpeRoot, uint32_t seed,
                               const std::string& configHome) {
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("QPEDIR", qpeRoot.c_str(), 1);
    configHome_ = configHome.empty() ? makeTempDir("config") : configHome;
    if (configHome_.back() != '/')
        configHome_ += '/';
    setenv("XDG_CONFIG_HOME", configHome_.c_str(), 1);
    ensureTestApplication();

    manualNow = CLOCK_START;
    setTimeSource(manualClock);
    testdriver::setManualTimer(true);

    // What an earlier run in this process may have left behind.
    clockBase = 0;
    frameInProgress = false;
    exitCountdown = 100;
    levelFrames = 0;
    lives = 0;
    score = 0;
    level = 1;
    gameAbandoned = false;
    turningLeft = turningRight = thrusting = false;
    randomSeedOverride = seed;

    if (!initApplication())
        std::abort();
    theWidget->start();
    setFocus(true);
    PlatformApplication::processEvents();
}

HeadlessRunner::~HeadlessRunner() {
    shutdown();
    randomSeedOverride = -1;
    setTimeSource(nullptr);
}

void HeadlessRunner::frames(int n) {
    for (int i = 0; i < n; ++i) {
        manualNow += FRAME_MS;
        testdriver::tick();
    }
}

void HeadlessRunner::advanceClock(int64_t ms) {
    manualNow += ms;
}

void HeadlessRunner::pressKey(int qtKey) {
    keyDown(qtKey);
    keyUp(qtKey);
}

void HeadlessRunner::keyDown(int qtKey, bool autoRepeat) { testdriver::sendKey(qtKey, true, autoRepeat); }
void HeadlessRunner::keyUp(int qtKey) { testdriver::sendKey(qtKey, false); }
void HeadlessRunner::penPress(int x, int y) { testdriver::sendMouse(x, y, 0); }
void HeadlessRunner::penMove(int x, int y) { testdriver::sendMouse(x, y, 1); }
void HeadlessRunner::penRelease(int x, int y) { testdriver::sendMouse(x, y, 2); }
void HeadlessRunner::setFocus(bool focused) { testdriver::setActive(focused); }

int32_t HeadlessRunner::nowMs() const { return int32_t(manualNow - CLOCK_START); }

std::string HeadlessRunner::settingsPath() const {
    return configHome_ + "corvusraiders/corvusraiders.conf";
}

std::string HeadlessRunner::configHome() const { return configHome_; }

uint16_t HeadlessRunner::screenPixel(int x, int y) const {
    const int orientation = DirectPainter::transformOrientation();
    const int rowPixels = (orientation == 1 || orientation == 3) ? DEVICE_HEIGHT : DEVICE_WIDTH;
    const uint8_t* fb = deviceFrameBuffer() + (size_t(y) * rowPixels + x) * 2;
    return uint16_t(fb[0] | (fb[1] << 8));
}
