// What differs between the toolkit's versions, FLTK 1.3 (support/toolkit_fltk13.cpp) and FLTK 1.4
// (support/toolkit_fltk14.cpp): the build picks the file that matches the FLTK it found. FLTK 1.4 scales
// every window, drawing and event by itself to the screen's scale; 1.3 has none.
#pragma once

#include <FL/Enumerations.H>

// Sets the toolkit up as the game runs it, before anything else of the toolkit is used: its options at
// the values it gives them when no file says otherwise, and its preference files neither read nor
// written, so that the game writes nothing but its rating file. Every program and test harness that
// shows the game's windows calls it first.
void toolkit_setup();

// The screen's scale rounded to a whole number, at least 1: how many times larger a picture handed to
// the desktop in pixels (the window's icon) is drawn. Always 1 with FLTK 1.3. Needs the display.
int toolkit_screen_scale();

// Switches the drawing under way to the screen's pixels, coordinates then counted in pixels of the window,
// and returns the scale it had: what must come out exact at every scale (lines of one width, a round dot)
// is drawn there instead of through the toolkit's rounding of its units. FLTK 1.3 draws in pixels anyway:
// 1, and nothing changes. toolkit_pixels_end gives the scale back.
float toolkit_pixels_begin();
void toolkit_pixels_end(float scale);

// The toolkit the game is built and runs on, as "FLTK 1.4": the major and minor version of the headers it
// was compiled with, which are those of the library it runs on too (FLTK keeps its interface within a
// minor version, and the shared library's name, libfltk.so.1.4, carries it).
#define TOOLKIT_NAME "FLTK " TOOLKIT_NUMBER(FL_MAJOR_VERSION) "." TOOLKIT_NUMBER(FL_MINOR_VERSION)
#define TOOLKIT_NUMBER(n) TOOLKIT_TEXT(n)
#define TOOLKIT_TEXT(n) #n
