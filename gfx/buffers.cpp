// The frame buffers and picture records shared by the whole program. They are
// allocated once by resource set-up and released by teardown; until then every
// pointer here is null.
#include "gfx/gfx.h"

uint16_t* backBuffer = nullptr;
uint16_t* pauseSnapshot = nullptr;

Picture* backgroundPicture = nullptr;
Picture* titlePicture = nullptr;
Picture* exitPicture = nullptr;
Picture* menuItemSheet = nullptr;
Picture* menuPicture = nullptr;
Picture* textSheet = nullptr;
Picture* bannerPicture = nullptr;
Picture* rockSheet = nullptr;
Picture* by64Sheet = nullptr;

uint16_t* backgroundPixels = nullptr;
uint16_t* titlePixels = nullptr;
uint16_t* exitPixels = nullptr;
uint16_t* menuItemPixels = nullptr;
uint16_t* menuPixels = nullptr;
uint16_t* textSheetPixels = nullptr;
uint16_t* bannerPixels = nullptr;
uint16_t* rockSheetPixels = nullptr;
uint16_t* by64SheetPixels = nullptr;

// The device screen's size until the shell reports the widget's real geometry.
int32_t widgetWidth = SCREEN_WIDTH;   // pixels
int32_t widgetHeight = SCREEN_HEIGHT; // pixels
