// What the game asks of its operating system beside the rating file (app/rating_file.h): the process's
// streams, the end of the user's session and the window's icon. One source file per platform, chosen by
// the build: app/platform_posix.cpp (Linux) and app/platform_win.cpp (Windows).
#pragma once

class Fl_Window;

// First of all: signals that would end the game without its exit are ignored (Linux: SIGPIPE, as the
// error stream's reader may be gone, and SIGXFSZ, as a save may pass a limit on the size of files; a
// failed write is told instead). Windows has neither: nothing is done there.
void process_signals_ignore();

// Before any file or display is opened: the standard streams made safe for the trace and the fatal
// exits (Linux: closed ones opened on /dev/null; the error stream's writes made never to wait, whatever
// it is, what cannot be written at once dropped; Windows: without a console the trace's escapes are
// off, so the trace writes nothing).
void process_streams_prepare();

// Right after process_streams_prepare, before the toolkit opens the display: the end of the session is
// caught from here on (Linux: SIGTERM, SIGHUP and SIGINT, but those the game was started ignoring; they
// are unblocked where the parent blocked them). One that comes before the event loop runs is answered
// by it. Windows: nothing to do here.
void session_end_prepare();

// The end of the session ends the game through quit, from the event loop, as closing the window does:
// Linux: the signals session_end_prepare caught; Windows: log off and shut down (WM_ENDSESSION). Call
// once, after the toolkit's windows exist and before the event loop runs.
void session_end_catch(void (*quit)());

// Gives window the program's icon (Linux: the pixels app/icon draws; Windows: icon resource 345 of the
// executable, made from the same picture). Returns 0 when there is no icon to give.
int window_icon_set(Fl_Window *window);
