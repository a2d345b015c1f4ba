#include "model/board.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "support/common.h"

namespace {

// Column letters of the notation: I is skipped, as on a Go board.
const char COLUMN_LETTERS[] = "ABCDEFGHJKLMNOPQRST";
constexpr int COLUMN_LETTER_COUNT = sizeof(COLUMN_LETTERS) - 1;

// The row part of a point's text is read from a copy of at most 27 characters.
constexpr int ROW_TEXT_SIZE = 28;

int *cell(BOARD *board, int i, int j) { return &board->cells[i * board->cols + j]; }
int cell_value(const BOARD *board, int i, int j) { return board->cells[i * board->cols + j]; }

} // namespace

BOARD *board_new(int rows, int cols) {
    BOARD *board = new BOARD;
    board->rows = rows;
    board->cols = cols;
    board->cells = new int[rows * cols]();
    board->room = rows * cols;
    return board;
}

BOARD *board_copy(const BOARD *board) {
    BOARD *copy = board_new(board->rows, board->cols);
    std::memcpy(copy->cells, board->cells, sizeof(int) * board->rows * board->cols);
    return copy;
}

void board_free(BOARD *board) {
    if (!board) return;
    delete[] board->cells;
    delete board;
}

void board_set_move(BOARD *board, int stone, int i, int j) {
    const int old = cell_value(board, i, j);
    if (old != STONE_NONE) {
        std::fprintf(stderr, "board_set_move: %d %d stone_old=%d \n", i, j, old);
        std::fflush(stderr); // the error stream is buffered for the trace; a warning shows at once
    }
    *cell(board, i, j) = stone;
}

void board_clear_point(BOARD *board, int i, int j) { *cell(board, i, j) = STONE_NONE; }

int board_is_empty(const BOARD *board, int i, int j) {
    if (i < 0 || j < 0 || i > board->rows - 1 || j > board->cols - 1) return 0;
    return cell_value(board, i, j) == STONE_NONE ? 1 : 0;
}

int board_random_empty_in(const BOARD *board, int i0, int j0, int i1, int j1, int *i, int *j) {
    int n = 0;
    for (int r = i0; r <= i1; ++r)
        for (int c = j0; c <= j1; ++c)
            if (cell_value(board, r, c) == STONE_NONE) ++n;
    if (n == 0) return 0;

    const int k = std::rand() % n + 1;
    int seen = 0;
    for (int r = i0; r <= i1; ++r)
        for (int c = j0; c <= j1; ++c)
            if (cell_value(board, r, c) == STONE_NONE && ++seen == k) {
                *i = r;
                *j = c;
                return 1;
            }
    return 0;
}

int board_random_empty(const BOARD *board, int *i, int *j) {
    return board_random_empty_in(board, 0, 0, board->rows - 1, board->cols - 1, i, j);
}

char board_column_letter(int j) {
    // Only 19 columns have a letter; a column outside them is named "?" rather than read past the table.
    if (j < 0 || j >= COLUMN_LETTER_COUNT) return '?';
    return static_cast<char>(std::tolower(static_cast<unsigned char>(COLUMN_LETTERS[j])));
}

const char *board_point_name(const BOARD *board, int i, int j) {
    // "%c%d", written by hand: the search names every move for its trace, and snprintf was a quarter of
    // a computer move.
    static char name[16];
    const int row = board->rows - i;
    char digits[12];
    int n = 0;
    // The magnitude as unsigned, so that the most negative int is written right too.
    unsigned magnitude = row < 0 ? 0u - static_cast<unsigned>(row) : static_cast<unsigned>(row);
    do {
        digits[n++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    int k = 0;
    name[k++] = board_column_letter(j);
    if (row < 0) name[k++] = '-';
    while (n > 0) name[k++] = digits[--n];
    name[k] = '\0';
    return name;
}

void board_parse_point(const BOARD *board, const char *text, int *i, int *j) {
    if (!text) text = "";
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));

    int column = board->cols;
    const int letters = board->cols < COLUMN_LETTER_COUNT ? board->cols : COLUMN_LETTER_COUNT;
    for (int c = 0; c < letters; ++c)
        if (letter == COLUMN_LETTERS[c]) {
            column = c;
            break;
        }

    char row_text[ROW_TEXT_SIZE] = {};
    if (text[0] != '\0') std::strncpy(row_text, text + 1, ROW_TEXT_SIZE - 1);
    // The standard decimal conversion; a number beyond any board is clamped so that rows - r cannot overflow.
    const long row = std::strtol(row_text, nullptr, 10);
    const long clamped = row > 1000000 ? 1000000 : (row < -1000000 ? -1000000 : row);

    *i = board->rows - static_cast<int>(clamped);
    *j = column;
}

int stone_from_char(char c) {
    switch (c) {
    case 'O': return STONE_WHITE;
    case 'X': return STONE_BLACK;
    case '@': return WHITE_DEAD;
    case '#': return BLACK_DEAD;
    default: return STONE_NONE;
    }
}

MOVE *move_new(int i, int j) {
    MOVE *move = static_cast<MOVE *>(std::malloc(sizeof(MOVE)));
    if (!move) std::exit(EXIT_FAILURE);
    move->i = i;
    move->j = j;
    return move;
}

void move_free(MOVE *move) { std::free(move); }

MOVES *moves_new() {
    MOVES *mvs = new MOVES;
    mvs->moves_num = 0;
    return mvs;
}

void moves_free(MOVES *mvs) { delete mvs; }

void moves_clear(MOVES *mvs) { mvs->moves_num = 0; }

void moves_add(MOVES *mvs, int i, int j) {
    if (mvs->moves_num >= MOVES_CAPACITY) YFatal("moves_add");
    mvs->moves[mvs->moves_num].i = i;
    mvs->moves[mvs->moves_num].j = j;
    ++mvs->moves_num;
}

MOVE *moves_get(MOVES *mvs, int n) { return &mvs->moves[n]; }

void moves_del(MOVES *mvs, int n_del) {
    if (n_del >= mvs->moves_num) YFatal("n_del >= mvs->moves_num");
    for (int k = n_del; k < mvs->moves_num - 1; ++k) mvs->moves[k] = mvs->moves[k + 1];
    --mvs->moves_num;
}

int moves_count(const MOVES *mvs) { return mvs->moves_num; }

POSITION *position_new(int colour, int rows, int cols) {
    POSITION *position = static_cast<POSITION *>(std::calloc(1, sizeof(POSITION)));
    if (!position) std::exit(EXIT_FAILURE);
    position->board = board_new(rows, cols);
    position->colour = colour;
    return position;
}

POSITION *position_copy(POSITION *target, const POSITION *source) {
    const BOARD *from = source->board;
    if (!target) target = position_new(0, from->rows, from->cols);
    BOARD *to = target->board;
    // The room the target was made with, not its present size: a smaller copy shrinks the size, and a
    // later larger one that still fits must not be refused.
    if (to->room < from->rows * from->cols) YFatal("position_copy");
    std::memcpy(to->cells, from->cells, sizeof(int) * from->rows * from->cols);
    to->rows = from->rows;
    to->cols = from->cols;
    target->colour = source->colour;
    return target;
}

void position_free(POSITION *position) {
    if (!position) return;
    board_free(position->board);
    std::free(position);
}
