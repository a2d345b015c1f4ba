// The command line: the game's own options, --help and --version, and the toolkit's standard window
// options (-geometry, -title, -display, ...), which are read here and applied when the window is shown.
// Needs no display.
#pragma once

#include <cstdio>

// Reads the whole command line. --help (or -h) writes the usage and every option to out, --version the
// version line ("korvani 1.2"); both end the program with status 0. A word that is neither the game's
// option nor the toolkit's writes one line naming it, then the usage line, to err: status 2. Returns that
// status, or -1 when the game is to start (the toolkit's options are then stored for Fl_Window::show).
int options_read(int argc, char **argv, FILE *out, FILE *err);
