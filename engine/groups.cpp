#include "engine/groups.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>

#include "engine/rows64.h"
#include "support/common.h"

namespace {

// The marks are read with the board's sets, a row of the layout's at a time.
static_assert(static_cast<int>(GROUPS_MAX_SIDE) == static_cast<int>(ROWS64_SIDE), "a record analyses the boards the sets hold");

int code_at(const GROUPS *groups, int i, int j) { return groups->board->cells[i * groups->board->cols + j]; }

} // namespace

GROUPS *groups_create(int rows, int cols, BOARD *board) {
    if (!rows64_fits(rows, cols)) YFatal("groups_create");
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
// The points are those of engine/rows64.h, bit 8i + j.

// The stones of a colour: from the masks for the two colours of play, by a scan for any other code (the
// dead codes at the end of a game).
uint64_t colour_mask(const ROWS64_BOARD &m, int colour, const int *cells, int stride) {
    if (colour == STONE_WHITE) return m.white;
    if (colour == STONE_BLACK) return m.black;
    uint64_t mask = 0;
    for (uint64_t left = rows64_stones(m); left != 0; left &= left - 1) {
        const int q = rows64_lowest(left);
        if (cells[(q >> 3) * stride + (q & 7)] == colour) mask |= rows64_bit(q);
    }
    return mask;
}

// One group's fill: the calls of group_fill from its first stone, with the calls in progress kept on a
// small stack of their own instead of the machine's, so that the masks and counts stay in registers.
// Each call of group_fill for a stone not yet reached marks it, appends it, and then looks at its
// neighbours left, right, down and up, in that order: an empty one is a dame (appended unless the group
// has it already), an unreached one of the group's colour is a call, which runs to its end before the
// next neighbour is looked at. Here a call is the label `enter`; the stack holds, for each call in
// progress below the current one, its point and the neighbour it goes on with (8q + 1 for right, 2 for
// down, 3 for up). The call for the up neighbour is the last thing its caller does, so it keeps no
// place on the stack: when it returns, its caller has returned too. A group has at most 49 stones, so
// at most 49 calls are in progress.
void fill_group(GROUP *group, const ROWS64_BOARD &m, uint64_t same, int start, uint64_t *reached) {
    const uint64_t empty = m.empty;
    // The stones of the group's colour not reached yet: those a call is made for.
    const uint64_t first_open = same & ~*reached;
    uint64_t open = first_open;
    uint64_t dame = 0;
    int stones = 0;
    int dames = 0;
    int stack[GROUPS_MAX];
    int depth = 0;
    int q = start;
    uint64_t b = 0;
    auto add_dame = [&](int n, uint64_t bit) {
        if (dame & bit) return; // a dame is counted once per group
        dame |= bit;
        group->dame_i[dames] = n >> 3;
        group->dame_j[dames] = n & 7;
        ++dames;
    };
enter:
    b = rows64_bit(q);
    open &= ~b;
    group->stone_i[stones] = q >> 3;
    group->stone_j[stones] = q & 7;
    ++stones;
    if (empty & (b >> 1)) {
        add_dame(q - 1, b >> 1);
    } else if (open & (b >> 1)) {
        stack[depth++] = 8 * q + 1;
        q -= 1;
        goto enter;
    }
right:
    if (empty & (b << 1)) {
        add_dame(q + 1, b << 1);
    } else if (open & (b << 1)) {
        stack[depth++] = 8 * q + 2;
        q += 1;
        goto enter;
    }
down:
    if (empty & (b << 8)) {
        add_dame(q + 8, b << 8);
    } else if (open & (b << 8)) {
        stack[depth++] = 8 * q + 3;
        q += 8;
        goto enter;
    }
up:
    if (empty & (b >> 8)) {
        add_dame(q - 8, b >> 8);
    } else if (open & (b >> 8)) {
        q -= 8;
        goto enter;
    }
    // The call returns: its caller goes on with its next neighbour.
    if (depth > 0) {
        const int call = stack[--depth];
        q = call >> 3;
        b = rows64_bit(q);
        switch (call & 7) {
        case 1: goto right;
        case 2: goto down;
        default: goto up;
        }
    }
    group->stones = stones;
    group->dame = dames;
    *reached |= first_open & ~open; // the group's stones

}


} // namespace

void groups_find(GROUPS *groups, BOARD *board) {
    if (board) {
        if (!rows64_fits(board->rows, board->cols)) YFatal("groups_find");
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
    const ROWS64_BOARD m = rows64_read(cells, stride, rows, cols, groups->marks);
    const uint64_t stones = rows64_stones(m);

    // The scan meets the groups in the order of their lowest point, row by row: the lowest stone not
    // yet in a group starts the next one.
    groups->groups_num = 0;
    uint64_t reached = 0;
    for (uint64_t left = stones; left != 0; left = stones & ~reached) {
        const int q = rows64_lowest(left);
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

namespace {

// The sets of the record's board, without the marks of an analysis.
ROWS64_BOARD board_masks(const GROUPS *groups) {
    return rows64_read(groups->board->cells, groups->board->cols, groups->rows, groups->cols, nullptr);
}

} // namespace

void groups_check_move(GROUPS *groups, int *white_lost, int *black_lost) {
    if (groups->moves.moves_num == 0) YFatal("groups_check_move");
    *white_lost = 0;
    *black_lost = 0;
    const MOVE &last = groups->moves.moves[groups->moves.moves_num - 1];
    const int mover = last.value;
    const int opponent = stone_opponent(mover);
    const ROWS64_BOARD m = board_masks(groups);
    const int *cells = groups->board->cells;
    const int stride = groups->board->cols;
    const uint64_t stone = rows64_bit(rows64_point(last.i, last.j));
    // Only the groups next to the stone lost a dame; the capture takes precedence, as in the whole test.
    if (rows64_takes(stone, colour_mask(m, opponent, cells, stride), m.empty)) {
        *(opponent == STONE_WHITE ? white_lost : black_lost) = 1;
        return;
    }
    if (rows64_dame(rows64_group_of(stone, colour_mask(m, mover, cells, stride)), m.empty) == 0)
        *(mover == STONE_WHITE ? white_lost : black_lost) = 1;
}

int groups_last_dame(GROUPS *groups, int colour, int *i, int *j) {
    const ROWS64_BOARD m = board_masks(groups);
    const uint64_t same = colour_mask(m, colour, groups->board->cells, groups->board->cols);
    // Groups in the order of their lowest point, as the analysis's scan meets them.
    for (uint64_t left = same; left != 0;) {
        const uint64_t dame = rows64_dame(rows64_next_group(&left, same), m.empty);
        if (rows64_single(dame)) {
            const int q = rows64_lowest(dame);
            *i = q >> 3;
            *j = q & 7;
            return 1;
        }
    }
    return 0;
}
