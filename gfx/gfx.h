// Graphics: RGB565 pictures, the frame buffers and the drawing primitives on
// the 240-pixel-wide back buffer.
//
// Every colour is RGB565 (red 15..11, green 10..5, blue 4..0); the value 0 is
// transparent in every picture blit and sprite draw.
//
// Folder rule (CMakeLists.txt declares it, the include_direction test holds the
// sources to it): gfx/ uses platform/ only (to decode pictures).
#pragma once

#include <cstdint>

constexpr int SCREEN_WIDTH = 240;                  // pixels in a back-buffer row
constexpr int SCREEN_HEIGHT = 320;                 // rows
constexpr int SCREEN_PIXELS = SCREEN_WIDTH * SCREEN_HEIGHT;
constexpr int SCREEN_BYTES = SCREEN_PIXELS * 2;    // 153600

constexpr uint16_t COLOUR_TRANSPARENT = 0;
constexpr int DIM_FACTOR = 20;                     // 32nds kept by the screen dimming

// Size of a loaded picture; its pixels are a separate array of width x height
// RGB565 values without gaps between rows.
struct Picture {
    int32_t width;   // pixels
    int32_t height;  // pixels
};

// ---------------------------------------------------------------------------
// Whole run: created once by resource set-up, freed by teardown.
// ---------------------------------------------------------------------------
extern uint16_t* backBuffer;          // 240 x 320, the frame being composed
extern uint16_t* pauseSnapshot;       // 240 x 320, last game frame before a pause

extern Picture* backgroundPicture;    // pp1, 240 x 320
extern Picture* titlePicture;         // pp6, 240 x 320
extern Picture* exitPicture;          // pp7, 240 x 180
extern Picture* menuItemSheet;        // pp8, 142 x 200
extern Picture* menuPicture;          // pp9, 240 x 100
extern Picture* textSheet;            // pp3, 500 x 300
extern Picture* bannerPicture;        // pp4, 240 x 60
extern Picture* rockSheet;            // pp2, 200 x 850
extern Picture* by64Sheet;            // pp5, 774 x 459

extern uint16_t* backgroundPixels;
extern uint16_t* titlePixels;
extern uint16_t* exitPixels;
extern uint16_t* menuItemPixels;
extern uint16_t* menuPixels;
extern uint16_t* textSheetPixels;
extern uint16_t* bannerPixels;
extern uint16_t* rockSheetPixels;
extern uint16_t* by64SheetPixels;

// Width of the game widget's client area in pixels; the row length used by
// drawHLine and fillRect. Kept equal to the widget's width by the shell.
extern int32_t widgetWidth;           // pixels, 240 on the device
extern int32_t widgetHeight;          // pixels, 320 on the device

// ---------------------------------------------------------------------------
// Picture loading
// ---------------------------------------------------------------------------

// A decoded image as the converter sees it.
struct ImageView {
    int width, height;                // pixels
    int depth;                        // bits per pixel: 8, 16, 32 (others convert nothing)
    int colorCount;                   // colour-table entries (depth 8)
    const uint32_t* colorTable;       // 0xAARRGGBB
    const uint8_t* bits;              // first scan line
    int bytesPerLine;                 // scan-line stride in bytes
};

// The 32-bit colour 0xAARRGGBB as RGB565 with green cut to 5 bits.
constexpr uint16_t colourRule(uint32_t c) {
    return uint16_t(((c >> 8) & 0xF800) | ((c >> 5) & 0x07C0) | ((c & 0xFF) >> 3));
}

// Converts `image` into width x height pixels of `pixels`. Returns false (and
// writes nothing) for a depth other than 8, 16 or 32.
bool convertImage(const ImageView& image, int width, int height, uint16_t* pixels);

// Loads the picture file at `path` into `pixels` (width x height values) and
// sets `picture` to the expected size. False when the file cannot be read.
bool loadPicture(Picture* picture, const char* path, int width, int height, uint16_t* pixels);

// ---------------------------------------------------------------------------
// Drawing primitives (no clipping: callers keep every pixel inside the target)
// ---------------------------------------------------------------------------
bool blitPicture(const Picture* picture, int x, int y, const uint16_t* pixels, uint16_t* target);
// Copies `count` pixels from `src` to `dst`, leaving a destination pixel alone
// where the source pixel is 0. The row copy behind blitPicture and Sprite::draw;
// works on several pixels at once and gives the same result as a plain loop.
void keyedCopyRow(uint16_t* dst, const uint16_t* src, int count);
void drawHLine(int x, int y, int length, uint16_t colour, uint16_t* target);
void fillRect(int left, int top, int right, int bottom, uint16_t colour, uint16_t* target);
void dimBuffer(uint16_t* target, const uint16_t* source, int factor);
uint16_t dimPixel(uint16_t pixel, int factor);
