// The host window: its first size, scale and placement on the screen,
// activation, full screen on the monitor, and the timer events it passes on.
#include <QGuiApplication>
#include <QScreen>
#include <QTimerEvent>

#include <algorithm>

#include "platform/internal.h"

int wholeScale(int w, int h, int fbW, int fbH) {
    if (fbW <= 0 || fbH <= 0)
        return 1;
    const int s = std::min(w / fbW, h / fbH);
    return s < 1 ? 1 : s;
}

DeviceWidget::Host::Host(DeviceWidget* d, int rotation) : device(d), orientation(rotation) {
    const bool turned = orientation == 1 || orientation == 3;
    physicalWidth = turned ? DEVICE_HEIGHT : DEVICE_WIDTH;
    physicalHeight = turned ? DEVICE_WIDTH : DEVICE_HEIGHT;

    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);  // moves without a button show a hidden pointer
    setMinimumSize(physicalWidth, physicalHeight);

    // Start at the chosen scale, or the largest whole scale that fits the
    // screen's free area.
    int s = hostLaunch.scale > 0 ? hostLaunch.scale : 1;
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && hostLaunch.scale <= 0) {
        const QRect avail = screen->availableGeometry();
        // Leave room for the window frame and title bar.
        constexpr int FRAME_ALLOWANCE = 64;  // pixels
        s = wholeScale(avail.width() - FRAME_ALLOWANCE / 2, avail.height() - FRAME_ALLOWANCE,
                       physicalWidth, physicalHeight);
    }
    resize(physicalWidth * s, physicalHeight * s);
    // Shown later by the game; it then opens on the whole monitor.
    if (hostLaunch.fullScreen)
        setWindowState(Qt::WindowFullScreen);
}

int DeviceWidget::Host::scale() const {
    return wholeScale(width(), height(), physicalWidth, physicalHeight);
}

QPoint DeviceWidget::Host::origin() const {
    const int s = scale();
    return QPoint((width() - physicalWidth * s) / 2, (height() - physicalHeight * s) / 2);
}

void DeviceWidget::Host::setDeviceActive(bool on) {
    if (on == active)
        return;
    // A release that came before the change goes first. Keys held while the
    // window is left never send their releases here: the device lets go of
    // them on focusOut, and an Alt press still waiting is forgotten (the
    // desktop's Alt+Tab, not a key of the game).
    flushRelease();
    active = on;
    altHeld_ = false;
    downCount_ = 0;
    if (on)
        device->focusInEvent();
    else
        device->focusOutEvent();
}

// Keeps a maximised window maximised underneath.
void DeviceWidget::Host::toggleMonitorFullScreen() {
    setWindowState(windowState() ^ Qt::WindowFullScreen);
}

void DeviceWidget::Host::changeEvent(QEvent* e) {
    // Under the test driver, activation comes from testdriver::setActive only.
    if (e->type() == QEvent::ActivationChange && !manualTimer)
        setDeviceActive(isActiveWindow());
    QWidget::changeEvent(e);
}

void DeviceWidget::Host::timerEvent(QTimerEvent* e) {
    if (manualTimer)
        return;
    for (const DeviceTimer& t : timers) {
        if (t.qtId == e->timerId() && t.widget == device) {
            device->timerEvent();
            return;
        }
    }
}

QWidget* hostWindow(DeviceWidget* w) {
    return w ? w->host() : nullptr;
}
