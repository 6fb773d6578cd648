// The mouse as the device's pen: window pixels to device pixels and back, the
// pen stroke, and the pointer that hides while keys or a pad are used.
#include <QCursor>
#include <QMouseEvent>

#include <algorithm>

#include "platform/internal.h"

bool DeviceWidget::Host::mapToDevice(QPoint window, int& x, int& y) const {
    const int s = scale();
    const QPoint o = origin();
    const int dx = window.x() - o.x();
    const int dy = window.y() - o.y();
    // Floor division, so the border left of and above the screen stays negative.
    const int col = dx >= 0 ? dx / s : -((-dx + s - 1) / s);
    const int row = dy >= 0 ? dy / s : -((-dy + s - 1) / s);
    const bool inside = col >= 0 && col < physicalWidth && row >= 0 && row < physicalHeight;
    switch (orientation) {
    case 1:  // device (x, y) is shown at column y, row 239 - x
        x = DEVICE_WIDTH - 1 - row;
        y = col;
        break;
    case 3:  // device (x, y) is shown at column 319 - y, row x
        x = row;
        y = DEVICE_HEIGHT - 1 - col;
        break;
    case 2:
        x = DEVICE_WIDTH - 1 - col;
        y = DEVICE_HEIGHT - 1 - row;
        break;
    default:
        x = col;
        y = row;
        break;
    }
    return inside;
}

QPoint DeviceWidget::Host::mapFromDevice(int x, int y) const {
    int col = x, row = y;
    switch (orientation) {
    case 1: col = y; row = DEVICE_WIDTH - 1 - x; break;
    case 3: col = DEVICE_HEIGHT - 1 - y; row = x; break;
    case 2: col = DEVICE_WIDTH - 1 - x; row = DEVICE_HEIGHT - 1 - y; break;
    default: break;
    }
    const int s = scale();
    const QPoint o = origin();
    return QPoint(o.x() + col * s + s / 2, o.y() + row * s + s / 2);
}
void DeviceWidget::Host::hidePointer() {
    if (pointerHidden_)
        return;
    pointerHidden_ = true;
    hiddenAt_ = QCursor::pos(screen());
    setCursor(Qt::BlankCursor);
}

void DeviceWidget::Host::showPointer() {
    if (!pointerHidden_)
        return;
    pointerHidden_ = false;
    unsetCursor();
}

// The pen is the left mouse button: a press on the screen (not the border)
// starts a stroke, moves with the button held continue it, the release ends
// it. Points of a stroke that stray into the border are clamped to the screen.
void DeviceWidget::Host::mousePressEvent(QMouseEvent* e) {
    showPointer();
    if (e->button() != Qt::LeftButton)
        return;
    int x, y;
    if (!mapToDevice(e->position().toPoint(), x, y))
        return;
    penDown_ = true;
    device->mousePressEvent(PenEvent{x, y});
}

namespace {
PenEvent clampedPen(int x, int y) {
    return PenEvent{std::clamp(x, 0, DEVICE_WIDTH - 1), std::clamp(y, 0, DEVICE_HEIGHT - 1)};
}
} // namespace

void DeviceWidget::Host::mouseMoveEvent(QMouseEvent* e) {
    // A window that moves or resizes under a still pointer is no mouse use.
    if (e->globalPosition() != hiddenAt_)
        showPointer();
    if (!penDown_ || !(e->buttons() & Qt::LeftButton))
        return;
    int x, y;
    mapToDevice(e->position().toPoint(), x, y);
    device->mouseMoveEvent(clampedPen(x, y));
}

void DeviceWidget::Host::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !penDown_)
        return;
    penDown_ = false;
    int x, y;
    mapToDevice(e->position().toPoint(), x, y);
    device->mouseReleaseEvent(clampedPen(x, y));
}

void noteNonPointerInput() {
    for (DeviceWidget::Host* h : hosts)
        h->hidePointer();
}
