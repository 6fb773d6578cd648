// The test driver: runs the real program without a display, firing timer
// ticks itself and sending real host events to the latest host window.
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "platform/internal.h"
#include "platform/testdriver.h"

namespace testdriver {

void setManualTimer(bool manual) {
    manualTimer = manual;
    if (!manual)
        return;
    for (DeviceTimer& t : timers) {
        if (t.qtId) {
            t.widget->host()->killTimer(t.qtId);
            t.qtId = 0;
        }
    }
}

void tick() {
    for (DeviceWidget::Host* h : hosts)
        h->flushRelease();  // as the host's own timer event does
    // Copy first: a timer event may end up creating or deleting widgets.
    const std::vector<DeviceTimer> now = timers;
    for (const DeviceTimer& t : now)
        t.widget->timerEvent();
}

void sendKey(int qtKey, bool press, bool autoRepeat, unsigned long timestamp) {
    DeviceWidget::Host* h = currentHost();
    if (!h)
        return;
    static unsigned long lastTime = 0;
    lastTime = timestamp ? timestamp : lastTime + 1;
    QKeyEvent e(press ? QEvent::KeyPress : QEvent::KeyRelease, qtKey, Qt::NoModifier, QString(),
                autoRepeat);
    e.setTimestamp(lastTime);
    QCoreApplication::sendEvent(h, &e);
}

void sendMouse(int deviceX, int deviceY, int kind) {
    DeviceWidget::Host* h = currentHost();
    if (!h)
        return;
    const QPointF local = h->mapFromDevice(deviceX, deviceY);
    const QPointF global = h->mapToGlobal(local);
    QEvent::Type type = QEvent::MouseButtonPress;
    Qt::MouseButton button = Qt::LeftButton;
    Qt::MouseButtons buttons = Qt::LeftButton;
    if (kind == 1) {
        type = QEvent::MouseMove;
        button = Qt::NoButton;
    } else if (kind == 2) {
        type = QEvent::MouseButtonRelease;
        buttons = Qt::NoButton;
    }
    QMouseEvent e(type, local, global, button, buttons, Qt::NoModifier);
    QCoreApplication::sendEvent(h, &e);
}

void setActive(bool active) {
    if (DeviceWidget::Host* h = currentHost())
        h->setDeviceActive(active);
}

void resizeWindowToScale(int scale) {
    if (DeviceWidget::Host* h = currentHost())
        h->resize(h->sizeAt(scale, h->nativeRatio()));
}

} // namespace testdriver
