// State the platform files share: the framebuffer, the host windows and the
// device timers. Included by platform/*.cpp only; it brings in Qt.
#pragma once

#include <vector>

#include "platform/host.h"

class QApplication;

// Whole run
extern QApplication* application;          // made by the first PlatformApplication
extern HostLaunch hostLaunch;              // display choices from the command line
extern uint8_t framebuffer[FRAMEBUFFER_BYTES];  // RGB565, in the display's own orientation

// Periodic timers of the device widgets. With the manual test timer the Qt
// timers are never started and testdriver::tick() fires them instead.
struct DeviceTimer {
    DeviceWidget* widget;
    int id;        // id handed to the game (> 0)
    int qtId;      // Qt timer id, 0 when not started
};
extern std::vector<DeviceTimer> timers;
extern bool manualTimer;

// Every live host window, the latest last; the test driver talks to the latest.
extern std::vector<DeviceWidget::Host*> hosts;
DeviceWidget::Host* currentHost();         // null when there is none

// Asks the X server, when there is one, to repeat held keys as presses
// without releases in between. Called once the Qt application exists.
void detectAutoRepeat();
