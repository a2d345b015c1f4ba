#include "engine/groups.h"

#include <cstdint>
#include <cstdlib>
#include <ctime>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/rows64.h"
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
void fill_group(GROUP *group, const Masks &m, uint64_t same, int start, uint64_t *reached) {
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
    b = point_bit(q);
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
        b = point_bit(q);
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

// The marks and masks of any board, a row at a time.
void read_board_by_rows(const int *cells, int stride, int rows, int cols, int (*board_marks)[GROUPS_MAX_SIDE],
                        Masks *m) {
    for (int i = 0; i < rows; ++i) {
        const int *row = cells + i * stride;
        int *marks = board_marks[i];
        int row_empty = 0; // bit j: the point (i, j)
        int row_white = 0;
        int row_black = 0;
#if defined(__SSE2__)
        if (cols >= 4) {
            // The first four cells of the row and the last four, which overlap on a row of fewer than
            // eight: every cell is in one of them, and nothing beyond the row is read or written.
            const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row));
            const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + cols - 4));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(marks), head);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(marks + cols - 4), tail);
            // The eight cells as 16-bit codes, saturated: a code beyond 16 bits becomes one beyond 16
            // bits, so it still equals none of 0, 1 and 2. The movemasks give one bit per cell, the four
            // of the head and then the four of the tail: the empty cells in the low byte and White in
            // the high one, then Black.
            const __m128i codes = _mm_packs_epi32(head, tail);
            const int empty_white = _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(codes, _mm_set1_epi16(STONE_NONE)),
                                                                      _mm_cmpeq_epi16(codes, _mm_set1_epi16(STONE_WHITE))));
            const int black = _mm_movemask_epi8(_mm_packs_epi16(_mm_cmpeq_epi16(codes, _mm_set1_epi16(STONE_BLACK)),
                                                                _mm_setzero_si128()));
            // The tail's cells are the row's last four: shifted to their places, over the head's.
            const int shift = cols - 4;
            const int both = (empty_white & 0x0f0f) | (((empty_white >> 4) & 0x0f0f) << shift);
            row_empty = both & 0xff;
            row_white = both >> 8;
            row_black = (black & 0x0f) | (((black >> 4) & 0x0f) << shift);
        } else
#endif
        {
            for (int j = 0; j < cols; ++j) {
                const int code = row[j];
                marks[j] = code;
                row_empty |= (code == STONE_NONE) << j;
                row_white |= (code == STONE_WHITE) << j;
                row_black |= (code == STONE_BLACK) << j;
            }
        }
        m->empty |= static_cast<uint64_t>(row_empty) << (i * 8);
        m->white |= static_cast<uint64_t>(row_white) << (i * 8);
        m->black |= static_cast<uint64_t>(row_black) << (i * 8);
    }
    // The first cols points of each row: a row's bits repeated every 8 places, once per row.
    if (rows > 0) m->board = ((uint64_t{1} << cols) - 1) * (0x0101010101010101u >> (8 * (8 - rows)));
}

#if defined(__SSE2__)
// The points 5i + j of a 5 x 5 board's mask as the points 8i + j of the analysis.
uint64_t spread_rows(uint32_t set) {
    const uint64_t s = set;
    return (s & 0x1f) | (s & 0x1f << 5) << 3 | (s & 0x1f << 10) << 6 | (s & 0x1f << 15) << 9 | (s & 0x1f << 20) << 12;
}

// The marks and masks of the game's board, 5 x 5 with its 25 cells one after the other, read as a whole
// instead of row by row: the same marks (the codes) and the same masks as read_board_by_rows.
// The cells become bytes in their order, saturated: 32-bit codes to 16 bits, then to 8, so a code
// beyond a byte becomes one beyond it (-128 or 127) and still equals none of 0, 1 and 2; the 25th cell
// goes alone into the second half, followed by zeros, which the board's mask then leaves out. One
// comparison per half and code gives the points in the order 5i + j.
void read_game_board(const int *cells, int (*marks)[GROUPS_MAX_SIDE], Masks *m) {
#pragma GCC unroll 5
    for (int i = 0; i < 5; ++i) {
        // The row's first four cells and its last four, which overlap: every cell is in one of them.
        const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(cells + 5 * i));
        const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(cells + 5 * i + 1));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(marks[i]), head);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(marks[i] + 1), tail);
    }
    auto quad = [cells](int k) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(cells + 4 * k)); };
    const __m128i low = _mm_packs_epi16(_mm_packs_epi32(quad(0), quad(1)), _mm_packs_epi32(quad(2), quad(3)));
    const __m128i last = _mm_packs_epi32(_mm_cvtsi32_si128(cells[24]), _mm_setzero_si128());
    const __m128i high = _mm_packs_epi16(_mm_packs_epi32(quad(4), quad(5)), last);
    auto points = [low, high](int code) {
        const __m128i c = _mm_set1_epi8(static_cast<char>(code));
        const uint32_t set = static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(low, c))) |
                             static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(high, c))) << 16;
        return spread_rows(set & 0x1ffffff);
    };
    m->board = spread_rows(0x1ffffff);
    m->empty = points(STONE_NONE);
    m->white = points(STONE_WHITE);
    m->black = points(STONE_BLACK);
}
#endif

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
#if defined(__SSE2__)
    if (rows == 5 && cols == 5 && stride == 5) read_game_board(cells, groups->marks, &m);
    else read_board_by_rows(cells, stride, rows, cols, groups->marks, &m);
#else
    read_board_by_rows(cells, stride, rows, cols, groups->marks, &m);
#endif
    const uint64_t stones = m.board & ~m.empty;

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

namespace {

// The masks of the record's board, without the marks of an analysis.
Masks board_masks(const GROUPS *groups) {
    Masks m{0, 0, 0, 0};
    int scratch[GROUPS_MAX_SIDE][GROUPS_MAX_SIDE];
    read_board_by_rows(groups->board->cells, groups->board->cols, groups->rows, groups->cols, scratch, &m);
    return m;
}

} // namespace

void groups_check_move(GROUPS *groups, int *white_lost, int *black_lost) {
    if (groups->moves.moves_num == 0) YFatal("groups_check_move");
    *white_lost = 0;
    *black_lost = 0;
    const MOVE &last = groups->moves.moves[groups->moves.moves_num - 1];
    const int mover = last.value;
    const int opponent = stone_opponent(mover);
    const Masks m = board_masks(groups);
    const int *cells = groups->board->cells;
    const int stride = groups->board->cols;
    const uint64_t stone = point_bit(8 * last.i + last.j);
    // Only the groups next to the stone lost a dame; the capture takes precedence, as in the whole test.
    const uint64_t theirs = colour_mask(m, opponent, cells, stride);
    for (uint64_t next = rows64_around(stone) & theirs; next != 0;) {
        const uint64_t group = rows64_group_of(next & -next, theirs);
        if ((rows64_around(group) & m.empty) == 0) {
            *(opponent == STONE_WHITE ? white_lost : black_lost) = 1;
            return;
        }
        next &= ~group;
    }
    if ((rows64_around(rows64_group_of(stone, colour_mask(m, mover, cells, stride))) & m.empty) == 0)
        *(mover == STONE_WHITE ? white_lost : black_lost) = 1;
}

int groups_last_dame(GROUPS *groups, int colour, int *i, int *j) {
    const Masks m = board_masks(groups);
    const uint64_t same = colour_mask(m, colour, groups->board->cells, groups->board->cols);
    // Groups in the order of their lowest point, as the analysis's scan meets them.
    for (uint64_t left = same; left != 0;) {
        const uint64_t group = rows64_group_of(left & -left, same);
        const uint64_t dame = rows64_around(group) & m.empty;
        if (dame != 0 && (dame & (dame - 1)) == 0) {
            const int q = __builtin_ctzll(dame);
            *i = q >> 3;
            *j = q & 7;
            return 1;
        }
        left &= ~group;
    }
    return 0;
}
