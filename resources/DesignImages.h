// Bitmap 9008: the design browser's 13 small images of 16 by 16 pixels side by side, 24 bits
// per pixel, black being the transparent (mask) colour. Image 4 is a folder, 11 an extended
// design and 12 a plain design.
#pragma once

#include <windows.h>

#include <vector>

#define DESIGN_IMAGES_WIDTH 208
#define DESIGN_IMAGES_HEIGHT 16

// Lays the bitmap out as a bitmap resource holds it: a 40-byte BITMAPINFOHEADER followed by
// the rows of pixels from the bottom up, three bytes per pixel in blue, green, red order.
// False only when a drawing row is malformed.
bool BuildDesignImages(std::vector<BYTE>& bytes);
