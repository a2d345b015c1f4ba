// The solver: perfect play of the game on square boards of 2 x 2 to 7 x 7, proved by search. It decides
// wins and losses as the end test and the game loop do: a move that leaves an enemy group without dame
// wins, even when it also fills the mover's own last dame; otherwise a move that leaves one of the mover's
// own groups without dame loses; a side with no move loses, as the game flow counts a computer that
// gives no move as giving up (on a board reached by play this never comes: the move that fills the last
// point always ends the game).
//
// It has a board of its own: bit sets of points, a key with the eight symmetries of the square folded in,
// and a transposition table of bounds, so that nothing of the game's records is touched.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "engine/rows64.h"
#include "model/board.h"

enum { SOLVE_MIN_SIZE = 2, SOLVE_MAX_SIZE = 7 };

// Values are seen from the side to move and count plies from the position: SOLVE_WIN - k is a win in k
// plies (a capture at once is a win in 1), -(SOLVE_WIN - k) a loss in k plies, -SOLVE_WIN a side without
// a move. A game on 7 x 7 lasts at most 49 plies, so every win is above 50 and every loss below -50.
enum { SOLVE_WIN = 100 };

// A position: the stones of the side to move and those of the other side, as sets of points of
// engine/rows64.h (point (i, j) is bit 8i + j).
struct SOLVE_POSITION {
    uint64_t mover;
    uint64_t other;
};

struct SOLVE_ENTRY;

struct SOLVER {
    int size;               // side of the square board
    uint64_t board;         // its points
    SOLVE_ENTRY *table;     // owned: buckets of two entries
    size_t table_buckets;   // a power of two
    uint64_t history[64];   // per point: how often a move there refuted the rest, weighted by depth
    int centrality[64];     // per point: how far it lies from the edge (0 on the edge)
    uint64_t nodes;         // positions searched since the solver was made or cleared
    uint64_t node_limit;    // a search stops when nodes passes it
    int out_of_nodes;       // set when it did: its result means nothing
    int plain;              // 1: every move searched and no child looked up first, as the solver first was
};

// A solver for boards of size x size with a table of about table_mb megabytes; null when the size is
// outside 2 to 7 or the table cannot be had. The caller owns it (solver_free).
SOLVER *solver_new(int size, size_t table_mb);
void solver_free(SOLVER *solver);
// Forgets the table, the history and the node count, so that a measurement starts from nothing.
void solver_clear(SOLVER *solver);

constexpr int solve_point(int i, int j) { return rows64_point(i, j); }
constexpr uint64_t solve_bit(int point) { return rows64_bit(point); }

// The position of a board with colour to move; 0 when the board is not square of 2 to 7, or holds a code
// other than empty, White and Black.
int solve_position_from_board(const BOARD *board, int colour, SOLVE_POSITION *position);

// The key under which the table files a position: the least of its eight images under the symmetries of
// the square, as a pair (mover, other).
SOLVE_POSITION solve_canonical(const SOLVER *solver, SOLVE_POSITION position);
// One of the eight symmetries (0 the identity) applied to a set of points.
uint64_t solve_symmetry(int size, int symmetry, uint64_t points);

// 1 when some group of either side has no dame: the game ended with the move that made the position.
int solve_decided(const SOLVER *solver, SOLVE_POSITION position);

// How a move turns out at once under the end test.
enum { SOLVE_CAPTURE = 1, SOLVE_SUICIDE = -1, SOLVE_PLAYED = 0 };
// Plays the point (empty, on the board) for the side to move. SOLVE_PLAYED sets child, seen from the
// other side, who moves next.
int solve_play(const SOLVER *solver, SOLVE_POSITION position, int point, SOLVE_POSITION *child);

// Who wins with perfect play: 1 the side to move, -1 the other. The position must not be decided.
int solve_value(SOLVER *solver, SOLVE_POSITION position);
// As solve_value, but 0 when the search needs more than the nodes given; what it stored stays valid.
int solve_value_within(SOLVER *solver, SOLVE_POSITION position, uint64_t nodes);
// The exact value: how soon the side to move wins, or how long it resists (see SOLVE_WIN). The position
// must not be decided, here and below.
int solve_score(SOLVER *solver, SOLVE_POSITION position);
// Whether the winner (the side to move when mover_wins, else the other side) wins within the plies given
// against any defence: a search with a window of one score, far cheaper than the exact score when the
// plies are few. A no is a lower bound of the perfect game's length.
bool solve_wins_within(SOLVER *solver, SOLVE_POSITION position, bool mover_wins, int plies);
// The value of a move seen from the side that plays it; exact, or only its sign when exact is 0.
int solve_move_score(SOLVER *solver, SOLVE_POSITION position, int point, int exact);

// The best moves by exact value: the quickest wins, or when every move loses, the moves that resist
// longest. Writes their points in board order and returns how many; 0 when the side has no move.
// Sets *score to their value.
int solve_best_moves(SOLVER *solver, SOLVE_POSITION position, int *points, int *score);

// The perfect player: one of the best moves of colour on the board, a tie broken with rand() as the
// computer player breaks its ties. 0 and the outputs untouched when there is no move or the game is over.
int solve_perfect_move(SOLVER *solver, const BOARD *board, int colour, int *i, int *j);

// The proof of a position's value that a replay by the rules alone can check: a walk from the position.
// Where the winner is to move and can take a group at once, the walk ends there and adds nothing; else it
// adds one byte, the point of a winning move, unless the position was met before: every position of the
// winner is remembered and walked once. Where the loser is to move, every reply is walked in board order.
// A proof of hundreds of megabytes need not be held: with spill set, the bytes are written there a
// megabyte at a time as the walk goes, and bytes keeps only those not yet written.
struct SOLVE_PROOF {
    std::vector<uint8_t> bytes;
    uint64_t positions = 0;  // the positions walked, each as often as it was walked
    uint64_t remembered = 0; // the winner's positions walked once and then remembered
    std::FILE *spill = nullptr;
    uint64_t spilled = 0;    // the bytes written to spill
    bool spill_failed = false;
};

// How the walk ranks the winner's (the side to move's) move at point: the loser's replies after which
// the winner has no capture at once and the replying group keeps two dame or more, the positions the
// proof must walk below the move; -1 when the move ends the game or a reply captures.
int solve_free_replies(const SOLVER *solver, SOLVE_POSITION position, int point);

// Appends the walk to proof and returns true; false when the search could not back a step (it never
// should).
bool solve_write_proof(SOLVER *solver, SOLVE_POSITION position, SOLVE_PROOF *proof);

// Plies to the end of the game from a value.
inline int solve_plies(int score) { return score > 0 ? SOLVE_WIN - score : SOLVE_WIN + score; }
