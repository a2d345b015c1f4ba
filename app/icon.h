// The program's own 32 x 32 icon, drawn by code: nothing is read from disk. No toolkit here.
#pragma once

#include <string>

enum { ICON_SIZE = 32 };

// Paints the icon into rgba: ICON_SIZE x ICON_SIZE pixels of 4 bytes (red, green, blue, alpha), the
// top row first; with times above 1, the same picture drawn times as large for a scaled screen, a square
// ICON_SIZE * times pixels wide.
void icon_pixels(unsigned char *rgba, int times = 1);

// The same pixels as the bytes of a PNG file (8-bit RGBA, uncompressed deflate blocks).
std::string icon_png();
