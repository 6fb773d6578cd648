// The frame driver: composes one frame by game state, lets pending events in,
// and presents the back buffer on the device framebuffer, turned to match the
// display.
#include <cstring>

#include "app/app.h"
#include "game/game.h"
#include "gfx/gfx.h"
#include "settings/settings.h"
#include "ui/ui.h"

namespace {

// Screen positions of the picture screens' parts (pixels).
constexpr int BANNER_Y = 20;
constexpr int MENU_Y = 80;
constexpr int EXIT_PICTURE_Y = 100;

void copyScreen(const uint16_t* source) {
    std::memcpy(backBuffer, source, SCREEN_BYTES);
}

// The dimmed screen behind the menu, pause and exit screens. Dimming a whole
// screen is the costliest step of those frames, and its source (the title
// picture or the frozen game frame) stays the same from frame to frame, so the
// dimmed pixels are kept and made again only when the source's pixels differ
// from the ones they were made from. The result is the same as dimming anew.
alignas(16) uint16_t dimmedFrom[SCREEN_PIXELS];  // RGB565, the source last dimmed
alignas(16) uint16_t dimmedScreen[SCREEN_PIXELS]; // RGB565, that source dimmed
bool dimmedValid = false;

void copyDimmed(const uint16_t* source) {
    if (!dimmedValid || std::memcmp(dimmedFrom, source, SCREEN_BYTES) != 0) {
        std::memcpy(dimmedFrom, source, SCREEN_BYTES);
        dimBuffer(dimmedScreen, source, DIM_FACTOR);
        dimmedValid = true;
    }
    copyScreen(dimmedScreen);
}

// The menu-like screens: a dimmed full-screen source under the menu panel,
// the banner and the options panel.
void composeMenuScreen(const uint16_t* dimmedSource) {
    copyDimmed(dimmedSource);
    blitPicture(menuPicture, 0, MENU_Y, menuPixels, backBuffer);
    blitPicture(bannerPicture, 0, BANNER_Y, bannerPixels, backBuffer);
    drawOptions();
}

} // namespace

void composeFrame() {
    switch (gameState) {
    case STATE_TITLE:
        copyScreen(titlePixels);
        blitPicture(bannerPicture, 0, BANNER_Y, bannerPixels, backBuffer);
        break;
    case STATE_PAUSED:
        composeMenuScreen(pauseSnapshot);
        break;
    case STATE_MENU:
    case STATE_REDEFINE_KEYS:
        composeMenuScreen(titlePixels);
        break;
    case STATE_EXITING:
        // Saved on every exit-screen frame: the process may end on any of them.
        saveSettings();
        copyDimmed(titlePixels);
        blitPicture(exitPicture, 0, EXIT_PICTURE_Y, exitPixels, backBuffer);
        blitPicture(bannerPicture, 0, BANNER_Y, bannerPixels, backBuffer);
        if (--exitCountdown == -1)
            exitGame(theWidget);
        break;
    default:
        copyScreen(backgroundPixels);
        updateGame();
        ++levelFrames;
        break;
    }
}

namespace {

bool mayPresent() {
    return theWidget && theWidget->isVisible() && theWidget->isActiveWindow() &&
           !theWidget->suspended;
}

// Framebuffer byte offsets of the turned copies; see presentFrame.
constexpr int ROT90_FIRST = 152960;   // row 239, column 0
constexpr int ROT90_SECOND = 152320;  // row 238, column 0
constexpr int ROT270_FIRST = 636;     // row 0, column 318
constexpr int ROT270_SECOND = 1276;   // row 1, column 318
constexpr int TURNED_ROW_PAIR = 1280; // bytes of two 320-pixel rows
constexpr int PIXEL_PAIR = 4;         // bytes

} // namespace

void runFrame() {
    if (frameInProgress)
        return;
    frameInProgress = true;

    seamFrameBegin();
    composeFrame();
    seamFrameEvents();
    if (mayPresent()) {
        DirectPainter painter(theWidget);
        presentFrame(painter.frameBuffer(), DirectPainter::transformOrientation());
    }
    seamFrameEnd();
    keeperFrameEnd();

    frameInProgress = false;
}

namespace {

// One quarter-turned copy in blocks of 2 x 2 pixels: two back-buffer rows are
// read a pixel pair at a time, and each pair of vertically adjacent pixels
// becomes one pixel pair on a framebuffer row. In a 32-bit word the pixel at
// the lower address is the low half. Every back-buffer word is read once and
// every framebuffer word written once.
template <int ORIENTATION>
void presentTurned(uint8_t* fb) {
    const int pairsPerRow = SCREEN_WIDTH / 2;  // 120
    for (int k = 0; k < SCREEN_HEIGHT / 2; ++k) {
        const uint16_t* rowA = backBuffer + (2 * k) * SCREEN_WIDTH;
        const uint16_t* rowB = rowA + SCREEN_WIDTH;
        for (int j = 0; j < pairsPerRow; ++j) {
            uint32_t a, b;
            std::memcpy(&a, rowA + 2 * j, sizeof a);
            std::memcpy(&b, rowB + 2 * j, sizeof b);
            uint32_t first, second;
            int firstOffset, secondOffset;
            if constexpr (ORIENTATION == 1) {
                first = (a & 0xffffu) | (b << 16);
                second = (a >> 16) | (b & 0xffff0000u);
                firstOffset = ROT90_FIRST - TURNED_ROW_PAIR * j + PIXEL_PAIR * k;
                secondOffset = ROT90_SECOND - TURNED_ROW_PAIR * j + PIXEL_PAIR * k;
            } else {
                first = (b & 0xffffu) | (a << 16);
                second = (b >> 16) | (a & 0xffff0000u);
                firstOffset = ROT270_FIRST + TURNED_ROW_PAIR * j - PIXEL_PAIR * k;
                secondOffset = ROT270_SECOND + TURNED_ROW_PAIR * j - PIXEL_PAIR * k;
            }
            std::memcpy(fb + firstOffset, &first, sizeof first);
            std::memcpy(fb + secondOffset, &second, sizeof second);
        }
    }
}

} // namespace

void presentFrame(uint8_t* fb, int orientation) {
    switch (orientation) {
    case 0:
        std::memcpy(fb, backBuffer, SCREEN_BYTES);
        break;
    case 1:
        presentTurned<1>(fb);
        break;
    case 3:
        presentTurned<3>(fb);
        break;
    default:
        break;  // upside down or unknown: the screen keeps what it showed
    }
}
