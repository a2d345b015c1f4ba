#include "model/print.h"

#include <cstdio>

#include "support/common.h"

namespace {

// A board is labelled with letters and numbers when both sides are at least 5.
bool labelled(const BOARD *board) { return board->rows >= 5 && board->cols >= 5; }

} // namespace

WIN *win_new(int w, int h) {
    // Each line keeps its terminator at position w, so a line holds at most 99 characters.
    if (w < 0 || h < 0 || w > WIN_SIZE - 1 || h > WIN_SIZE) YFatal("win_new");
    WIN *win = new WIN;
    win->w = w;
    win->h = h;
    win_fill(win, ' ');
    return win;
}

void win_fill(WIN *win, char c) {
    for (int y = 0; y < win->h; ++y) {
        for (int x = 0; x < win->w; ++x) win->lines[y][x] = c;
        win->lines[y][win->w] = '\0';
    }
}

void win_free(WIN *win) { delete win; }

void win_char(WIN *win, char c, int x, int y) {
    if (x < 0 || x >= win->w || y < 0 || y >= win->h) {
        std::fprintf(stderr, "win_char Error: ch=%c  x=%d y=%d  w=%d h=%d  \n", c, x, y, win->w, win->h);
        std::fflush(stderr); // the error stream is buffered for the trace; an error shows at once
        return;
    }
    win->lines[y][x] = c;
}

void win_string(WIN *win, const char *text, int x, int y) {
    for (int k = 0; text[k] != '\0'; ++k) win_char(win, text[k], x + k, y);
}

void win_hline(WIN *win, char c, int y, int x1, int x2) {
    for (int x = x1; x <= x2; ++x) win_char(win, c, x, y);
}

void win_vline(WIN *win, char c, int x, int y1, int y2) {
    for (int y = y1; y <= y2; ++y) win_char(win, c, x, y);
}

void win_box(WIN *win, char edge, char side, int x, int y, int w, int h) {
    win_hline(win, edge, y, x, x + w - 1);
    win_hline(win, edge, y + h - 1, x, x + w - 1);
    win_vline(win, side, x, y, y + h - 1);
    win_vline(win, side, x + w - 1, y, y + h - 1);
}

void win_print(const WIN *win) {
    for (int y = 0; y < win->h; ++y) std::printf("%s\n", win->lines[y]);
}

char stone_char(int code) {
    switch (code) {
    case STONE_WHITE: return 'O';
    case STONE_BLACK: return 'X';
    case WHITE_FALSE: return 'o';
    case BLACK_FALSE: return 'x';
    case WHITE_DEAD: return '@';
    case BLACK_DEAD: return '#';
    default: return '.';
    }
}

void board_print(const BOARD *board) {
    const int rows = board->rows;
    const int cols = board->cols;
    const bool labels = labelled(board);
    const int w = labels ? 2 * cols + 5 : 2 * cols + 3;
    const int h = labels ? rows + 3 : rows + 2;
    // The search prints every position it makes, and the trace prints none of them: building the canvas
    // only to drop it was a third of a computer move. Skipping it changes nothing that can be seen, since
    // for a board of any size the canvas takes, every character lands inside it and only YTrace writes.
    if (!YTraceActive() && rows >= 0 && cols >= 0 && w <= WIN_SIZE - 1 && h <= WIN_SIZE) return;
    WIN *win = win_new(w, h);

    // The frame keeps the unlabelled size; the labels lie outside it.
    board_print_frame(win, 0, 0, 2 * cols + 3, rows + 2, labels);
    board_print_stones(win, board, 2, 1);
    if (labels) {
        board_print_letters(win, board);
        board_print_numbers(win, board);
    }
    for (int y = 0; y < win->h; ++y) YTrace("%s \n", win->lines[y]);
    if (labels) YTrace("\n");
    win_free(win);
}

void board_print_frame(WIN *win, int x0, int y0, int w, int h, short solid) {
    int k = 0;
    for (int x = x0 + 2; x <= w - 3; ++x, ++k)
        if (solid || k % 2 == 0) {
            win_char(win, '-', x, 0);
            win_char(win, '-', x, h - 1);
        }
    for (int y = y0 + 1; y <= h - 2; ++y) {
        win_char(win, '|', 0, y);
        win_char(win, '|', w - 1, y);
    }
    if (solid) {
        win_char(win, '+', 0, 0);
        win_char(win, '+', 0, h - 1);
        win_char(win, '+', w - 1, 0);
        win_char(win, '+', w - 1, h - 1);
    }
}

void board_print_stones(WIN *win, const BOARD *board, int x0, int y0) {
    for (int i = 0; i < board->rows; ++i)
        for (int j = 0; j < board->cols; ++j)
            win_char(win, stone_char(board->cells[i * board->cols + j]), x0 + 2 * j, y0 + i);
}

void board_print_letters(WIN *win, const BOARD *board) {
    for (int j = 0; j < board->cols; ++j) win_char(win, board_column_letter(j), 2 + 2 * j, win->h - 1);
}

void board_print_numbers(WIN *win, const BOARD *board) {
    for (int i = 0; i < board->rows; ++i)
        win_char(win, static_cast<char>((48 + (board->rows - i)) & 0x7f), win->w - 1, 1 + i);
}

void point_print(const GROUPS *groups, int i, int j) {
    const int code = groups->board->cells[i * groups->board->cols + j];
    const char *label;
    switch (code) {
    case STONE_NONE: label = "STONE_NONE: "; break;
    case STONE_WHITE: label = "White stone: "; break;
    case STONE_BLACK: label = "Black stone: "; break;
    case WHITE_FALSE: label = "WHITE_FALSE: "; break;
    case BLACK_FALSE: label = "BLACK_FALSE: "; break;
    case CONTACT_DAME: label = "CONTACT_DAME! :"; break;
    case WHITE_DEAD: label = "WHITE_DEAD: "; break;
    case BLACK_DEAD: label = "BLACK_DEAD: "; break;
    default:
        std::fprintf(stderr, "out_%d \n", code);
        label = "Error stone: ";
        break;
    }
    std::fprintf(stderr, "%s (%d %d) \n", label, i, j);
    std::fflush(stderr);
}

void groups_print(const GROUPS *groups) {
    std::printf("groups_num = %d \n", groups->groups_num);
    for (int k = 0; k < groups->groups_num; ++k) {
        const GROUP &group = groups->groups[k];
        std::printf("%s group: stones=%d dame=%d \n", group.colour == STONE_WHITE ? "White" : "Black", group.stones,
                    group.dame);
    }
}
