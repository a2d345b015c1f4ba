#include "engine/groups.h"

#include <cstdlib>
#include <ctime>

#include "support/common.h"

namespace {

bool fits(int rows, int cols) { return rows >= 0 && cols >= 0 && rows <= GROUPS_MAX_SIDE && cols <= GROUPS_MAX_SIDE; }

int code_at(const GROUPS *groups, int i, int j) { return groups->board->cells[i * groups->board->cols + j]; }

} // namespace

GROUPS *groups_create(int rows, int cols, BOARD *board) {
    if (!fits(rows, cols)) YFatal("groups_create");
    GROUPS *groups = new GROUPS();
    groups->board = board;
    groups->rows = rows;
    groups->cols = cols;
    groups->moves.moves_num = 0;
    // Every random choice of the game (handicap points, tie-breaks) draws on this seed.
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    return groups;
}

void groups_free(GROUPS *groups) { delete groups; }

int groups_add_move(GROUPS *groups, int stone, int i, int j) {
    MOVES &history = groups->moves;
    // A game on the largest board fills at most 49 points; a longer history is a caller's fault.
    if (history.moves_num >= MOVES_CAPACITY) YFatal("groups_add_move");
    history.moves[history.moves_num] = MOVE{i, j, stone};
    ++history.moves_num;
    return 1;
}

void groups_find(GROUPS *groups, BOARD *board) {
    if (board) {
        if (!fits(board->rows, board->cols)) YFatal("groups_find");
        groups->board = board;
        groups->rows = board->rows;
        groups->cols = board->cols;
    }
    for (int i = 0; i < groups->rows; ++i)
        for (int j = 0; j < groups->cols; ++j) groups->marks[i][j] = 0;
    groups->groups_num = 0;

    for (int i = 0; i < groups->rows; ++i)
        for (int j = 0; j < groups->cols; ++j) {
            const int code = code_at(groups, i, j);
            if (code == STONE_NONE || groups->marks[i][j] != 0) continue;
            GROUP *group = &groups->groups[groups->groups_num];
            group->colour = code;
            group->stones = 0;
            group->dame = 0;
            group_fill(groups, group, i, j);
            ++groups->groups_num;
        }
}

void group_fill(GROUPS *groups, GROUP *group, int i, int j) {
    for (;;) {
        if (i < 0 || j < 0 || i > groups->rows - 1 || j > groups->cols - 1) return;
        const int code = code_at(groups, i, j);
        if (code == STONE_NONE) {
            group_add_dame(group, i, j); // empty points are never marked
            return;
        }
        if (code != group->colour || groups->marks[i][j] != 0) return;

        groups->marks[i][j] = code;
        group->stone_i[group->stones] = i;
        group->stone_j[group->stones] = j;
        ++group->stones;

        group_fill(groups, group, i, j - 1);
        group_fill(groups, group, i, j + 1);
        group_fill(groups, group, i + 1, j);
        --i; // the last neighbour, up, by looping instead of a fourth call
    }
}

void group_add_dame(GROUP *group, int i, int j) {
    for (int k = 0; k < group->dame; ++k)
        if (group->dame_i[k] == i && group->dame_j[k] == j) return;
    group->dame_i[group->dame] = i;
    group->dame_j[group->dame] = j;
    ++group->dame;
}

int groups_dame_min(const GROUPS *groups, short colour) {
    // Beyond any count of dame, so that "no group of that colour" stays recognisable.
    constexpr int NONE = 1000;
    int least = NONE;
    for (int k = 0; k < groups->groups_num; ++k) {
        const GROUP &group = groups->groups[k];
        if (group.colour == colour && group.dame < least) least = group.dame;
    }
    return least == NONE ? -1 : least;
}

GROUP *groups_find_dead(GROUPS *groups, int colour) {
    for (int k = 0; k < groups->groups_num; ++k) {
        GROUP *group = &groups->groups[k];
        if (group->colour == colour && group->dame == 0) return group;
    }
    return nullptr;
}

void groups_check_end(GROUPS *groups, int mark, int *white_lost, int *black_lost) {
    groups_find(groups, nullptr);
    *white_lost = 0;
    *black_lost = 0;
    if (groups->moves.moves_num == 0) return; // nothing placed yet

    const int mover = groups->moves.moves[groups->moves.moves_num - 1].value;
    const int opponent = stone_opponent(mover);

    // The capture takes precedence: a move that leaves an enemy group without dame wins even when it
    // also filled the last dame of one of the mover's own groups.
    const GROUP *lost = groups_find_dead(groups, opponent);
    if (!lost) lost = groups_find_dead(groups, mover);
    if (!lost) return;

    const int loser = lost->colour;
    int dead_code;
    if (loser == STONE_WHITE) {
        *white_lost = 1;
        dead_code = WHITE_DEAD;
    } else {
        *black_lost = 1;
        dead_code = BLACK_DEAD;
    }
    if (!mark) return;

    // Every lost group of that colour, not only the first one found; the analysis is not redone.
    for (int k = 0; k < groups->groups_num; ++k) {
        const GROUP &group = groups->groups[k];
        if (group.colour != loser || group.dame != 0) continue;
        for (int s = 0; s < group.stones; ++s)
            groups->board->cells[group.stone_i[s] * groups->board->cols + group.stone_j[s]] = dead_code;
    }
}
