// The host window: its size, whole scale and placement in native pixels (first
// on the screen it opens on, again on a new ratio), activation, full screen on
// the monitor, and the timer events it passes on.
#include <QGuiApplication>
#include <QScreen>
#include <QTimerEvent>
#include <QWindow>

#include <algorithm>

#include "platform/internal.h"

int wholeScale(int w, int h, int fbW, int fbH) {
    if (fbW <= 0 || fbH <= 0)
        return 1;
    const int s = std::min(w / fbW, h / fbH);
    return s < 1 ? 1 : s;
}

namespace {

// Room left on the screen for the window frame and title bar, window pixels.
constexpr int FRAME_ALLOWANCE = 64;

// The fewest window pixels that Qt turns into at least `native` native pixels
// (it rounds a window size times the ratio to the nearest pixel).
int windowPixelsCovering(int native, qreal ratio) {
    int n = int(native / ratio);
    while (qRound(n * ratio) < native)
        ++n;
    return n;
}

} // namespace

DeviceWidget::Host::Host(DeviceWidget* d, int rotation) : device(d), orientation(rotation) {
    const bool turned = orientation == 1 || orientation == 3;
    physicalWidth = turned ? DEVICE_HEIGHT : DEVICE_WIDTH;
    physicalHeight = turned ? DEVICE_WIDTH : DEVICE_HEIGHT;

    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);  // moves without a button show a hidden pointer

    // Not shown yet: its screen is the one it will open on.
    sizedRatio_ = nativeRatio();
    setMinimumSize(sizeAt(1, sizedRatio_));
    resize(chosenSize(screen()));
    // Shown later by the game; it then opens on the whole monitor.
    if (hostLaunch.fullScreen)
        setWindowState(Qt::WindowFullScreen);
}

QSize DeviceWidget::Host::chosenSize(const QScreen* on) const {
    const qreal ratio = on ? on->devicePixelRatio() : 1.0;
    int s = hostLaunch.scale > 0 ? hostLaunch.scale : 1;
    if (on && hostLaunch.scale <= 0) {
        const QSize free =
            (on->availableGeometry().size() - QSize(FRAME_ALLOWANCE / 2, FRAME_ALLOWANCE)) * ratio;
        s = wholeScale(free.width(), free.height(), physicalWidth, physicalHeight);
    }
    return sizeAt(s, ratio);
}

QSize DeviceWidget::Host::sizeAt(int scale, qreal ratio) const {
    return QSize(windowPixelsCovering(physicalWidth * scale, ratio),
                 windowPixelsCovering(physicalHeight * scale, ratio));
}

qreal DeviceWidget::Host::nativeRatio() const {
    if (const QWindow* w = windowHandle())
        return w->devicePixelRatio();
    const QScreen* on = screen();
    return on ? on->devicePixelRatio() : 1.0;
}

void DeviceWidget::Host::followRatio() {
    const qreal ratio = nativeRatio();
    if (ratio == sizedRatio_)
        return;
    sizedRatio_ = ratio;
    setMinimumSize(sizeAt(1, ratio));
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen)))
        resize(chosenSize(screen()));
    update();
}

DeviceWidget::Host::Placement DeviceWidget::Host::placement() const {
    return placementAt(nativeRatio());
}

// Qt sizes the backing store as the window's size times the ratio, each side
// rounded to the nearest pixel; the picture is placed in exactly that.
DeviceWidget::Host::Placement DeviceWidget::Host::placementAt(qreal ratio) const {
    const QSize native = size() * ratio;
    const int s = wholeScale(native.width(), native.height(), physicalWidth, physicalHeight);
    return Placement{ratio, s,
                     QPoint((native.width() - physicalWidth * s) / 2,
                            (native.height() - physicalHeight * s) / 2)};
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
