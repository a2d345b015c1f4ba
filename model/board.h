// Stone codes, the board grid, moves, move lists, positions and the point notation.
#pragma once

// The values are fixed: the text rendering and the board view test for exactly these numbers,
// and the end of a game writes the dead codes (note 221, not 222).
enum : int {
    STONE_NONE = 0,
    STONE_WHITE = 1,   // the computer's colour in the game
    STONE_BLACK = 2,   // the user's colour in the game
    WHITE_FALSE = 11,  // small white mark, drawn on a lost black stone
    BLACK_FALSE = 22,  // small black mark, drawn on a lost white stone
    CONTACT_DAME = 99, // a point mark that only the point printer names
    WHITE_DEAD = 111,  // white stone of a captured group
    BLACK_DEAD = 221,  // black stone of a captured group
};

// The opponent of colour 1 is 2; of every other colour, 1.
inline int stone_opponent(int colour) { return colour == STONE_WHITE ? STONE_BLACK : STONE_WHITE; }

// The board model (the view widget is Board).
struct BOARD {
    int rows;   // bounds i
    int cols;   // bounds j
    int *cells; // rows x cols codes, row-major: point (i, j) is element i * cols + j
    int room;   // the codes cells can hold: rows x cols as made, which position_copy may shrink
};

struct MOVE {
    int i;     // row
    int j;     // column
    int value; // in a move history, the stone placed; left unset by moves_add and move_new
};

enum { MOVES_CAPACITY = 100 };

// A fixed-capacity move list: one block, no allocation per entry.
struct MOVES {
    MOVE moves[MOVES_CAPACITY]; // the first moves_num are valid
    int moves_num;
};

// A board with the side to move: the unit of the computer's search.
struct POSITION {
    BOARD *board; // owned when made by position_new or position_copy
    int colour;   // the stone code of the side to move
};

// A new board of rows x cols empty points; the caller owns it (board_free).
BOARD *board_new(int rows, int cols);
// A new board with the same size and codes; the caller owns it.
BOARD *board_copy(const BOARD *board);
void board_free(BOARD *board);

// Stores the code at (i, j); first warns on the error stream when the point was not empty.
void board_set_move(BOARD *board, int stone, int i, int j);
void board_clear_point(BOARD *board, int i, int j);
// 1 when (i, j) is on the board and empty, else 0. The only point operation that tests the bounds.
int board_is_empty(const BOARD *board, int i, int j);

// Picks the k-th empty point (k = rand() mod n + 1) of the rectangle i0..i1 x j0..j1 in row-major order.
// Returns 0 and leaves the outputs alone when the rectangle has no empty point.
int board_random_empty_in(const BOARD *board, int i0, int j0, int i1, int j1, int *i, int *j);
int board_random_empty(const BOARD *board, int *i, int *j);

// The lower-case letter of column j ("ABCDEFGHJKLMNOPQRST", no I); '?' for a column beyond the 19 letters.
char board_column_letter(int j);
// The notation of (i, j), "a5" for the top-left point of 5 x 5, in a static buffer the next call overwrites.
const char *board_point_name(const BOARD *board, int i, int j);
// Reads the notation back; an unknown letter gives j = cols. Never reads or writes past its buffers.
void board_parse_point(const BOARD *board, const char *text, int *i, int *j);
// "O" 1, "X" 2, "@" 111, "#" 221; every other character 0.
int stone_from_char(char c);

// A new move with value unset; the caller owns it (move_free).
MOVE *move_new(int i, int j);
void move_free(MOVE *move);

MOVES *moves_new();
void moves_free(MOVES *mvs);
void moves_clear(MOVES *mvs);
// Appends (i, j); stops through YFatal("moves_add") when the list already holds 100 moves.
void moves_add(MOVES *mvs, int i, int j);
MOVE *moves_get(MOVES *mvs, int n);
// Removes the move at n_del, keeping the order; YFatal("n_del >= mvs->moves_num") when n_del is too large.
void moves_del(MOVES *mvs, int n_del);
int moves_count(const MOVES *mvs);

// A position with a new empty board; the caller owns both (position_free).
POSITION *position_new(int colour, int rows, int cols);
// Copies the source's codes, size and colour into target, making a new position when target is null.
// Stops through YFatal("position_copy") when the target's board was made too small for the source's codes.
POSITION *position_copy(POSITION *target, const POSITION *source);
// Releases a position and the board it owns.
void position_free(POSITION *position);
