// The picture generator's painters: each returns one finished frame or one
// whole screen picture as 0xAARRGGBB pixels, transparent where alpha is 0.
#pragma once

#include "tools/art/canvas.h"

namespace art {

// Light of every lit model: from the upper left, a little towards the viewer.
constexpr float LIGHT_X = -0.55f, LIGHT_Y = -0.62f, LIGHT_Z = 0.56f;

// Sprites (rockSheet, by64Sheet and the bonus carrier on textSheet).
Image shipFrame(int heading, int frame);           // 32 x 32
Image rockFrame(int size, int variant, int frame); // size 0 small 16, 1 medium 32, 2 big 128 x 64
Image shotFrame(int frame);                        // 8 x 8
Image bossShotFrame(int frame);                    // 10 x 10
Image bossFrame(int frame);                        // 64 x 64
Image bossFlashFrame(int frame);                   // 32 x 32
Image shieldFrame(int frame);                      // 32 x 32
Image explosionFrame(int frame);                   // 64 x 64
Image bigExplosionFrame(int frame);                // 128 x 64
Image warpFrame(int frame);                        // 64 x 64
Image sceneryFrame();                              // 90 x 64
Image carrierFrame(int frame);                     // 32 x 32, two frames per power-up kind

// Paints the ship model onto `r` with its centre at (cx, cy) (pixels), `scale`
// pixels per model unit (the sprites use 1); frame 0 without exhaust, 1..5
// with the flames of the thrust animation.
void paintShip(Raster& r, float cx, float cy, float scale, int heading, int frame);

// The application icon: the ship under thrust on a rounded tile of deep space,
// `size` x `size` pixels with soft (partly transparent) edges.
Image appIcon(int size);

// Text strips and menu items.
Image scoreDigit(int digit);                       // 8 x 16
Image livesDigit(int digit);                       // 8 x 16
Image levelDigit(int digit);                       // 32 x 32
Image levelLabel();                                // 96 x 32
Image message(int frame);                          // 164 x 64
Image keyPrompt(int frame);                        // 82 x 16
Image keyInUse();                                  // 200 x 32
Image trackName(int frame);                        // 165 x 32
Image menuItem(int item);                          // 142 x 24

// Whole pictures.
Image backgroundPicture();                         // 240 x 320
Image titlePicture();                              // 240 x 320
Image bannerPicture();                             // 240 x 60
Image menuPanelPicture();                          // 240 x 100
Image exitPicture();                               // 240 x 180

// A deep-space field of stars and faint nebulae shared by the screens.
Image starfield(int w, int h, uint32_t seed, float nebula);

} // namespace art
