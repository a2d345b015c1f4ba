// The rules engine: groups, their dame, and the end test after each recorded move.
#pragma once

#include "model/board.h"

// The marks are a 7 x 7 array, so a record analyses boards of at most 7 x 7 points; such a board holds
// at most 49 groups, and a group at most 49 stones and 49 dame.
enum { GROUPS_MAX_SIDE = 7, GROUPS_MAX = 49 };

struct GROUP {
    int colour;                  // the stone code shared by its stones
    int stones;                  // number of stones
    int dame;                    // number of distinct dame
    int stone_i[GROUPS_MAX];     // its stones in the order the fill reached them
    int stone_j[GROUPS_MAX];
    int dame_i[GROUPS_MAX];      // its dame in the order first reached
    int dame_j[GROUPS_MAX];
};

struct GROUPS {
    BOARD *board;                // the board analysed, not owned
    int rows;
    int cols;
    MOVES moves;                 // every move recorded, value = the stone placed
    int groups_num;              // groups found by the last analysis
    GROUP groups[GROUPS_MAX];    // in the order the scan met their first stone
    int marks[GROUPS_MAX_SIDE][GROUPS_MAX_SIDE]; // code of each stone point reached; 0 = not reached
};

// A new record for the board (not owned) with an empty move history; the caller owns it (groups_free).
// Seeds rand() with the current time. Stops through YFatal("groups_create") for a board over 7 x 7.
GROUPS *groups_create(int rows, int cols, BOARD *board);
void groups_free(GROUPS *groups);

// Appends (i, j, stone) to the history and returns 1. Stops through YFatal("groups_add_move") on a
// 101st move instead of writing past the history.
int groups_add_move(GROUPS *groups, int stone, int i, int j);

// Analyses the record's board, after making board the record's board when one is given.
// Stops through YFatal("groups_find") when the board is over 7 x 7.
void groups_find(GROUPS *groups, BOARD *board);

// The fewest dame of any group of that colour in the last analysis; -1 when the colour has no group.
int groups_dame_min(const GROUPS *groups, short colour);

// The first group of that colour without dame, or null.
GROUP *groups_find_dead(GROUPS *groups, int colour);

// Analyses the board and decides whether the last recorded move ended the game. At most one output is 1.
// A capture beats the mover's own lost group. With mark set, every lost group of the losing colour is
// rewritten on the board as WHITE_DEAD or BLACK_DEAD.
void groups_check_end(GROUPS *groups, int mark, int *white_lost, int *black_lost);

// The end test of the last recorded move from what that move changed: the groups of the other colour
// next to its point, which lost a dame, and the mover's group that holds it. The same outputs as
// groups_check_end with mark 0 wherever no group was without dame before the move (a game going on), at
// a fraction of its cost. The record's analysis is neither used nor redone. Stops through
// YFatal("groups_check_move") when no move is recorded.
void groups_check_move(GROUPS *groups, int *white_lost, int *black_lost);

// Where the first group of colour, in the analysis's order, that has a single dame has it: 1 with (i, j)
// set, 0 when no group of that colour has exactly one dame. Read from the board, not from the last
// analysis.
int groups_last_dame(GROUPS *groups, int colour, int *i, int *j);

// The fill that collects one group: order left, right, down, up. groups_find collects its groups in
// exactly this way (the same stones and dame, in the same order) without calling it.
void group_fill(GROUPS *groups, GROUP *group, int i, int j);
// Adds (i, j) to the group's dame unless it is there already. Called by group_fill.
void group_add_dame(GROUP *group, int i, int j);
