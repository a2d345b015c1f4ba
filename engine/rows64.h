// A board of at most 7 x 7 points as one 64-bit set, eight bits a row: the point (i, j) is bit 8i + j.
// Bit 7 of every row stays empty, so a shift by one column cannot carry a stone onto the next row, and
// a shift by a row past the board's end leaves the word. The callers mask the result with their board's
// points or stones.
#pragma once

#include <cstdint>

// The points next to those of the set (and, at the board's right side, into the empty eighth column).
inline uint64_t rows64_around(uint64_t set) { return (set << 1) | (set >> 1) | (set << 8) | (set >> 8); }

// The group of the seed (one point) within the stones of one colour.
inline uint64_t rows64_group_of(uint64_t seed, uint64_t stones) {
    uint64_t group = seed;
    for (;;) {
        const uint64_t grown = (group | rows64_around(group)) & stones;
        if (grown == group) return group;
        group = grown;
    }
}
