// The game record: the board being played, its groups record with the history of moves, and up to 20
// computer players.
#pragma once

#include "engine/client.h"
#include "engine/groups.h"
#include "model/board.h"

enum { GAME_MAX_PLAYERS = 20 };

struct GAME {
    int rows;
    int cols;
    BOARD *board;                       // owned; empty at creation
    GROUPS *groups;                     // owned; its history receives every move of game_move
    int players_num;                    // players added
    PLAYER players[GAME_MAX_PLAYERS];   // in the order added
};

// A new game on an empty board, without players; the caller owns it (game_free). Seeds rand().
GAME *game_new(int rows, int cols);
// Releases the record with its board, groups record and players.
void game_free(GAME *game);

// Adds a computer player and returns its index. Level 0 (the prefix alone) becomes rows x cols.
// Stops through YFatal("game_add_player") on a 21st player or a null name.
int game_add_player(GAME *game, const char *name, int unused, short colour);

// 1 after placing the stone and recording it; 0 and nothing changed when the point is off the board
// or taken.
int game_move(GAME *game, int i, int j, short stone);
// The player's search, then game_move with the given stone; 0 when the search gave no move.
int game_computer_move(GAME *game, int n, short stone);
// 0 while the game goes on, else the winner: 1 White, 2 Black. Marks the lost stones.
int game_check_end(GAME *game);
// An empty point at random; 0 when the board is full.
short game_random_point(GAME *game, int unused, int *i, int *j);
// Copies the codes of the board into out, element i * cols + j.
void game_get_board(const GAME *game, int *out);
// Writes a code without any test and without recording it.
void game_set_point(GAME *game, int i, int j, short stone);
void game_set_board(GAME *game, const int *codes);
void game_print(const GAME *game);
// A whole game of two computer players on a game record without players: the second (Black) moves
// first. With verbose, prints the board after each move and the winner line. Returns the winner, or 0
// when neither side can move and no group was lost (only from a board set with game_set_board).
int game_play(GAME *game, const char *first, const char *second, int verbose, int unused);
// The moves of game_play between two players already added (their indices): Black moves first, the
// colours alternate until the end test finds a loser or neither side can move. Returns the winner, or 0.
int game_play_players(GAME *game, int white, int black, int verbose);
