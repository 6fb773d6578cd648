// The desktop window behind the emulated device screen. Only platform/ code
// and tests include this header: it brings in Qt.
//
// The host window shows the device framebuffer (portrait 240 x 320, or
// landscape 320 x 240 when the display is turned a quarter turn) scaled by a
// whole factor, nearest neighbour, centred on black. It turns host key, mouse,
// activation and timer events into the device widget's event virtuals.
#pragma once

#include <QWidget>

#include "platform/platform.h"

struct DeviceWidget::Host : public QWidget {
    Host(DeviceWidget* device, int orientation);

    DeviceWidget* device;
    int orientation;           // display rotation fixed at creation, 0..3
    int physicalWidth;         // framebuffer pixels per row: 240, or 320 when turned
    int physicalHeight;        // framebuffer rows

    // Device widget state as the game sees it.
    bool visible = false;
    bool active = false;
    bool fullScreen = false;
    int clientWidth = DEVICE_WIDTH;   // pixels
    int clientHeight = DEVICE_HEIGHT;
    int flags = 0;
    int fullScreenCalls = 0;
    QByteArray caption;

    // Current whole scale factor (>= 1) and the top-left corner of the shown
    // framebuffer in window pixels.
    int scale() const;
    QPoint origin() const;

    // Window pixel -> device pixel (through scale, border and rotation), and
    // the centre of a device pixel in window coordinates. `mapToDevice` returns
    // false when the point is outside the shown framebuffer (the border).
    bool mapToDevice(QPoint window, int& x, int& y) const;
    QPoint mapFromDevice(int x, int y) const;

    // Activation as the game sees it; sends focusIn/focusOut on a change.
    void setDeviceActive(bool on);

protected:
    void paintEvent(QPaintEvent*) override;
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void changeEvent(QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    bool focusNextPrevChild(bool) override { return false; }

private:
    bool penDown_ = false;
};

// The host window of a device widget (tests: resize it, send it events).
QWidget* hostWindow(DeviceWidget* w);

// Scale factor for a framebuffer of `fbW` x `fbH` in an area of `w` x `h`.
int wholeScale(int w, int h, int fbW, int fbH);
