// Test driver: lets a test run the real program without a display, firing
// timer ticks itself and sending real host events. Tests, the soak tool and
// the benchmarks call it; the program itself never does.
#pragma once

namespace testdriver {
void setManualTimer(bool manual);          // timers are not started; tick() fires them
void tick();                               // one timer event to every timer's widget
// A key event through the host window, with a desktop timestamp in ms; 0
// takes one later than that of any event sent before.
void sendKey(int qtKey, bool press, bool autoRepeat = false, unsigned long timestamp = 0);
void sendMouse(int deviceX, int deviceY, int kind);                // 0 press, 1 move, 2 release
void setActive(bool active);               // host activation / deactivation
void resizeWindow(int width, int height);  // the host window, in window pixels
} // namespace testdriver
