// PNG writing for the asset generators and preview tools.
//
// The generators produce their pictures as plain 0xAARRGGBB arrays and never
// see an image library; this is the one place that hands them to Qt's encoder.
// The encoder stores no time stamp or other varying data, so equal pixels give
// equal files.
#pragma once

#include <cstdint>

// Writes a w x h picture (rows top first, 0xAARRGGBB, not premultiplied) as a
// PNG file at `path`. Pictures whose alpha is 255 everywhere are stored without
// an alpha channel. False when the file cannot be written.
bool savePng(const char* path, int w, int h, const uint32_t* argb);

// The same for an RGB565 array (value 0 stays black, not transparent), as the
// back buffer holds it; each pixel is enlarged to a `scale` x `scale` block.
bool savePng565(const char* path, int w, int h, const uint16_t* rgb565, int scale);

// Enlarges the picture file at `in` by a whole `scale` (each pixel a block)
// and writes it as PNG to `out`, with transparent pixels shown on a dark
// checkerboard so sprite sheets can be inspected. False on any failure.
bool saveZoomedPng(const char* in, const char* out, int scale);
