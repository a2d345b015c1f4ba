// The computer player: its record, the level read from its name, the five operations it installs in its
// search context, the dame-margin evaluation, and the query for its best move.
#pragma once

#include "engine/groups.h"
#include "engine/minimax.h"
#include "model/board.h"

enum { PLAYER_NAME_SIZE = 154 };

struct SEARCH_STORE;

// A player that chooses its moves by other means than the search (korvani-match's perfect player):
// 1 and the point, or 0 when it has no move.
typedef int (*PLAYER_CHOOSE)(void *data, const BOARD *board, int colour, int *i, int *j);

struct PLAYER {
    short colour;                 // the side for which the evaluation counts (1 White, 2 Black)
    char name[PLAYER_NAME_SIZE];  // "tiku" and the level
    int level;                    // the search depth
    MM *mm;                       // owned search context
    BOARD *board;                 // the game's board, not owned: searches start from it
    GROUPS *groups;               // owned working record of the evaluation
    SEARCH_STORE *store;          // owned: the positions and moves of the current search
    PLAYER_CHOOSE choose;         // null for the game's players, which search
    void *choose_data;            // handed to choose, not owned
};

// The level written after the prefix: 0 for the prefix alone, -1 for "tiku-1". The prefix characters are
// skipped, not compared. A name shorter than the prefix gives 0 instead of reading past its end.
int name_level(const char *name, const char *prefix);

// Fills a player for the board: colour, name (cut to 153 characters), level, a context with the five
// operations, and a groups record over the board. Level 0 is kept; the game record replaces it.
void player_init(PLAYER *player, const char *name, short colour, BOARD *board);
// Releases what the player owns (context, groups record, the store of its searches).
void player_release(PLAYER *player);

// Searches from the player's board with the player's colour to move and sets (i, j) to the best move;
// leaves them untouched when the search gives no move. What the search made is dropped when it returns.
// A player with choose set asks it instead of searching.
void player_best_move(PLAYER *player, int *i, int *j);

// The five operations; each takes the player record as its user argument.
int gen_empty_moves(void *player, void *position, void **moves);
int eval_dame_margin(void *player, void *position);
void *make_move(void *player, void *position, void *move);
const char *move_text(void *move, void *player);
int after_move(void *player, void *position);
