#include "app/platform.h"

#include <windows.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include "support/common.h"

namespace {

// The icon resource the executable carries (app/korvani.rc.in).
const int ICON_RESOURCE = 345;

void (*session_quit)() = nullptr;

// Logging off and shutting down send WM_QUERYENDSESSION and then WM_ENDSESSION to every top-level
// window. They are sent, not posted: they reach the toolkit's window procedure and never its message
// loop, so a system handler (which sees what the loop takes from the queue) would miss them. The window
// procedure hands every message it does not handle itself to the event handlers, as event 0 with the
// message in fl_msg: that is where they are caught. Subclassing the window procedure would catch them
// too, but only on one window, and only while the toolkit keeps that window's handle.
int session_handler(int event) {
    if (event != 0) return 0;
    // Answered 0, the window procedure lets Windows go on: WM_QUERYENDSESSION is answered TRUE, as the
    // game never holds a session up; the save waits for WM_ENDSESSION, when the end is certain (another
    // program may still cancel it before). After that message returns the process may be ended at any
    // moment, so the game ends here, through its exit, as SIGTERM ends it on Linux.
    if (fl_msg.message == WM_ENDSESSION && fl_msg.wParam) session_quit();
    return 0;
}

} // namespace

// Writing to a pipe whose reader has gone, or past a limit on the size of files, fails on Windows
// without a signal.
void process_signals_ignore() {}

// A program of the GUI subsystem started from Explorer has no console and no standard handles: every
// write to the error stream would fail. Writes that fail are ignored anyway, but the trace's escapes are
// turned off so that it does not even try.
void process_streams_prepare() {
    const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    if (error == nullptr || error == INVALID_HANDLE_VALUE) YTraceColors(0);
}

// The session's end comes as a window message, which waits for the event loop anyway.
void session_end_prepare() {}

void session_end_catch(void (*quit)()) {
    if (session_quit) return;
    session_quit = quit;
    Fl::add_handler(session_handler);
}

// The resource holds the icon at 16, 32, 48 and 256 pixels; each of the window's two icons is taken at
// the size Windows draws it, so neither is scaled from the other. The module is the toolkit's instance
// handle, or the program's own when the toolkit has none yet.
int window_icon_set(Fl_Window *window) {
    HINSTANCE module = fl_display ? fl_display : GetModuleHandleW(nullptr);
    const auto load = [module](int width_metric, int height_metric) {
        return static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(ICON_RESOURCE), IMAGE_ICON,
                                             GetSystemMetrics(width_metric), GetSystemMetrics(height_metric), 0));
    };
    const HICON big = load(SM_CXICON, SM_CYICON);
    const HICON small = load(SM_CXSMICON, SM_CYSMICON);
    if (!big || !small) return 0;
    window->icons(big, small);
    return 1;
}
