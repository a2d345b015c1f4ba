// What korvani-solve and korvani-master share about a game given as moves: replaying them by the rules
// (each checked as the game checks a click), naming points, and the distinct moves of a position.
#pragma once

#include <string>
#include <vector>

#include "engine/solve.h"

const char *side_name(int colour);

// The game so far: the position for the side to move, and how the game ended if it did.
struct GAME_SO_FAR {
    SOLVE_POSITION position{0, 0};
    int to_move = STONE_BLACK;
    int played = 0;
    int winner = 0; // set when the last move ended the game
};

// Plays the moves, in the game's notation, Black first, onto game, with the end test after each. An empty
// string when they are all good, else what is wrong with the first that is not.
std::string replay(const SOLVER *rules, const std::string &moves, GAME_SO_FAR *game);

// The name of a point (8i + j) in the game's notation.
std::string point_name(int size, int point);

// The distinct moves of a position: a class for each orbit of the empty points under the symmetries
// that leave the position as it is, each class in board order, the classes from the centre outward.
std::vector<std::vector<int>> move_classes(const SOLVER *solver, SOLVE_POSITION position);
