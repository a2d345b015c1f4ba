// A board of at most 7 x 7 points as one 64-bit set, eight bits a row: the point (i, j) is bit 8i + j.
// Bit 7 of every row stays empty, so a shift by one column cannot carry a stone onto the next row, and
// a shift by a row past the board's end leaves the word. The callers mask the result with their board's
// points or stones. Every part of the engine that looks at a board as bit sets (the group analysis, the
// computer's search, the solver) uses this layout and these operations.
//
// Beside them, the groups of a board as sets, for searches that look at many positions: a fast mirror of
// the counts of the GROUPS analysis (engine/groups.h). ROWS64_GROUPS holds the groups of White and of
// Black as GROUPS finds them (the same sets of stones, the same sets of dame), as sets and counts, in an
// order of its own; groups of other codes are not kept. So the fewest dame of a colour here is
// groups_dame_min of GROUPS, for White and for Black. The stone and dame lists of GROUPS, in the order of
// its fill, are not mirrored: that fill is groups_find's own.
#pragma once

#include <cstdint>

#include "model/board.h"

enum { ROWS64_SIDE = 7 };

constexpr int rows64_point(int i, int j) { return 8 * i + j; }
constexpr uint64_t rows64_bit(int q) { return uint64_t{1} << q; }
inline int rows64_lowest(uint64_t set) { return __builtin_ctzll(set); }
// Whether the set holds exactly one point.
inline bool rows64_single(uint64_t set) { return set != 0 && (set & (set - 1)) == 0; }

// The number of points in a set. The build does not assume the popcnt instruction, without which the
// builtin is a library call (a quarter of the solver's time): the instruction is used when the processor
// has it, as nearly all do, and a count in a few steps of shifts and masks otherwise.
inline int rows64_count_in_steps(uint64_t x) {
    x -= (x >> 1) & 0x5555555555555555ull;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0f0f0f0f0f0f0f0full;
    return static_cast<int>((x * 0x0101010101010101ull) >> 56);
}
#if defined(__POPCNT__)
inline int rows64_count(uint64_t set) { return __builtin_popcountll(set); }
#elif defined(__x86_64__) && defined(__GNUC__)
// Whether the processor has popcnt: asked once, as the program starts.
extern const bool ROWS64_HAS_POPCNT;
inline int rows64_count(uint64_t set) {
    if (!ROWS64_HAS_POPCNT) return rows64_count_in_steps(set);
    uint64_t n;
    __asm__("popcnt %1, %0" : "=r"(n) : "r"(set) : "cc");
    return static_cast<int>(n);
}
#else
inline int rows64_count(uint64_t set) { return rows64_count_in_steps(set); }
#endif

// The points next to those of the set (and, at the board's right side, into the empty eighth column).
constexpr uint64_t rows64_around(uint64_t set) { return (set << 1) | (set >> 1) | (set << 8) | (set >> 8); }

// The points next to each point: ROWS64_NEAR.of[q] is rows64_around(rows64_bit(q)).
struct ROWS64_NEAR_TABLE {
    uint64_t of[64];
    constexpr ROWS64_NEAR_TABLE() : of{} {
        for (int q = 0; q < 64; ++q) of[q] = rows64_around(rows64_bit(q));
    }
};
inline constexpr ROWS64_NEAR_TABLE ROWS64_NEAR{};

// The group of the seed (one point) within the stones of one colour.
inline uint64_t rows64_group_of(uint64_t seed, uint64_t stones) {
    uint64_t group = seed;
    for (;;) {
        const uint64_t grown = (group | rows64_around(group)) & stones;
        if (grown == group) return group;
        group = grown;
    }
}

// Each group of a colour, in the order of its lowest point: takes from *left the group, within stones,
// of its lowest point and returns it. Called while *left is not empty, it gives once each group of stones
// that has a point in the set *left started as:
//   for (uint64_t left = stones; left != 0;) { const uint64_t group = rows64_next_group(&left, stones); ... }
inline uint64_t rows64_next_group(uint64_t *left, uint64_t stones) {
    const uint64_t group = rows64_group_of(*left & (0 - *left), stones);
    *left &= ~group;
    return group;
}

// The dame of a group: the empty points next to it.
inline uint64_t rows64_dame(uint64_t group, uint64_t empty) { return rows64_around(group) & empty; }

// Whether a stone just placed takes the last dame of a group of the other colour (other: its stones;
// empty: the empty points after the stone): only the groups next to the stone lost a dame.
inline bool rows64_takes(uint64_t stone, uint64_t other, uint64_t empty) {
    for (uint64_t left = rows64_around(stone) & other; left != 0;)
        if (rows64_dame(rows64_next_group(&left, other), empty) == 0) return true;
    return false;
}

// The sets of a board: its points, its empty points, the stones of White and of Black (the dead codes,
// and any other, are points that are neither empty nor White nor Black).
struct ROWS64_BOARD {
    uint64_t board;
    uint64_t empty;
    uint64_t white;
    uint64_t black;
};

// 1 when the board fits the layout (at most 7 rows and 7 columns), else 0.
inline int rows64_fits(int rows, int cols) { return rows >= 0 && cols >= 0 && rows <= ROWS64_SIDE && cols <= ROWS64_SIDE; }

// The sets of the cells of a board that fits, a row of stride cells after another; with codes set, every
// cell's code is copied there too, row i at codes[i].
ROWS64_BOARD rows64_read(const int *cells, int stride, int rows, int cols, int (*codes)[ROWS64_SIDE]);
inline ROWS64_BOARD rows64_from_board(const BOARD *board) {
    return rows64_read(board->cells, board->cols, board->rows, board->cols, nullptr);
}
inline uint64_t rows64_stones(const ROWS64_BOARD &b) { return b.board & ~b.empty; }
// The board after a stone of colour STONE_WHITE or STONE_BLACK on the empty point q.
inline ROWS64_BOARD rows64_play(const ROWS64_BOARD &b, int q, int colour) {
    ROWS64_BOARD after = b;
    after.empty &= ~rows64_bit(q);
    if (colour == STONE_WHITE) after.white |= rows64_bit(q);
    else after.black |= rows64_bit(q);
    return after;
}

// groups_dame_min's start value, beyond any count of dame: a colour without a group.
enum { ROWS64_NO_GROUP = 1000 };

struct ROWS64_GROUP {
    uint64_t stones; // its stones
    uint64_t dame;   // its dame
    int colour;      // STONE_WHITE or STONE_BLACK
    int dame_count;  // the points of dame
};

// What a colour's groups with the fewest dame have in common, for the fewest dame after one more stone.
struct ROWS64_LEAST {
    int dame_count;    // the fewest dame of a group of the colour; ROWS64_NO_GROUP when it has no group
    uint64_t dame;     // the dame of its groups with that many, together
    uint64_t all_near; // the points next to every one of those groups (none when it has no group)
};

struct ROWS64_GROUPS {
    int num;                               // groups found
    ROWS64_GROUP groups[ROWS64_SIDE * ROWS64_SIDE]; // a board of 49 points holds at most 49 groups
    signed char of[64];                    // [q]: the group of the stone at q, for White and Black stones
    ROWS64_LEAST least[3];                 // [STONE_WHITE], [STONE_BLACK]
};

// The groups of White and Black, with their dame.
void rows64_groups_find(const ROWS64_BOARD &b, ROWS64_GROUPS *groups);

// The fewest dame of the groups of each colour, as groups_dame_min gives them: index STONE_WHITE and
// STONE_BLACK; -1 when the colour has no group.
struct ROWS64_DAME_MIN {
    int of[3];
};
inline ROWS64_DAME_MIN rows64_dame_min(const ROWS64_GROUPS &groups) {
    const int white = groups.least[STONE_WHITE].dame_count;
    const int black = groups.least[STONE_BLACK].dame_count;
    return ROWS64_DAME_MIN{{0, white == ROWS64_NO_GROUP ? -1 : white, black == ROWS64_NO_GROUP ? -1 : black}};
}

// The fewest dame of each side after a stone of colour (White or Black) on the empty point q, from the
// board before it and its analysis, without analysing the new board: *own for the stone's colour, *other
// for the other colour, ROWS64_NO_GROUP for a colour without a group. The computer's search values most
// of its positions this way; inline, as it is the whole of that work.
inline void rows64_dame_min_after(const ROWS64_BOARD &before, const ROWS64_GROUPS &groups, int q, int colour,
                                  int *own, int *other) {
    // A stone at q joins every group of its colour next to q into one group, whose dame are theirs and
    // the empty points next to q. No other group gains or loses a stone: a group next to q of the other
    // colour, or one of the stone's colour away from q, stays as it was. Every group had q among its
    // dame exactly when q was next to it, and loses it now that q holds a stone. So the new board's
    // groups are the untouched groups, each with q taken from its dame, and the joined group, and their
    // fewest dame are what groups_find and groups_dame_min would give for it. Without going through
    // the groups one by one:
    const uint64_t bit = rows64_bit(q);
    const uint64_t near = ROWS64_NEAR.of[q];
    const ROWS64_LEAST &theirs = groups.least[3 - colour];
    const ROWS64_LEAST &mine = groups.least[colour];
    // 1. The other colour: its fewest, less one when q was a dame of one of its groups with the fewest.
    //    A group with more had at least that many left.
    *other = theirs.dame_count - ((theirs.dame & bit) != 0);
    // 2. The untouched groups of the stone's colour keep their dame. When one of those with the fewest
    //    is away from q, that is their fewest; else every one of them joins, and the rest are looked at.
    int untouched = mine.dame_count;
    if (mine.all_near & bit) {
        untouched = ROWS64_NO_GROUP;
        for (int k = 0; k < groups.num; ++k) {
            const ROWS64_GROUP &group = groups.groups[k];
            if (group.colour == colour && !(group.stones & near) && group.dame_count < untouched)
                untouched = group.dame_count;
        }
    }
    // 3. The joined group: the dame of the groups of the stones next to q, and q's empty neighbours.
    uint64_t joined_dame = near & before.empty;
    for (uint64_t next = near & (colour == STONE_WHITE ? before.white : before.black); next != 0; next &= next - 1)
        joined_dame |= groups.groups[groups.of[rows64_lowest(next)]].dame;
    const int joined = rows64_count(joined_dame & ~bit);
    *own = joined < untouched ? joined : untouched;
}
