#include "support/display.h"

#include <windows.h>

#include <FL/Fl.H>
#include <FL/x.H>

// The toolkit defines it for Windows too, but declares it there only to its own sources.
void fl_open_display();

void display_open() { fl_open_display(); }

// GDI batches the calls of this thread; the batch goes out at the latest when the thread next waits.
void display_flush() { GdiFlush(); }

// A Windows desktop does not go away under a running program: there is nothing to catch.
void display_lost_catch(void (*)()) {}
