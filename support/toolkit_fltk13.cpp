#include "support/toolkit.h"

#include <FL/Fl.H>

#include "support/toolkit_options.h"

void toolkit_setup() {
    // FLTK 1.3 has only the options both versions have.
    toolkit_options_mark();
}

int toolkit_screen_scale() { return 1; }

float toolkit_pixels_begin() { return 1.f; }

void toolkit_pixels_end(float) {}
