// The display calls of an FLTK 1.4 built with Wayland and X11: the toolkit opens a Wayland display in a
// Wayland session and an X11 one otherwise (FLTK_BACKEND chooses), and these calls act on the one it
// opened.
#include "support/display.h"

#include <cstdarg>
#include <cstdio>

#include <wayland-client.h>

#include <FL/Fl.H>
#include <FL/platform.H>

namespace {

void (*lost_save)() = nullptr;

// Xlib ends the process if this returns, so it leaves through the toolkit's fatal exit.
int x_io_error(Display *) {
    if (lost_save) lost_save();
    Fl::fatal("X I/O error");
    return 0;
}

// The toolkit ends the process through its fatal exit when the Wayland connection breaks, and has no
// handler for that alone: the game's save runs before whichever fatal exit comes, once.
void (*toolkit_fatal)(const char *, ...) = nullptr;

void fatal_after_save(const char *format, ...) {
    char text[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    void (*save)() = lost_save;
    lost_save = nullptr;
    if (save) save();
    toolkit_fatal("%s", text);
}

} // namespace

void display_open() { fl_open_display(); }

void display_flush() {
    if (Display *x = fl_x11_display()) {
        XFlush(x);
    } else if (wl_display *wayland = fl_wl_display()) {
        wl_display_flush(wayland);
    }
}

// Called after the toolkit opened the display, which sets a handler of its own on X11.
void display_lost_catch(void (*save)()) {
    lost_save = save;
    if (fl_x11_display()) {
        XSetIOErrorHandler(x_io_error);
    } else if (fl_wl_display() && !toolkit_fatal) {
        toolkit_fatal = Fl::fatal;
        Fl::fatal = fatal_after_save;
    }
}
