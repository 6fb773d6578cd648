// Sprite: a rectangle cut from a sprite sheet, animated through a strip of
// frames, with a float position and velocity and edge behaviour flags.
//
// Sheet layout: frame f of strip r has its top-left pixel at sheet column
// f * (width + 1) and sheet row r * (height + 1). Pixel value 0 is transparent.
// A sprite owns no pixels; the caller hands the sheet to draw().
#pragma once

#include <cstdint>

constexpr int32_t SPRITE_BOUNCE = 1;      // a velocity component turns at an edge
constexpr int32_t SPRITE_WRAP = 2;        // leaves one edge, reappears at the other
constexpr int32_t SPRITE_EXIT_RIGHT = 4;  // switched off once past the right bound
constexpr int32_t SPRITE_ONE_SHOT = 8;    // switched off when the animation runs out

constexpr int32_t SPRITE_DEFAULT_DELAY = 50;  // ms between animation steps

#include "input/clock.h"  // gameClock(), ms since the clock's first use

class Sprite {
public:
    Sprite();
    virtual ~Sprite();

    void setup(int32_t sheetWidth, int32_t sheetHeight, int32_t sheetRow, int32_t width,
               int32_t height, int32_t frameCount);
    void setFrame(int32_t n);
    void nextFrame();
    void prevFrame();

    int32_t getFrame() const { return frame; }
    int32_t getFrameCount() const { return frameCount; }
    void setFrameCount(int32_t n) { frameCount = n; }
    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    int32_t getSheetRow() const { return sheetRow; }
    int32_t getSheetWidth() const { return sheetWidth; }
    int32_t getSheetHeight() const { return sheetHeight; }
    int32_t getFrameDelay() const { return frameDelay; }
    void setFrameDelay(int32_t ms) { frameDelay = ms; }
    int32_t getFlags() const { return flags; }
    void setFlags(int32_t bits) { flags = bits; }
    int32_t getAngle() const { return angle; }
    void setAngle(int32_t degrees) { angle = degrees; }
    bool isActive() const { return active; }
    void setActive(bool on) { active = on; }
    float getX() const { return x; }
    float getY() const { return y; }
    void setX(float v) { x = v; }
    void setY(float v) { y = v; }
    void addX(float d) { x += d; }
    void addY(float d) { y += d; }
    float getVx() const { return vx; }
    float getVy() const { return vy; }
    void setVx(float v) { vx = v; }
    void setVy(float v) { vy = v; }

    virtual bool isSprite() const;   // always true; nothing in the game asks
    // Draws the current frame into the 240 x 320 target, clipped to columns
    // 0..238 and rows 0..318. Does not look at `active`.
    virtual bool draw(const uint16_t* sheetPixels, uint16_t* target);
    // move() with the game widget's bounds: 0, 0, height - 1, width - 1.
    virtual void moveWithinScreen();
    // Moves by the velocity and applies the edge rules. Note the bound order.
    virtual void move(int32_t top, int32_t left, int32_t bottom, int32_t right);

    // Fields, public as the world code reads and writes them directly.
    int32_t frame;          // current frame, 0 <= frame < frameCount
    int32_t frameCount;     // frames in the strip
    int32_t width;          // pixels
    int32_t height;         // pixels
    int32_t sheetRow;       // strip index, in strips of height + 1 rows
    int32_t sheetWidth;     // pixels, the sheet's row stride
    int32_t sheetHeight;    // pixels, kept but not used by drawing
    int32_t frameDelay;     // ms, minimum time between two animation steps
    int32_t lastFrameTime;  // ms of the game clock at the last animation step
    int32_t flags;          // SPRITE_* bits
    float x, y;             // top-left corner on screen, pixels
    float vx, vy;           // pixels per move
    int32_t angle;          // degrees 0..359 of travel, recorded by the world code
    bool active;            // drawn, moved and tested for collisions
};
