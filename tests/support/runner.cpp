// Headless runner: the whole program under a controlled clock and timer, with
// events sent through the host window exactly as a desktop would send them.
#include <cstdlib>
#include <string_view>

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
    // Offscreen, keeping the options a test program gave it (monitors of its own).
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (!platform || std::string_view(platform).substr(0, 9) != "offscreen")
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
    setenv("XDG_CONFIG_HOME", (configHome.empty() ? makeTempDir("config") : configHome).c_str(), 1);
    // The recorded games go beside the settings.
    setenv("XDG_STATE_HOME", (configHome.empty() ? makeTempDir("state") : configHome + "state").c_str(), 1);
    ensureTestApplication();

    manualNow = CLOCK_START;
    setTimeSource(manualClock);
    testdriver::setManualTimer(true);

    // What an earlier run in this process left behind (the shell's own
    // state goes in initApplication).
    resetWorldState(WorldReset::RUN);
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

void HeadlessRunner::advanceClock(int64_t ms) { manualNow += ms; }

uint16_t HeadlessRunner::screenPixel(int x, int y) const {
    const int orientation = DirectPainter::transformOrientation();
    const int rowPixels = (orientation == 1 || orientation == 3) ? DEVICE_HEIGHT : DEVICE_WIDTH;
    const uint8_t* fb = testdriver::deviceFrameBuffer() + (size_t(y) * rowPixels + x) * 2;
    return uint16_t(fb[0] | (fb[1] << 8));
}
