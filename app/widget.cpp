// The game window: its heartbeat, the routing of keys, pen and focus to the
// game, the full-screen sequence, and the game clock.
#include <SDL/SDL_mixer.h>

#include "app/app.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "ui/ui.h"

GameWidget* GameWidget::instance = nullptr;

namespace {
const char* const WIDGET_NAME = "GameLibrary";
constexpr int FRAME_PERIOD = 20;  // ms between frames

// The drawing code takes the row length from these.
void trackSize(const DeviceWidget* w) {
    widgetWidth = w->width();
    widgetHeight = w->height();
}
} // namespace

GameWidget::GameWidget() : DeviceWidget(WIDGET_NAME, WIDGET_STYLE_CUSTOMIZE) {
    suspended = true;
    fullScreenDone = false;
    instance = this;
    trackSize(this);
}

GameWidget::~GameWidget() {
    if (instance == this)
        instance = nullptr;
}

bool GameWidget::start() {
    PlatformApplication::showMainWidget(this, false);
    setupResources();
    startTimer(FRAME_PERIOD);
    return true;
}

// The pad is read where the frame starts, so its controls act on the state
// the frame then shows, like keys that arrived since the last frame.
void GameWidget::timerEvent() {
    if (isVisible() && isActiveWindow() && !suspended) {
        pollPad();
        runFrame();
    }
}

void GameWidget::pollPad() {
    PadState state;
    if (frameInProgress || !padReader || !padReader(state))
        return;
    if (applyPadState(state))
        noteNonPointerInput();
}

void GameWidget::mousePressEvent(const PenEvent& e) { onPenPress(e.x, e.y); }
void GameWidget::mouseReleaseEvent(const PenEvent& e) { onPenRelease(e.x, e.y); }
void GameWidget::mouseMoveEvent(const PenEvent& e) { onPenMove(e.x, e.y); }

// In play a key acts the moment it is pressed; elsewhere any key acts and the
// host may first wait to see whether an Alt press starts Alt+Enter.
bool GameWidget::wantsKeysAtOnce() const {
    return gameState == STATE_PLAYING || gameState == STATE_LEVEL_CLEARED ||
           gameState == STATE_NEXT_LEVEL;
}

void GameWidget::keyPressEvent(const KeyEvent& e) {
    if (!e.autoRepeat)
        onKeyPress(e.key);
}

void GameWidget::keyReleaseEvent(const KeyEvent& e) {
    if (!e.autoRepeat)
        onKeyRelease(e.key);
}

void GameWidget::focusInEvent() {
    enterFullScreen();
    suspended = false;
    Mix_ResumeMusic();
}

void GameWidget::focusOutEvent() {
    fullScreenDone = false;
    suspended = true;
    Mix_PauseMusic();
    // A key held while the window loses the focus never sends its release to
    // us, so the held controls are let go here: the ship stops turning and
    // thrusting until the player presses again.
    turningLeft = false;
    turningRight = false;
    thrusting = false;
    forgetPadControls();
}

void GameWidget::resizeEvent() {
    trackSize(this);
    if (width() != desktopWidth() || height() != desktopHeight()) {
        fullScreenDone = false;
        enterFullScreen();
    }
}

void GameWidget::enterFullScreen() {
    if (fullScreenDone)
        return;
    setFixedSize(desktopWidth(), desktopHeight());
    showNormal();
    setWFlags(WIDGET_STYLE_CUSTOMIZE);
    showFullScreen();
    fullScreenDone = true;
}

int32_t gameClock() {
    const int64_t now = steadyClockMs();
    if (clockBase == 0) {
        clockBase = now;
        return 0;
    }
    // Low 32 bits only: the reading wraps after 2^32 ms.
    return int32_t(uint32_t(now) - uint32_t(clockBase));
}
