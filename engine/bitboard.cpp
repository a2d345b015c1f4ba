#include "engine/bitboard.h"

namespace {

// groups_dame_min's start value: beyond any count of dame.
constexpr int NO_GROUP = 1000;

BB_DAME_MIN finish(int white, int black) {
    return BB_DAME_MIN{{0, white == NO_GROUP ? -1 : white, black == NO_GROUP ? -1 : black}};
}

} // namespace

int bb_fits(const BOARD *board) {
    return board->rows >= 0 && board->cols >= 0 && board->rows <= BB_SIDE && board->cols <= BB_SIDE;
}

BB_BOARD bb_from_board(const BOARD *board) {
    BB_BOARD b{0, 0, 0, 0};
    const int *cells = board->cells;
    for (int i = 0; i < board->rows; ++i)
        for (int j = 0; j < board->cols; ++j) {
            const int code = *cells++;
            const int q = bb_point(i, j);
            b.board |= bb_bit(q);
            b.white |= BB_MASK{code == STONE_WHITE} << q;
            b.black |= BB_MASK{code == STONE_BLACK} << q;
            b.stones |= BB_MASK{code != STONE_NONE} << q;
        }
    return b;
}

BB_BOARD bb_play(const BB_BOARD &b, int q, int colour) {
    BB_BOARD after = b;
    after.stones |= bb_bit(q);
    if (colour == STONE_WHITE) after.white |= bb_bit(q);
    else after.black |= bb_bit(q);
    return after;
}

void bb_groups_find(const BB_BOARD &b, BB_GROUPS *groups) {
    const BB_MASK empty = bb_empty(b);
    groups->num = 0;
    BB_MASK left = b.white | b.black;
    while (left != 0) {
        // A group is its lowest stone not yet in a group, grown by its neighbours of its colour until
        // nothing is added: the connected set of stones that the fill of GROUPS collects from any of
        // them. Its dame are the empty points around it, each once.
        const BB_MASK start = left & (0 - left);
        const int colour = (b.white & start) ? STONE_WHITE : STONE_BLACK;
        const BB_MASK same = colour == STONE_WHITE ? b.white : b.black;
        BB_MASK stones = start;
        for (BB_MASK grown = (stones | bb_around(stones)) & same; grown != stones; grown = (stones | bb_around(stones)) & same)
            stones = grown;
        BB_GROUP &group = groups->groups[groups->num++];
        group.stones = stones;
        group.dame = bb_around(stones) & empty;
        group.colour = colour;
        group.dame_count = bb_count(group.dame);
        left &= ~stones;
    }
}

BB_DAME_MIN bb_dame_min(const BB_GROUPS &groups) {
    int least[3] = {NO_GROUP, NO_GROUP, NO_GROUP};
    for (int k = 0; k < groups.num; ++k) {
        const BB_GROUP &group = groups.groups[k];
        if (group.dame_count < least[group.colour]) least[group.colour] = group.dame_count;
    }
    return finish(least[STONE_WHITE], least[STONE_BLACK]);
}

BB_DAME_MIN bb_dame_min_after(const BB_GROUPS &groups, BB_MASK empty, int q, int colour) {
    // A stone at q joins every group of its colour next to q into one group, whose dame are theirs and
    // the empty points next to q. No other group gains or loses a stone: a group next to q of the other
    // colour, or one of the stone's colour away from q, stays as it was. Every group had q among its
    // dame exactly when q was next to it, and loses it now that q holds a stone. So the new board's
    // groups are the untouched groups, each with q taken from its dame, and the joined group, and their
    // fewest dame are what groups_find and groups_dame_min would give for it.
    const BB_MASK bit = bb_bit(q);
    const BB_MASK next = bb_around(bit);
    BB_MASK joined_dame = next & empty;
    int least[3] = {NO_GROUP, NO_GROUP, NO_GROUP};
    for (int k = 0; k < groups.num; ++k) {
        const BB_GROUP &group = groups.groups[k];
        if (group.colour == colour && (group.stones & next)) {
            joined_dame |= group.dame;
            continue;
        }
        const int dame = group.dame_count - ((group.dame & bit) != 0);
        if (dame < least[group.colour]) least[group.colour] = dame;
    }
    const int joined = bb_count(joined_dame & ~bit);
    if (joined < least[colour]) least[colour] = joined;
    return finish(least[STONE_WHITE], least[STONE_BLACK]);
}
