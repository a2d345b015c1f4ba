// Helpers of the window tests: settling the toolkit, reading pixels back, acting as the user would.
#pragma once

#include <string>
#include <vector>

class Fl_Window;

struct PIXELS {
    int w = 0;
    int h = 0;
    std::vector<unsigned char> rgb; // w x h pixels, 3 bytes each, top row first

    // The pixel as 0xRRGGBB.
    unsigned at(int x, int y) const;
    // Whether any pixel of the rectangle is darker than middle grey.
    bool has_dark(int x, int y, int w, int h) const;
    // The extent of the dark pixels in the rectangle: left, right, top, bottom (inclusive); all -1 when
    // there is none.
    void dark_box(int x, int y, int w, int h, int box[4]) const;
};

// The colour-map entry as 0xRRGGBB.
unsigned map_rgb(int index);

// Lets the toolkit and the X server finish what is pending: maps, exposes, redraws.
void settle();
// Shows the window and waits until it is on the screen and drawn.
void show_and_settle(Fl_Window *window);
// What the window shows now, read back from the X server.
PIXELS read_window(Fl_Window *window);

// The top-level windows on the screen with this title.
std::vector<Fl_Window *> shown_windows(const char *title);

// What a window manager sends when the user clicks the frame's close box.
void send_close(Fl_Window *window);
// Runs an xdotool command line (for example "click 1" or "key Escape") against this display.
void xdotool(const std::string &args);

// The working folder and the files' helpers, shared with the headless tests.
#include "tests/test_files.h"
