// Sprite: frame animation timed by the game clock, clipped colour-keyed drawing
// from a sprite sheet, and motion with wrap, bounce and exit-right edges.
#include "game/sprite.h"

#include <cstddef>

#include "gfx/gfx.h"

namespace {

// Sprites never touch the last column and the last row of the back buffer:
// the drawable area is columns 0..238 and rows 0..318.
constexpr int DRAW_RIGHT_LIMIT = SCREEN_WIDTH - 1;   // 239, first column not drawn
constexpr int DRAW_BOTTOM_LIMIT = SCREEN_HEIGHT - 1; // 319, first row not drawn

// Positions far outside the screen are pinned to this distance before they
// are turned into integers, so the conversion is always defined; such a
// sprite is entirely off the screen either way.
constexpr float POSITION_LIMIT = 1.0e6f; // pixels

int screenCoordinate(float v) {
    if (!(v > -POSITION_LIMIT)) return -int(POSITION_LIMIT); // also catches NaN
    if (v > POSITION_LIMIT) return int(POSITION_LIMIT);
    return int(v); // truncation toward zero
}

// True when more than `frameDelay` ms have passed since the last step. The
// game clock wraps modulo 2^32, so the elapsed time is the signed 32-bit
// difference of the two readings: it stays right across the wrap.
bool animationDue(const Sprite& s) {
    const int32_t elapsed = int32_t(uint32_t(gameClock()) - uint32_t(s.lastFrameTime));
    return elapsed > s.frameDelay;
}

} // namespace

Sprite::Sprite()
    : frame(0), frameCount(0), width(0), height(0), sheetRow(0), sheetWidth(0), sheetHeight(0),
      frameDelay(SPRITE_DEFAULT_DELAY), lastFrameTime(0), flags(0), x(0.0f), y(0.0f), vx(0.0f),
      vy(0.0f), angle(0), active(false) {}

Sprite::~Sprite() = default;

void Sprite::setup(int32_t sheetW, int32_t sheetH, int32_t row, int32_t w, int32_t h,
                   int32_t frames) {
    sheetWidth = sheetW;
    sheetHeight = sheetH;
    sheetRow = row;
    width = w;
    height = h;
    frameCount = frames;
}

void Sprite::setFrame(int32_t n) {
    if (n >= 0 && n < frameCount) frame = n;
}

void Sprite::nextFrame() {
    if (!animationDue(*this)) return;
    if (frame >= frameCount - 1) {
        frame = 0;
        if (flags & SPRITE_ONE_SHOT) active = false;
    } else {
        ++frame;
    }
    lastFrameTime = gameClock();
}

void Sprite::prevFrame() {
    if (!animationDue(*this)) return;
    if (frame > 0) {
        --frame;
    } else {
        frame = frameCount - 1;
        if (flags & SPRITE_ONE_SHOT) active = false;
    }
    lastFrameTime = gameClock();
}

bool Sprite::isSprite() const {
    return true;
}

bool Sprite::draw(const uint16_t* sheetPixels, uint16_t* target) {
    int sx = screenCoordinate(x);
    int sy = screenCoordinate(y);

    int skipX = 0, w = width;
    if (sx < 0) {
        skipX = -sx;
        w = width - skipX;
        sx = 0;
    }
    if (sx + w > DRAW_RIGHT_LIMIT) w = DRAW_RIGHT_LIMIT - sx;

    int skipY = 0, h = height;
    if (sy < 0) {
        skipY = -sy;
        h = height - skipY;
        sy = 0;
    }
    if (sy + h > DRAW_BOTTOM_LIMIT) h = DRAW_BOTTOM_LIMIT - sy;

    if (w <= 0 || h <= 0) return true;

    const uint16_t* src = sheetPixels + std::ptrdiff_t(frame) * (width + 1) +
                          std::ptrdiff_t(sheetRow) * (height + 1) * sheetWidth +
                          std::ptrdiff_t(skipY) * sheetWidth + skipX;
    uint16_t* dst = target + sy * SCREEN_WIDTH + sx;
    for (int r = 0; r < h; ++r) {
        keyedCopyRow(dst, src, w);
        src += sheetWidth;
        dst += SCREEN_WIDTH;
    }
    return true;
}

void Sprite::moveWithinScreen() {
    move(0, 0, widgetHeight - 1, widgetWidth - 1);
}

// Every comparison is strict, float coordinate against the integer bound as a float.
void Sprite::move(int32_t top, int32_t left, int32_t bottom, int32_t right) {
    x += vx;
    y += vy;
    if (flags & SPRITE_WRAP) {
        if (x > float(right))
            x = float(left - width);
        else if (x < float(left - width))
            x = float(right);
        if (y > float(bottom))
            y = float(top - height);
        else if (y < float(top - height))
            y = float(bottom);
    } else if (flags & SPRITE_BOUNCE) {
        // Only the velocity turns; the position is left where it is.
        if (x > float(right - width) || x < float(left)) vx = -vx;
        if (y > float(bottom - height) || y < float(top)) vy = -vy;
    } else if (flags & SPRITE_EXIT_RIGHT) {
        if (x > float(right)) active = false;
    }
}
