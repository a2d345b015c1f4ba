#include "tools/game_line.h"

#include <algorithm>
#include <cctype>
#include <sstream>

const char *side_name(int colour) { return colour == STONE_BLACK ? "Black" : "White"; }

std::string replay(const SOLVER *rules, const std::string &moves, GAME_SO_FAR *game) {
    const int size = rules->size;
    BOARD notation{size, size, nullptr, 0}; // the notation reads only the size
    std::istringstream in(moves);
    for (std::string text; in >> text;) {
        const std::string what = "move " + std::to_string(game->played + 1) + " \"" + text + "\"";
        const bool shaped = text.size() >= 2 && text.size() <= 3 && std::isalpha(static_cast<unsigned char>(text[0])) &&
                            text.find_first_not_of("0123456789", 1) == std::string::npos;
        int i = -1;
        int j = -1;
        if (shaped) board_parse_point(&notation, text.c_str(), &i, &j);
        if (!shaped || i < 0 || i >= size || j < 0 || j >= size)
            return what + " is not a point of the " + std::to_string(size) + " x " + std::to_string(size) + " board";
        if (game->winner)
            return what + " comes after the end of the game: " + side_name(game->winner) + " won with move " +
                   std::to_string(game->played);
        const int point = solve_point(i, j);
        if ((game->position.mover | game->position.other) & solve_bit(point)) return what + " is on a taken point";
        SOLVE_POSITION child{};
        const int kind = solve_play(rules, game->position, point, &child);
        ++game->played;
        if (kind == SOLVE_PLAYED) {
            game->position = child;
            game->to_move = stone_opponent(game->to_move);
        } else {
            game->winner = kind == SOLVE_CAPTURE ? game->to_move : stone_opponent(game->to_move);
        }
    }
    return "";
}

std::string point_name(int size, int point) {
    BOARD board{size, size, nullptr, 0};
    return board_point_name(&board, point / 8, point % 8);
}

std::vector<std::vector<int>> move_classes(const SOLVER *solver, SOLVE_POSITION position) {
    std::vector<int> keeping;
    for (int s = 0; s < 8; ++s)
        if (solve_symmetry(solver->size, s, position.mover) == position.mover &&
            solve_symmetry(solver->size, s, position.other) == position.other)
            keeping.push_back(s);
    std::vector<std::vector<int>> classes;
    uint64_t seen = 0;
    const uint64_t empty = solver->board & ~(position.mover | position.other);
    for (uint64_t left = empty; left != 0; left &= left - 1) {
        const int q = __builtin_ctzll(left);
        if (seen & solve_bit(q)) continue;
        uint64_t orbit = 0;
        for (int s : keeping) orbit |= solve_symmetry(solver->size, s, solve_bit(q));
        seen |= orbit;
        std::vector<int> points;
        for (uint64_t o = orbit; o != 0; o &= o - 1) points.push_back(__builtin_ctzll(o));
        classes.push_back(points);
    }
    // From the centre outward: the moves that usually win come first, which is what a run that is cut
    // short should have proved.
    std::stable_sort(classes.begin(), classes.end(), [solver](const std::vector<int> &a, const std::vector<int> &b) {
        return solver->centrality[a[0]] > solver->centrality[b[0]];
    });
    return classes;
}
