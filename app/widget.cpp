// The game window: its heartbeat, the routing of keys, pen and focus to the
// input seam, and the full-screen sequence.
#include "app/app.h"
#include "app/replay.h"
#include "audio/audio.h"
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
    if (!setupResources())
        return false;
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
    if (applyPadState(state, seamPadKey))
        noteNonPointerInput();
}

namespace {
void penInput(InputKind kind, const PenEvent& e) {
    Input in{kind};
    in.a = e.x;
    in.b = e.y;
    seamInput(in);
}
void keyInput(InputKind kind, const KeyEvent& e) {
    Input in{kind};
    in.a = e.key;
    seamInput(in);
}
} // namespace

void GameWidget::mousePressEvent(const PenEvent& e) { penInput(INPUT_PEN_DOWN, e); }
void GameWidget::mouseReleaseEvent(const PenEvent& e) { penInput(INPUT_PEN_UP, e); }
void GameWidget::mouseMoveEvent(const PenEvent& e) { penInput(INPUT_PEN_MOVE, e); }

// In play, and for the six bound keys on every screen, a key acts the moment
// it is pressed; elsewhere any key acts and the host may first wait to see
// whether an Alt press starts Alt+Enter.
bool GameWidget::wantsKeyAtOnce(int key) const {
    const KeyBindings& k = keyBindings;
    return gameState == STATE_PLAYING || gameState == STATE_LEVEL_CLEARED ||
           gameState == STATE_NEXT_LEVEL || key == k.thrust || key == k.left ||
           key == k.right || key == k.shields || key == k.fire || key == k.pause;
}

void GameWidget::keyPressEvent(const KeyEvent& e) { keyInput(INPUT_KEY_DOWN, e); }
void GameWidget::keyReleaseEvent(const KeyEvent& e) { keyInput(INPUT_KEY_UP, e); }

// The window's part of a focus change stays here; what the game does about it
// passes the seam.
void GameWidget::focusInEvent() {
    enterFullScreen();
    suspended = false;
    resumeMusic();
    seamInput(Input{INPUT_FOCUS_IN});
}

void GameWidget::focusOutEvent() {
    fullScreenDone = false;
    suspended = true;
    pauseMusic();
    seamInput(Input{INPUT_FOCUS_OUT});
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
