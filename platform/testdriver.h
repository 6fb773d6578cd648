// Test driver: lets a test run the real program without a display, firing
// timer ticks itself and sending real host events. Tests, the soak tool and
// the benchmarks call it; the program itself never does.
#pragma once

#include <cstdint>

class DeviceWidget;

namespace testdriver {
void setManualTimer(bool manual);          // timers are not started; tick() fires them
void tick();                               // one timer event to every timer's widget
// A key event through the host window, with a desktop timestamp in ms; 0
// takes one later than that of any event sent before.
void sendKey(int qtKey, bool press, bool autoRepeat = false, unsigned long timestamp = 0);
void sendMouse(int deviceX, int deviceY, int kind);                // 0 press, 1 move, 2 release
void setActive(bool active);               // host activation / deactivation
void resizeWindowToScale(int scale);       // the host window just holds the screen at this scale

// What the program did, as the tests look at it.
int showFullScreenCalls(const DeviceWidget* w);  // full-screen requests of the window
int keyboardGrabs();                       // keyboard grab requests of the run
uint8_t* deviceFrameBuffer();              // the framebuffer itself (FRAMEBUFFER_BYTES bytes)

// Called instead of showing any message box; null restores real boxes.
using MessageBoxHook = void (*)(bool critical, const char* title, const char* text);
void setMessageBoxHook(MessageBoxHook hook);
} // namespace testdriver
