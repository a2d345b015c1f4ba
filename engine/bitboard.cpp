#include "engine/bitboard.h"

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

void bb_groups_find(const BB_BOARD &b, BB_GROUPS *groups) {
    const BB_MASK empty = bb_empty(b);
    groups->num = 0;
    for (BB_LEAST &least : groups->least) least = BB_LEAST{BB_NO_GROUP, 0, 0};
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
        const int index = groups->num++;
        BB_GROUP &group = groups->groups[index];
        group.stones = stones;
        group.dame = bb_around(stones) & empty;
        group.colour = colour;
        group.dame_count = bb_count(group.dame);
        for (BB_MASK s = stones; s != 0; s &= s - 1) groups->of[__builtin_ctz(s)] = static_cast<signed char>(index);
        BB_LEAST &least = groups->least[colour];
        const BB_MASK near = bb_around(stones) & b.board;
        if (group.dame_count < least.dame_count) {
            least = BB_LEAST{group.dame_count, group.dame, near};
        } else if (group.dame_count == least.dame_count) {
            least.dame |= group.dame;
            least.all_near &= near;
        }
        left &= ~stones;
    }
}

BB_DAME_MIN bb_dame_min(const BB_GROUPS &groups) {
    int least[3] = {BB_NO_GROUP, BB_NO_GROUP, BB_NO_GROUP};
    for (int k = 0; k < groups.num; ++k) {
        const BB_GROUP &group = groups.groups[k];
        if (group.dame_count < least[group.colour]) least[group.colour] = group.dame_count;
    }
    return bb_dame_min_of(least[STONE_WHITE], least[STONE_BLACK]);
}
