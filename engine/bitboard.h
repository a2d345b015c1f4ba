// A board of at most 5 x 5 points as bit masks, and its groups and dame as masks: a fast mirror of a
// BOARD (model/board.h) and of the counts of the GROUPS analysis (engine/groups.h), for searches that
// look at many positions. It mirrors what those records hold, not how they hold it:
//  - BB_BOARD: the stones of a BOARD's cells, one bit per point; White and Black apart, and every other
//    code (the dead codes, a stray value) only as an occupied point;
//  - BB_GROUPS: the groups of White and of Black as GROUPS finds them (the same sets of stones, the same
//    sets of dame), as masks and counts, in an order of its own; groups of other codes are not kept.
// So the fewest dame of a colour here is groups_dame_min of GROUPS, for White and for Black. The stone
// and dame lists of GROUPS, in the order of its fill, are not mirrored.
#pragma once

#include <cstdint>

#include "model/board.h"

// Bit 5i + j is the point (i, j), whatever the board's width: a board narrower or shorter than 5 x 5
// uses the top-left corner of the layout, and its mask says which points it has.
typedef uint32_t BB_MASK;

// groups_dame_min's start value, beyond any count of dame: a colour without a group.
enum { BB_NO_GROUP = 1000 };

enum { BB_SIDE = 5, BB_POINTS = BB_SIDE * BB_SIDE };

constexpr BB_MASK bb_bit(int q) { return BB_MASK{1} << q; }
constexpr int bb_point(int i, int j) { return BB_SIDE * i + j; }

// The points of a layout column, and of the whole 5 x 5 layout.
constexpr BB_MASK BB_COLUMN_0 = 0x0108421;
constexpr BB_MASK BB_COLUMN_4 = BB_COLUMN_0 << 4;
constexpr BB_MASK BB_ALL = (BB_MASK{1} << BB_POINTS) - 1;

// The points next to those of the set, within the 5 x 5 layout (the caller masks with its board): a
// shift by one column is cut at the layout's sides, so that it cannot wrap onto the next row.
constexpr BB_MASK bb_around(BB_MASK set) {
    return (((set & ~BB_COLUMN_0) >> 1) | ((set & ~BB_COLUMN_4) << 1) | (set << BB_SIDE) | (set >> BB_SIDE)) & BB_ALL;
}

// The number of points in a set of the layout's points, from a table of the counts of 13 bits: two
// look-ups instead of a bit count of a dozen steps (the build does not assume the popcnt instruction).
struct BB_COUNT_TABLE {
    unsigned char of[1 << 13];
    constexpr BB_COUNT_TABLE() : of{} {
        for (int set = 1; set < (1 << 13); ++set) of[set] = static_cast<unsigned char>(of[set >> 1] + (set & 1));
    }
};
inline constexpr BB_COUNT_TABLE BB_COUNTS{};
inline int bb_count(BB_MASK set) { return BB_COUNTS.of[set & 0x1fff] + BB_COUNTS.of[(set >> 13) & 0x1fff]; }

struct BB_BOARD {
    BB_MASK board;  // the points of the board
    BB_MASK white;  // STONE_WHITE
    BB_MASK black;  // STONE_BLACK
    BB_MASK stones; // every point that does not hold STONE_NONE
};

struct BB_GROUP {
    BB_MASK stones; // its stones
    BB_MASK dame;   // its dame: the empty points next to its stones
    int colour;     // STONE_WHITE or STONE_BLACK
    int dame_count; // the points of dame
};

// What a colour's groups with the fewest dame have in common, for the fewest dame after one more stone.
struct BB_LEAST {
    int dame_count;    // the fewest dame of a group of the colour; BB_NO_GROUP when it has no group
    BB_MASK dame;      // the dame of its groups with that many, together
    BB_MASK all_near;  // the points next to every one of those groups (none when it has no group)
};

struct BB_GROUPS {
    int num;                     // groups found
    BB_GROUP groups[BB_POINTS];  // a board of 25 points holds at most 25 groups
    signed char of[BB_POINTS];   // [q]: the group of the stone at q, for White and Black stones
    BB_LEAST least[3];           // [STONE_WHITE], [STONE_BLACK]
};

// 1 when the board fits the layout (at most 5 rows and 5 columns), else 0.
inline int bb_fits(const BOARD *board) {
    return board->rows >= 0 && board->cols >= 0 && board->rows <= BB_SIDE && board->cols <= BB_SIDE;
}
// The masks of a board that fits.
BB_BOARD bb_from_board(const BOARD *board);
inline BB_MASK bb_empty(const BB_BOARD &b) { return b.board & ~b.stones; }
// The board after a stone of colour STONE_WHITE or STONE_BLACK on the empty point q.
inline BB_BOARD bb_play(const BB_BOARD &b, int q, int colour) {
    BB_BOARD after = b;
    after.stones |= bb_bit(q);
    if (colour == STONE_WHITE) after.white |= bb_bit(q);
    else after.black |= bb_bit(q);
    return after;
}

// The groups of White and Black, with their dame.
void bb_groups_find(const BB_BOARD &b, BB_GROUPS *groups);

// The fewest dame of the groups of each colour, as groups_dame_min gives them: index STONE_WHITE and
// STONE_BLACK; -1 when the colour has no group.
struct BB_DAME_MIN {
    int of[3];
};
BB_DAME_MIN bb_dame_min(const BB_GROUPS &groups);

// The fewest dame from the two running values, BB_NO_GROUP standing for a colour without a group.
inline BB_DAME_MIN bb_dame_min_of(int white, int black) {
    return BB_DAME_MIN{{0, white == BB_NO_GROUP ? -1 : white, black == BB_NO_GROUP ? -1 : black}};
}

// The points next to each point: BB_NEAR.of[q] is bb_around(bb_bit(q)).
struct BB_NEAR_TABLE {
    BB_MASK of[BB_POINTS];
    constexpr BB_NEAR_TABLE() : of{} {
        for (int q = 0; q < BB_POINTS; ++q) of[q] = bb_around(bb_bit(q));
    }
};
inline constexpr BB_NEAR_TABLE BB_NEAR{};

// The fewest dame of each side after a stone of colour (White or Black) on the empty point q, from the
// board before it and its analysis, without analysing the new board: *own for the stone's colour, *other
// for the other colour, BB_NO_GROUP for a colour without a group. The search values most of its
// positions this way; inline, as it is the whole of that work.
inline void bb_dame_min_after(const BB_BOARD &before, const BB_GROUPS &groups, int q, int colour, int *own,
                              int *other) {
    // A stone at q joins every group of its colour next to q into one group, whose dame are theirs and
    // the empty points next to q. No other group gains or loses a stone: a group next to q of the other
    // colour, or one of the stone's colour away from q, stays as it was. Every group had q among its
    // dame exactly when q was next to it, and loses it now that q holds a stone. So the new board's
    // groups are the untouched groups, each with q taken from its dame, and the joined group, and their
    // fewest dame are what groups_find and groups_dame_min would give for it. Without going through
    // the groups one by one:
    const BB_MASK bit = bb_bit(q);
    const BB_MASK near = BB_NEAR.of[q];
    const BB_LEAST &theirs = groups.least[3 - colour];
    const BB_LEAST &mine = groups.least[colour];
    // 1. The other colour: its fewest, less one when q was a dame of one of its groups with the fewest.
    //    A group with more had at least that many left.
    *other = theirs.dame_count - ((theirs.dame & bit) != 0);
    // 2. The untouched groups of the stone's colour keep their dame. When one of those with the fewest
    //    is away from q, that is their fewest; else every one of them joins, and the rest are looked at.
    int untouched = mine.dame_count;
    if (mine.all_near & bit) {
        untouched = BB_NO_GROUP;
        for (int k = 0; k < groups.num; ++k) {
            const BB_GROUP &group = groups.groups[k];
            if (group.colour == colour && !(group.stones & near) && group.dame_count < untouched)
                untouched = group.dame_count;
        }
    }
    // 3. The joined group: the dame of the groups of the stones next to q, and q's empty neighbours.
    BB_MASK joined_dame = near & ~before.stones & before.board;
    for (BB_MASK next = near & (colour == STONE_WHITE ? before.white : before.black); next != 0; next &= next - 1)
        joined_dame |= groups.groups[groups.of[__builtin_ctz(next)]].dame;
    const int joined = bb_count(joined_dame & ~bit);
    *own = joined < untouched ? joined : untouched;
}
