// The text rendering of a board for diagnostics: a character canvas and the printers that use it.
#pragma once

#include "engine/groups.h"
#include "model/board.h"

enum { WIN_SIZE = 100 };

// A character canvas of at most 99 x 100: each line keeps a terminator at position w.
struct WIN {
    int w;
    int h;
    char lines[WIN_SIZE][WIN_SIZE];
};

// A new canvas filled with blanks; the caller owns it (win_free).
// Stops through YFatal("win_new") for a size over 99 x 100 or below 0.
WIN *win_new(int w, int h);
void win_fill(WIN *win, char c);
void win_free(WIN *win);
// Puts c at (x, y) when inside; otherwise writes the "win_char Error" line and draws nothing.
void win_char(WIN *win, char c, int x, int y);
void win_string(WIN *win, const char *text, int x, int y);
void win_hline(WIN *win, char c, int y, int x1, int x2);
void win_vline(WIN *win, char c, int x, int y1, int y2);
// The outline of a w x h box: edges first, then sides, so corners show the side character.
void win_box(WIN *win, char edge, char side, int x, int y, int w, int h);
// Writes each line to the standard output with a newline.
void win_print(const WIN *win);

// The character of a stone code: "O", "X", "o", "x", "@", "#", else ".".
char stone_char(int code);

// Draws the board on a canvas and writes it through the trace: labelled when both sides are at least 5.
void board_print(const BOARD *board);
void board_print_frame(WIN *win, int x0, int y0, int w, int h, short solid);
void board_print_stones(WIN *win, const BOARD *board, int x0, int y0);
void board_print_letters(WIN *win, const BOARD *board);
void board_print_numbers(WIN *win, const BOARD *board);

// Names the code of one point of the record's board on the error stream.
void point_print(const GROUPS *groups, int i, int j);
// Lists the groups of the last analysis on the standard output.
void groups_print(const GROUPS *groups);
