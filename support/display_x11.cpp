#include "support/display.h"

#include <FL/Fl.H>
#include <FL/x.H>

namespace {

void (*lost_save)() = nullptr;

// Xlib ends the process if this returns, so it leaves through the toolkit's fatal exit.
int x_io_error(Display *) {
    if (lost_save) lost_save();
    Fl::fatal("X I/O error");
    return 0;
}

} // namespace

void display_open() { fl_open_display(); }

void display_flush() { XFlush(fl_display); }

// Called after the toolkit opened the display, which sets a handler of its own.
void display_lost_catch(void (*save)()) {
    lost_save = save;
    XSetIOErrorHandler(x_io_error);
}
