// The program's own 32 x 32 icon, drawn by code: nothing is read from disk. No toolkit here.
#pragma once

#include <string>

enum { ICON_SIZE = 32 };

// Paints the icon into rgba: ICON_SIZE x ICON_SIZE pixels of 4 bytes (red, green, blue, alpha), the
// top row first.
void icon_pixels(unsigned char *rgba);

// The same pixels as the bytes of a PNG file (8-bit RGBA, uncompressed deflate blocks).
std::string icon_png();
