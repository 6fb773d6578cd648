// The mouse as the device's pen: window pixels to device pixels and back, the
// pen stroke, and the pointer that hides while keys or a pad are used.
#include <QCursor>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

#include "platform/internal.h"

namespace {

// Qt hands a native pixel's position on as window pixels, native / ratio,
// which can come back a rounding error short of the native pixel when
// multiplied again; this much more (native pixels) is taken before rounding
// down. Positions between native pixels (Wayland's) stay far from it.
constexpr qreal ROUNDING_ALLOWANCE = 1.0 / 1024;

// Rounds the quotient down, so the border left of and above the screen stays negative.
int floorDiv(int a, int b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

} // namespace

bool DeviceWidget::Host::mapToDevice(QPointF window, int& x, int& y) const {
    const Placement at = placement();
    const int nx = int(std::floor(window.x() * at.ratio + ROUNDING_ALLOWANCE));
    const int ny = int(std::floor(window.y() * at.ratio + ROUNDING_ALLOWANCE));
    const int col = floorDiv(nx - at.origin.x(), at.scale);
    const int row = floorDiv(ny - at.origin.y(), at.scale);
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

// The middle of the native pixel in the middle of the pixel's block.
QPointF DeviceWidget::Host::mapFromDevice(int x, int y) const {
    int col = x, row = y;
    switch (orientation) {
    case 1: col = y; row = DEVICE_WIDTH - 1 - x; break;
    case 3: col = DEVICE_HEIGHT - 1 - y; row = x; break;
    case 2: col = DEVICE_WIDTH - 1 - x; row = DEVICE_HEIGHT - 1 - y; break;
    default: break;
    }
    const Placement at = placement();
    const qreal half = 0.5;  // native pixels: the middle of one
    return QPointF((at.origin.x() + col * at.scale + at.scale / 2 + half) / at.ratio,
                   (at.origin.y() + row * at.scale + at.scale / 2 + half) / at.ratio);
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
// An event's place is taken as the window got it (its scene position: the
// host is a window of its own): on its way to the widget, Qt rounds it to a
// whole window pixel, which at a fractional ratio can be a native pixel off.
void DeviceWidget::Host::mousePressEvent(QMouseEvent* e) {
    showPointer();
    if (e->button() != Qt::LeftButton)
        return;
    int x, y;
    if (!mapToDevice(e->scenePosition(), x, y))
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
    mapToDevice(e->scenePosition(), x, y);
    device->mouseMoveEvent(clampedPen(x, y));
}

void DeviceWidget::Host::mouseReleaseEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton || !penDown_)
        return;
    penDown_ = false;
    int x, y;
    mapToDevice(e->scenePosition(), x, y);
    device->mouseReleaseEvent(clampedPen(x, y));
}

void noteNonPointerInput() {
    for (DeviceWidget::Host* h : hosts)
        h->hidePointer();
}
