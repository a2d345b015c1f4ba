// A generic depth-limited minimax without pruning. It knows nothing of boards: it walks opaque
// positions and moves through the five operations of its context.
#pragma once

// A node lists at most this many moves; the game lists the empty points of a 5 x 5 board.
enum { MM_MAX_MOVES = 25 };

// A value at or beyond these bounds is a decided position: the search ends below it.
enum { MM_DECIDED = 100 };

typedef int (*MM_GEN_MOVES)(void *user, void *position, void **moves);
typedef int (*MM_EVALUATE)(void *user, void *position);
typedef void *(*MM_MAKE_MOVE)(void *user, void *position, void *move);
typedef const char *(*MM_MOVE_TEXT)(void *move, void *user);
typedef int (*MM_AFTER_MOVE)(void *user, void *position);

struct MM {
    MM_GEN_MOVES gen_moves;   // writes the moves of a position into the list, returns their number
    MM_EVALUATE evaluate;     // value of a position for the side that owns the search
    MM_MAKE_MOVE make_move;   // the position after a move, as a new position; null if it cannot be played
    MM_MOVE_TEXT move_text;   // a move as text for the trace; must accept a null move
    MM_AFTER_MOVE after_move; // optional: called on every new position before it is searched
    int numlev;               // level of the node being searched; -1 between searches
};

// A new context with numlev -1; the caller owns it (mm_free). after_move may be null.
MM *mm_create(MM_GEN_MOVES gen_moves, MM_EVALUATE evaluate, MM_MAKE_MOVE make_move,
              MM_MOVE_TEXT move_text, MM_AFTER_MOVE after_move);
void mm_free(MM *mm);

// The minimax value of the position searched to maxlev levels; through best (may be null) the move that
// reaches it, or null when the position was not expanded. Creates and releases nothing itself.
int mm_minimax(MM *mm, void *position, int maxlev, void **best, void *user);
