// Device key numbering: host key codes as the device's software knows them.
#include "platform/internal.h"

int deviceKeyCode(int qtKey) {
    constexpr int QT_SPECIAL = 0x01000000;   // Qt 6 special keys: QT_SPECIAL | n
    constexpr int DEVICE_SPECIAL = 0x1000;   // the device's: DEVICE_SPECIAL | n
    constexpr int DEVICE_UNKNOWN = 0xffff;
    if (qtKey < 0)
        return DEVICE_UNKNOWN;
    if (qtKey >= QT_SPECIAL) {
        const int n = qtKey - QT_SPECIAL;
        return n < DEVICE_SPECIAL ? (DEVICE_SPECIAL | n) : DEVICE_UNKNOWN;
    }
    return qtKey;
}
