// Fixed positions and helpers shared by the benchmarks: boards written as pictures, one character per
// point ("." empty, "O" White, "X" Black), rows from the top.
#pragma once

#include <vector>

#include "model/board.h"
#include "model/game.h"

namespace bench {

// A board from a picture of rows separated by "/"; blanks between points are ignored.
BOARD *board_from_picture(const char *picture);

// The fixed middle game: ten stones after five moves of each side, with no group short of dame, so a
// search from it is not cut short by a decided position.
extern const char MIDDLE_GAME[];

// Every position of a few seeded games between two level-2 players, from the first stone to the end:
// what the evaluation meets in the search, minus the empty board. The caller owns the boards.
std::vector<BOARD *> typical_positions();

// Random middle games: count 5 x 5 boards of ten stones, five of each colour on random points, with no
// group short of dame (so that a search from them is not cut short at its root), from a fixed seed.
// The caller owns the boards.
std::vector<BOARD *> random_middle_games(int count);

// A 5 x 5 game, empty or holding the middle game, with one White player "tiku<level>" at *player and
// rand() seeded with 1, ready for player_best_move. The caller owns the game.
GAME *search_game(int level, bool middle, int *player);

} // namespace bench
