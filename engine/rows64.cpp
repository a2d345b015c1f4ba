#include "engine/rows64.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#if !defined(__POPCNT__) && defined(__x86_64__) && defined(__GNUC__)
const bool ROWS64_HAS_POPCNT = [] {
    __builtin_cpu_init(); // whatever the order in which the program's globals are made
    return __builtin_cpu_supports("popcnt") != 0;
}();
#endif

namespace {

// The sets of any board, a row at a time.
void read_by_rows(const int *cells, int stride, int rows, int cols, int (*codes)[ROWS64_SIDE], ROWS64_BOARD *m) {
    for (int i = 0; i < rows; ++i) {
        const int *row = cells + i * stride;
        int *copy = codes ? codes[i] : nullptr;
        int row_empty = 0; // bit j: the point (i, j)
        int row_white = 0;
        int row_black = 0;
#if defined(__SSE2__)
        if (cols >= 4) {
            // The first four cells of the row and the last four, which overlap on a row of fewer than
            // eight: every cell is in one of them, and nothing beyond the row is read or written.
            const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row));
            const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + cols - 4));
            if (copy) {
                _mm_storeu_si128(reinterpret_cast<__m128i *>(copy), head);
                _mm_storeu_si128(reinterpret_cast<__m128i *>(copy + cols - 4), tail);
            }
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
                if (copy) copy[j] = code;
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
// The points 5i + j of a 5 x 5 board's mask as the points 8i + j.
uint64_t spread_rows(uint32_t set) {
    const uint64_t s = set;
    return (s & 0x1f) | (s & 0x1f << 5) << 3 | (s & 0x1f << 10) << 6 | (s & 0x1f << 15) << 9 | (s & 0x1f << 20) << 12;
}

// The sets of the game's board, 5 x 5 with its 25 cells one after the other, read as a whole instead of
// row by row: the same codes and the same sets as read_by_rows.
// The cells become bytes in their order, saturated: 32-bit codes to 16 bits, then to 8, so a code
// beyond a byte becomes one beyond it (-128 or 127) and still equals none of 0, 1 and 2; the 25th cell
// goes alone into the second half, followed by zeros, which the board's mask then leaves out. One
// comparison per half and code gives the points in the order 5i + j.
void read_game_board(const int *cells, int (*codes)[ROWS64_SIDE], ROWS64_BOARD *m) {
    if (codes) {
#pragma GCC unroll 5
        for (int i = 0; i < 5; ++i) {
            // The row's first four cells and its last four, which overlap: every cell is in one of them.
            const __m128i head = _mm_loadu_si128(reinterpret_cast<const __m128i *>(cells + 5 * i));
            const __m128i tail = _mm_loadu_si128(reinterpret_cast<const __m128i *>(cells + 5 * i + 1));
            _mm_storeu_si128(reinterpret_cast<__m128i *>(codes[i]), head);
            _mm_storeu_si128(reinterpret_cast<__m128i *>(codes[i] + 1), tail);
        }
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

ROWS64_BOARD rows64_read(const int *cells, int stride, int rows, int cols, int (*codes)[ROWS64_SIDE]) {
    ROWS64_BOARD m{0, 0, 0, 0};
#if defined(__SSE2__)
    if (rows == 5 && cols == 5 && stride == 5) {
        read_game_board(cells, codes, &m);
        return m;
    }
#endif
    read_by_rows(cells, stride, rows, cols, codes, &m);
    return m;
}

void rows64_groups_find(const ROWS64_BOARD &b, ROWS64_GROUPS *groups) {
    groups->num = 0;
    for (ROWS64_LEAST &least : groups->least) least = ROWS64_LEAST{ROWS64_NO_GROUP, 0, 0};
    const uint64_t played = b.white | b.black;
    for (uint64_t left = played; left != 0;) {
        // A group is a stone not yet in a group with every stone of its colour connected to it: the set
        // that the fill of GROUPS collects from any of them.
        const int colour = (b.white & left & (0 - left)) ? STONE_WHITE : STONE_BLACK;
        const uint64_t stones = rows64_next_group(&left, colour == STONE_WHITE ? b.white : b.black);
        const int index = groups->num++;
        ROWS64_GROUP &group = groups->groups[index];
        const uint64_t near = rows64_around(stones) & b.board;
        group.stones = stones;
        group.dame = near & b.empty;
        group.colour = colour;
        group.dame_count = rows64_count(group.dame);
        for (uint64_t s = stones; s != 0; s &= s - 1) groups->of[rows64_lowest(s)] = static_cast<signed char>(index);
        ROWS64_LEAST &least = groups->least[colour];
        if (group.dame_count < least.dame_count) {
            least = ROWS64_LEAST{group.dame_count, group.dame, near};
        } else if (group.dame_count == least.dame_count) {
            least.dame |= group.dame;
            least.all_near &= near;
        }
    }
}
