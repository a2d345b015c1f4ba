// The few calls the window side makes to the display beside the toolkit's own: X11 on Linux
// (support/display_x11.cpp), Windows' GDI on Windows (support/display_win.cpp). The build picks one.
#pragma once

// Opens the toolkit's connection to the display, so that text can be measured before a window is shown.
void display_open();

// Sends what was painted outside the toolkit's redraw cycle to the screen now: a stone painted at once
// must show before the computer's search holds the event loop.
void display_flush();

// When the connection to the display breaks (the X server is gone) the toolkit cannot go on: save runs,
// and the program then ends through the toolkit's fatal exit. Windows has no such event: nothing is
// caught there.
void display_lost_catch(void (*save)());
