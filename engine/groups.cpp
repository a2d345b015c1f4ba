#include "engine/groups.h"

#include <cstdint>
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

namespace {

// groups_find collects each group as group_fill would, and in the same order: the same recursion
// over the neighbours in the order left, right, down, up, with the stones and dame appended as it goes,
// but with the board's points as bit masks. A neighbour off the board lands outside every mask, so there
// is no bound test, and a dame already counted is a bit already set, so there is no search of the dame
// list; a call for a point that would stop at once (off the board, a stone of another colour or one
// already reached) is not made, since the board does not change. The evaluation analysed every
// position of a search this way, and the bound tests and the dame search were most of its cost.
//
// Points are numbered 8i + j, so sets of points are 64-bit masks in which column 7 and row 7 never hold
// a point of the board (a side is at most 7): a shift by one column or one row cannot wrap onto the board.
constexpr uint64_t point_bit(int q) { return uint64_t{1} << q; }

// The masks of one analysis: the board's points, its empty points, the stones of each colour.
struct Masks {
    uint64_t board;
    uint64_t empty;
    uint64_t white;
    uint64_t black;
};

// The stones of a colour: from the masks for the two colours of play, by a scan for any other code (the
// dead codes at the end of a game).
uint64_t colour_mask(const Masks &m, int colour, const int *cells, int stride) {
    if (colour == STONE_WHITE) return m.white;
    if (colour == STONE_BLACK) return m.black;
    uint64_t mask = 0;
    for (uint64_t left = m.board & ~m.empty; left != 0; left &= left - 1) {
        const int q = __builtin_ctzll(left);
        if (cells[(q >> 3) * stride + (q & 7)] == colour) mask |= point_bit(q);
    }
    return mask;
}

// One group's fill: the masks it reads, what it has reached, and the lists it appends to.
struct Fill {
    uint64_t empty;
    uint64_t same;  // the stones of the group's colour
    uint64_t seen;  // the stones reached, by this fill or an earlier one
    uint64_t dame;  // the group's dame so far
    GROUP *group;
    int stones;
    int dames;
};

void fill_dame(Fill &f, int q) {
    if (f.dame & point_bit(q)) return; // a dame is counted once per group
    f.dame |= point_bit(q);
    f.group->dame_i[f.dames] = q >> 3;
    f.group->dame_j[f.dames] = q & 7;
    ++f.dames;
}

// The call of group_fill for a stone of the group not yet reached, and those it makes in turn.
void fill_stone(Fill &f, int q) {
    f.seen |= point_bit(q);
    f.group->stone_i[f.stones] = q >> 3;
    f.group->stone_j[f.stones] = q & 7;
    ++f.stones;
    const uint64_t b = point_bit(q);
    if (f.empty & (b >> 1)) fill_dame(f, q - 1);
    else if (f.same & ~f.seen & (b >> 1)) fill_stone(f, q - 1);
    if (f.empty & (b << 1)) fill_dame(f, q + 1);
    else if (f.same & ~f.seen & (b << 1)) fill_stone(f, q + 1);
    if (f.empty & (b << 8)) fill_dame(f, q + 8);
    else if (f.same & ~f.seen & (b << 8)) fill_stone(f, q + 8);
    if (f.empty & (b >> 8)) fill_dame(f, q - 8);
    else if (f.same & ~f.seen & (b >> 8)) fill_stone(f, q - 8);
}

void fill_group(GROUP *group, const Masks &m, uint64_t same, int start, uint64_t *reached) {
    Fill f{m.empty, same, *reached, 0, group, 0, 0};
    fill_stone(f, start);
    group->stones = f.stones;
    group->dame = f.dames;
    *reached = f.seen;
}

} // namespace

void groups_find(GROUPS *groups, BOARD *board) {
    if (board) {
        if (!fits(board->rows, board->cols)) YFatal("groups_find");
        groups->board = board;
        groups->rows = board->rows;
        groups->cols = board->cols;
    }
    const int *cells = groups->board->cells;
    const int stride = groups->board->cols;
    const int rows = groups->rows;
    const int cols = groups->cols;

    // Every stone ends up in a group and carries its code as its mark; an empty point keeps 0. So the
    // marks are the codes.
    Masks m{0, 0, 0, 0};
    uint64_t stones = 0;
    for (int i = 0; i < rows; ++i) {
        const int *row = cells + i * stride;
        int *marks = groups->marks[i];
        for (int j = 0; j < cols; ++j) {
            const int code = row[j];
            marks[j] = code;
            if (code == STONE_NONE) continue;
            const uint64_t bit = point_bit(i * 8 + j);
            stones |= bit;
            if (code == STONE_WHITE) m.white |= bit;
            else if (code == STONE_BLACK) m.black |= bit;
        }
        m.board |= ((uint64_t{1} << cols) - 1) << (i * 8);
    }
    m.empty = m.board & ~stones;

    // The scan meets the groups in the order of their lowest point, row by row: the lowest stone not
    // yet in a group starts the next one.
    groups->groups_num = 0;
    uint64_t reached = 0;
    for (uint64_t left = stones; left != 0; left = stones & ~reached) {
        const int q = __builtin_ctzll(left);
        GROUP *group = &groups->groups[groups->groups_num];
        group->colour = cells[(q >> 3) * stride + (q & 7)];
        fill_group(group, m, colour_mask(m, group->colour, cells, stride), q, &reached);
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
