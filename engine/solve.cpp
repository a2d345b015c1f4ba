#include "engine/solve.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "engine/rows64.h"

// A table entry: the key's two sets with the value's bounds in their top bytes. On a board of at most
// 7 x 7 a set uses bits 0 to 54, so bits 56 to 63 are free. Bounds are facts about the position (the game
// has no passes and no ko, so a position's value does not depend on the way to it), so two entries of
// one key may always be merged by taking the tighter bounds. All zero is a free slot: no stored bound is 0.
struct SOLVE_ENTRY {
    uint64_t mover_lower;
    uint64_t other_upper;
};

namespace {

constexpr uint64_t KEY_BITS = (uint64_t{1} << 56) - 1;
constexpr int UNKNOWN_LOWER = -127;
constexpr int UNKNOWN_UPPER = 127;
constexpr int BELOW_ALL = -SOLVE_WIN - 1;
// The most a move outside the defence zone can be worth: a loss after their threat's move, my escape, and
// a pair of moves for each atari of the ladder, then the capture.
constexpr int LOST_TO_THREAT = -(SOLVE_WIN - 16);
// From how many empty points on a child's entry is looked up before the children are searched.
constexpr int ETC_EMPTY = 20;

// The groups of one side with their dame. A side has at most 25 groups on 7 x 7 (no two may touch).
struct SIDE_GROUPS {
    int n;
    uint64_t stones[32];
    uint64_t dame[32];
    int dame_count[32];
};

void find_groups(uint64_t stones, uint64_t empty, SIDE_GROUPS *out) {
    out->n = 0;
    for (uint64_t left = stones; left != 0;) {
        const uint64_t group = rows64_next_group(&left, stones);
        out->stones[out->n] = group;
        out->dame[out->n] = rows64_dame(group, empty);
        out->dame_count[out->n] = rows64_count(out->dame[out->n]);
        ++out->n;
    }
}

// How many ataris a ladder is read for, beyond the first.
constexpr int LADDER_DEPTH = 6;

// The attacker's groups next to the set, whole.
uint64_t groups_touching(uint64_t set, uint64_t stones) {
    uint64_t found = 0;
    for (uint64_t left = rows64_around(set) & stones; left != 0;) found |= rows64_next_group(&left, stones);
    return found;
}

// 1 when the attacker, to move, takes the defender's group (two dame) by ataris alone, the defender
// extending each time at its last dame, within depth ataris; every attacker group has two dame or more.
// Adds to read all that the reading stood on: a stone placed elsewhere than on read changes none of it.
bool ladder(uint64_t attacker, uint64_t defender, uint64_t board, uint64_t target, int depth, uint64_t *read) {
    const uint64_t empty = board & ~(attacker | defender);
    const uint64_t dame = rows64_around(target) & empty;
    for (uint64_t left = dame; left != 0; left &= left - 1) {
        const uint64_t atari = left & -left;
        const uint64_t last = dame & ~atari;
        const uint64_t attacker_after = attacker | atari;
        const uint64_t empty_after = empty & ~atari;
        const uint64_t atari_group = rows64_group_of(atari, attacker_after);
        if (rows64_count(rows64_around(atari_group) & empty_after) < 2) continue; // the defender takes it
        // The extension, and whether it takes a group of the attacker next to it.
        const uint64_t defender_after = defender | last;
        const uint64_t empty_then = empty_after & ~last;
        if (rows64_takes(last, attacker_after, empty_then)) continue;
        const uint64_t escaped = rows64_group_of(last, defender_after);
        const int escape_dame = rows64_count(rows64_around(escaped) & empty_then);
        bool caught = escape_dame <= 1;
        if (!caught && escape_dame == 2 && depth > 1) {
            // Every attacker group keeps two dame, or the defender would take one instead of running.
            bool attacker_safe = true;
            for (uint64_t g = groups_touching(escaped, attacker_after); g != 0 && attacker_safe;)
                attacker_safe = rows64_count(rows64_dame(rows64_next_group(&g, attacker_after), empty_then)) >= 2;
            caught = attacker_safe && ladder(attacker_after, defender_after, board, escaped, depth - 1, read);
        }
        if (!caught) continue;
        const uint64_t stood_on = escaped | target | atari_group | groups_touching(escaped | atari_group, attacker);
        *read |= (stood_on | rows64_around(stood_on)) & empty;
        return true;
    }
    return false;
}

// Where a move of mine might still stop a capture they threaten; every point when they threaten none.
// Mine to move, with no capture for either side at once (no group of either has a single dame). Their
// threat is a point a, a dame of a group of mine with two, that leaves their stone with two dame or more
// and my groups either with two different last dame (I can fill only one) or with one last dame whose
// filling leaves me a single dame, or two that they can take away one after the other, a ladder. A move
// of mine counts only if it touches what the threat stands on: a, the dame of my groups it takes, the dame
// of their new group, the neighbours of my escape point and of every group of mine the escape would join,
// and what the ladder read; or if it puts a group of theirs at one dame, which they must answer first.
// Any other move of mine loses, within LOST_TO_THREAT.
uint64_t defence_zone(uint64_t me, uint64_t them, uint64_t board, uint64_t empty, const SIDE_GROUPS &mine,
                      const SIDE_GROUPS &theirs) {
    uint64_t candidates = 0;
    for (int g = 0; g < mine.n; ++g)
        if (mine.dame_count[g] == 2) candidates |= mine.dame[g];
    uint64_t zone = ~uint64_t{0};
    if (candidates == 0) return zone;
    uint64_t ataris = 0;
    for (int g = 0; g < theirs.n; ++g)
        if (theirs.dame_count[g] == 2) ataris |= theirs.dame[g];
    for (uint64_t left = candidates; left != 0; left &= left - 1) {
        const uint64_t stone = left & -left;
        const uint64_t after = empty & ~stone;
        uint64_t group = stone;
        for (int g = 0; g < theirs.n; ++g)
            if (theirs.stones[g] & rows64_around(stone)) group |= theirs.stones[g];
        const uint64_t group_dame = rows64_around(group) & after;
        if (rows64_count(group_dame) < 2) continue; // I would take it
        uint64_t last = 0;
        uint64_t taken_dame = 0;
        for (int g = 0; g < mine.n; ++g)
            if (mine.dame_count[g] == 2 && (mine.dame[g] & stone)) {
                last |= mine.dame[g] & ~stone;
                taken_dame |= mine.dame[g];
            }
        uint64_t threat = stone | taken_dame | group_dame | ataris;
        if (rows64_single(last)) {
            uint64_t escaped = last;
            for (int g = 0; g < mine.n; ++g)
                if (mine.stones[g] & rows64_around(last)) escaped |= mine.stones[g];
            const int escape_dame = rows64_count(rows64_around(escaped) & after & ~last);
            if (escape_dame >= 3) continue; // the escape holds
            if (escape_dame == 2) {
                // Their groups next to my escape keep two dame after it, or I would take one.
                bool safe = true;
                const uint64_t them_after = them | stone;
                for (uint64_t g = groups_touching(last, them_after); g != 0 && safe;)
                    safe = rows64_count(rows64_dame(rows64_next_group(&g, them_after), after & ~last)) >= 2;
                uint64_t read = 0;
                if (!safe || !ladder(them | stone, me | last, board, escaped, LADDER_DEPTH, &read)) continue;
                threat |= read;
            }
            threat |= (rows64_around(last) | rows64_around(escaped)) & empty;
        }
        zone &= threat;
    }
    return zone;
}

// Values of a child seen from its parent, one ply further: a win in k for the child is a loss in k + 1 for
// the parent, and the other way round. reach is its inverse, used to pass the parent's window down; both
// turn the order round, and 0 (no value is 0) stays between the wins and the losses.
inline int from_child(int child) { return child > 0 ? 1 - child : -1 - child; }
inline int reach(int parent) { return parent < 0 ? 1 - parent : parent > 0 ? -1 - parent : 0; }

// Bit reversal within each byte: a mirror of the columns of the 8 x 8 frame.
uint64_t mirror_bytes(uint64_t x) {
    x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
    x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
    x = ((x >> 4) & 0x0f0f0f0f0f0f0f0full) | ((x & 0x0f0f0f0f0f0f0f0full) << 4);
    return x;
}

// (i, j) to (j, i) in the 8 x 8 frame, by three exchanges of blocks across the diagonal.
uint64_t transpose(uint64_t x) {
    uint64_t t = 0x0f0f0f0f00000000ull & (x ^ (x << 28));
    x ^= t ^ (t >> 28);
    t = 0x3333000033330000ull & (x ^ (x << 14));
    x ^= t ^ (t >> 14);
    t = 0x5500550055005500ull & (x ^ (x << 7));
    x ^= t ^ (t >> 7);
    return x;
}

// The rows of a size x size board reversed: a byte swap puts row i at 7 - i, the shift at size - 1 - i.
inline uint64_t flip_rows(uint64_t x, int size) { return __builtin_bswap64(x) >> (8 * (8 - size)); }
// Likewise the columns; no bit crosses into another row, since those above size - 1 are empty.
inline uint64_t flip_columns(uint64_t x, int size) { return mirror_bytes(x) >> (8 - size); }

inline bool less(uint64_t a_mover, uint64_t a_other, uint64_t b_mover, uint64_t b_other) {
    return a_mover < b_mover || (a_mover == b_mover && a_other < b_other);
}

size_t bucket_of(const SOLVER *solver, SOLVE_POSITION key) {
    uint64_t h = key.mover * 0x9E3779B97F4A7C15ull ^ (key.other + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full;
    h ^= h >> 31;
    return static_cast<size_t>(h) & (solver->table_buckets - 1);
}

inline int lower_of(const SOLVE_ENTRY &e) { return static_cast<int8_t>(e.mover_lower >> 56); }
inline int upper_of(const SOLVE_ENTRY &e) { return static_cast<int8_t>(e.other_upper >> 56); }
inline bool holds(const SOLVE_ENTRY &e, SOLVE_POSITION key) {
    return (e.mover_lower & KEY_BITS) == key.mover && (e.other_upper & KEY_BITS) == key.other &&
           (e.mover_lower | e.other_upper) != 0;
}
inline SOLVE_ENTRY make_entry(SOLVE_POSITION key, int lower, int upper) {
    return SOLVE_ENTRY{key.mover | uint64_t{static_cast<uint8_t>(static_cast<int8_t>(lower))} << 56,
                       key.other | uint64_t{static_cast<uint8_t>(static_cast<int8_t>(upper))} << 56};
}

const SOLVE_ENTRY *probe(const SOLVER *solver, SOLVE_POSITION key) {
    const SOLVE_ENTRY *bucket = solver->table + 2 * bucket_of(solver, key);
    if (holds(bucket[0], key)) return &bucket[0];
    if (holds(bucket[1], key)) return &bucket[1];
    return nullptr;
}

// The first slot keeps the positions nearer the root (fewer stones: more work below them); the second
// takes whatever comes.
void store(SOLVER *solver, SOLVE_POSITION key, int lower, int upper) {
    SOLVE_ENTRY *bucket = solver->table + 2 * bucket_of(solver, key);
    for (int k = 0; k < 2; ++k) {
        if (!holds(bucket[k], key)) continue;
        bucket[k] = make_entry(key, std::max(lower, lower_of(bucket[k])), std::min(upper, upper_of(bucket[k])));
        return;
    }
    const SOLVE_ENTRY entry = make_entry(key, lower, upper);
    const int stones = rows64_count(key.mover | key.other);
    const bool first_free = (bucket[0].mover_lower | bucket[0].other_upper) == 0;
    if (first_free || stones <= rows64_count((bucket[0].mover_lower | bucket[0].other_upper) & KEY_BITS)) {
        bucket[1] = bucket[0];
        bucket[0] = entry;
    } else {
        bucket[1] = entry;
    }
}

struct CANDIDATE {
    int point;
    uint64_t order;
};

int search(SOLVER *solver, uint64_t me, uint64_t them, int alpha, int beta) {
    if (++solver->nodes > solver->node_limit) {
        solver->out_of_nodes = 1;
        return 0; // meaningless: every caller drops it without storing anything
    }
    const uint64_t empty = solver->board & ~(me | them);

    SIDE_GROUPS theirs;
    find_groups(them, empty, &theirs);
    // A group of theirs with one dame: taking it wins at once, and nothing wins sooner.
    for (int g = 0; g < theirs.n; ++g)
        if (theirs.dame_count[g] == 1) return SOLVE_WIN - 1;
    // No move at all: a loss, as the game flow counts a computer that gives no move.
    if (empty == 0) return -SOLVE_WIN;

    const SOLVE_POSITION key = solve_canonical(solver, SOLVE_POSITION{me, them});
    if (const SOLVE_ENTRY *entry = probe(solver, key)) {
        const int lower = lower_of(*entry);
        const int upper = upper_of(*entry);
        if (lower >= beta) return lower;
        if (upper <= alpha) return upper;
        if (lower == upper) return lower;
        alpha = std::max(alpha, lower);
        beta = std::min(beta, upper);
    }

    SIDE_GROUPS mine;
    find_groups(me, empty, &mine);
    uint64_t threatened = 0; // the dame of my groups that have only one: they can play there and capture
    for (int g = 0; g < mine.n; ++g)
        if (mine.dame_count[g] == 1) threatened |= mine.dame[g];
    // A move outside the zone loses, within LOST_TO_THREAT: it is looked at only when a loss that slow
    // would still count, which the search with a narrow window never asks.
    const uint64_t zone = threatened == 0 && alpha >= LOST_TO_THREAT && !solver->plain
                              ? defence_zone(me, them, solver->board, empty, mine, theirs)
                              : ~uint64_t{0};
    // For the order of the moves: the dame of their groups by how many they have, and their fewest.
    uint64_t their_dame_by_count[6] = {0, 0, 0, 0, 0, 0};
    int their_fewest = 9;
    for (int g = 0; g < theirs.n; ++g) {
        their_dame_by_count[std::min(theirs.dame_count[g], 5)] |= theirs.dame[g];
        their_fewest = std::min(their_fewest, theirs.dame_count[g]);
    }

    int best = BELOW_ALL;
    bool pruned = false; // some move was only bounded
    CANDIDATE candidates[64];
    int n = 0;
    const int weight = rows64_count(empty);
    for (uint64_t left = empty; left != 0; left &= left - 1) {
        const int q = rows64_lowest(left);
        const uint64_t stone = solve_bit(q);
        const uint64_t next_to = rows64_around(stone);
        uint64_t dame = next_to & empty;
        for (int g = 0; g < mine.n; ++g)
            if (mine.stones[g] & next_to) dame |= mine.dame[g];
        dame &= ~stone;
        const int left_dame = rows64_count(dame);
        // No capture is possible here (tested above), so these values are exact without a search:
        if (left_dame == 0) { // my own last dame and no capture: lost by this very move
            best = std::max(best, -(SOLVE_WIN - 1));
            continue;
        }
        // One dame left on the new group, or a group of mine that had one dame left as it was: they play
        // on it next and capture, which wins for them at once.
        if (left_dame == 1 || (threatened & ~stone) != 0) {
            best = std::max(best, -(SOLVE_WIN - 2));
            continue;
        }
        if (!(zone & stone)) { // their threat goes on: a bound, not an exact value, below the window
            best = std::max(best, LOST_TO_THREAT);
            pruned = true;
            continue;
        }
        // Order: first the moves that press hardest a group of theirs they touch (taking the second-last
        // dame forces an answer), then those that leave their weakest group the fewest dame, then those
        // that leave mine the most; the history breaks ties.
        int pressed = 5;
        for (int c = 2; c <= 5; ++c)
            if (their_dame_by_count[c] & stone) {
                pressed = c - 1;
                break;
            }
        const int their_least = their_fewest < 9 && (their_dame_by_count[std::min(their_fewest, 5)] & stone)
                                    ? their_fewest - 1
                                    : their_fewest;
        int my_least = std::min(left_dame, 8);
        for (int g = 0; g < mine.n; ++g)
            if (!(mine.stones[g] & next_to)) my_least = std::min(my_least, mine.dame_count[g]);
        const uint64_t shape = static_cast<uint64_t>(((5 - pressed) * 1024 + (16 - their_least) * 16 + my_least) * 4 +
                                                     solver->centrality[q]);
        candidates[n++] = CANDIDATE{q, (shape << 40) + solver->history[q]};
    }

    const int alpha_in = alpha;
    if (best > alpha) alpha = best;
    // Far from the end a child's entry is worth a look before any child is searched: one already known
    // lost for them settles this node without a search below it.
    if (n > 0 && alpha < beta && weight >= ETC_EMPTY && !solver->plain) {
        for (int k = 0; k < n; ++k) {
            const SOLVE_POSITION child = solve_canonical(solver, SOLVE_POSITION{them, me | solve_bit(candidates[k].point)});
            const SOLVE_ENTRY *entry = probe(solver, child);
            if (!entry) continue;
            const int v = from_child(upper_of(*entry));
            if (v > best) best = v;
            if (best >= beta) {
                store(solver, key, best, UNKNOWN_UPPER);
                return best;
            }
        }
        if (best > alpha) alpha = best;
    }
    if (n > 0 && alpha < beta) {
        for (int k = 1; k < n; ++k) // insertion sort: a few dozen moves, mostly in order
            for (int m = k; m > 0 && candidates[m].order > candidates[m - 1].order; --m)
                std::swap(candidates[m], candidates[m - 1]);
        for (int k = 0; k < n; ++k) {
            const uint64_t stone = solve_bit(candidates[k].point);
            const int v = from_child(search(solver, them, me | stone, reach(beta), reach(alpha)));
            if (solver->out_of_nodes) return 0;
            if (v > best) best = v;
            if (best > alpha) alpha = best;
            if (alpha >= beta) {
                uint64_t &refuted = solver->history[candidates[k].point];
                refuted += static_cast<uint64_t>(weight) * weight;
                // Kept below the bits of the shape in the order, however long the search runs.
                if (refuted >= uint64_t{1} << 39)
                    for (uint64_t &h : solver->history) h /= 2;
                break;
            }
        }
    }

    if (n == 0 && !pruned) store(solver, key, best, best); // every move was valued exactly
    else if (best <= alpha_in) store(solver, key, UNKNOWN_LOWER, best);
    else if (best >= beta) store(solver, key, best, UNKNOWN_UPPER);
    else store(solver, key, best, best);
    return best;
}

} // namespace

SOLVER *solver_new(int size, size_t table_mb) {
    if (size < SOLVE_MIN_SIZE || size > SOLVE_MAX_SIZE) return nullptr;
    size_t buckets = 1024;
    while (buckets * 2 * 2 * sizeof(SOLVE_ENTRY) <= table_mb * 1024 * 1024) buckets *= 2;
    SOLVE_ENTRY *table = new (std::nothrow) SOLVE_ENTRY[2 * buckets];
    if (!table) return nullptr;
    SOLVER *solver = new SOLVER();
    solver->size = size;
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j) {
            solver->board |= solve_bit(solve_point(i, j));
            solver->centrality[solve_point(i, j)] = std::min(std::min(i, j), std::min(size - 1 - i, size - 1 - j));
        }
    solver->table = table;
    solver->table_buckets = buckets;
    solver_clear(solver);
    return solver;
}

void solver_free(SOLVER *solver) {
    if (!solver) return;
    delete[] solver->table;
    delete solver;
}

void solver_clear(SOLVER *solver) {
    std::memset(solver->table, 0, 2 * solver->table_buckets * sizeof(SOLVE_ENTRY));
    std::memset(solver->history, 0, sizeof solver->history);
    solver->nodes = 0;
    solver->node_limit = UINT64_MAX;
    solver->out_of_nodes = 0;
}

int solve_position_from_board(const BOARD *board, int colour, SOLVE_POSITION *position) {
    if (board->rows != board->cols || board->rows < SOLVE_MIN_SIZE || board->rows > SOLVE_MAX_SIZE) return 0;
    const ROWS64_BOARD b = rows64_from_board(board);
    const uint64_t played = b.white | b.black;
    if (rows64_stones(b) != played) return 0;
    const uint64_t mover = colour == STONE_WHITE ? b.white : colour == STONE_BLACK ? b.black : 0;
    *position = SOLVE_POSITION{mover, played & ~mover};
    return 1;
}

uint64_t solve_symmetry(int size, int symmetry, uint64_t points) {
    if (symmetry & 4) points = transpose(points);
    if (symmetry & 2) points = flip_rows(points, size);
    if (symmetry & 1) points = flip_columns(points, size);
    return points;
}

SOLVE_POSITION solve_canonical(const SOLVER *solver, SOLVE_POSITION position) {
    const int size = solver->size;
    SOLVE_POSITION best = position;
    const uint64_t mover[2] = {position.mover, transpose(position.mover)};
    const uint64_t other[2] = {position.other, transpose(position.other)};
    for (int t = 0; t < 2; ++t) {
        for (int r = 0; r < 2; ++r) {
            const uint64_t m = r ? flip_rows(mover[t], size) : mover[t];
            const uint64_t o = r ? flip_rows(other[t], size) : other[t];
            if (less(m, o, best.mover, best.other)) best = SOLVE_POSITION{m, o};
            const uint64_t mc = flip_columns(m, size);
            const uint64_t oc = flip_columns(o, size);
            if (less(mc, oc, best.mover, best.other)) best = SOLVE_POSITION{mc, oc};
        }
    }
    return best;
}

int solve_decided(const SOLVER *solver, SOLVE_POSITION position) {
    const uint64_t empty = solver->board & ~(position.mover | position.other);
    SIDE_GROUPS groups;
    for (uint64_t side : {position.mover, position.other}) {
        find_groups(side, empty, &groups);
        for (int g = 0; g < groups.n; ++g)
            if (groups.dame[g] == 0) return 1;
    }
    return 0;
}

int solve_play(const SOLVER *solver, SOLVE_POSITION position, int point, SOLVE_POSITION *child) {
    // Only the groups next to the point change: the other side's lose a dame, the mover's join the stone.
    const uint64_t stone = solve_bit(point);
    const uint64_t mover = position.mover | stone;
    const uint64_t empty = solver->board & ~(mover | position.other);
    // The capture comes first, as in the end test: it wins even when it fills the mover's last dame.
    if (rows64_takes(stone, position.other, empty)) return SOLVE_CAPTURE;
    if (rows64_dame(rows64_group_of(stone, mover), empty) == 0) return SOLVE_SUICIDE;
    *child = SOLVE_POSITION{position.other, mover};
    return SOLVE_PLAYED;
}

int solve_value(SOLVER *solver, SOLVE_POSITION position) {
    // Every value is a win or a loss, so a window between -1 and 1 asks only which: a boolean search.
    return search(solver, position.mover, position.other, -1, 1) > 0 ? 1 : -1;
}

int solve_value_within(SOLVER *solver, SOLVE_POSITION position, uint64_t nodes) {
    solver->node_limit = solver->nodes + nodes;
    const int v = search(solver, position.mover, position.other, -1, 1);
    solver->node_limit = UINT64_MAX;
    if (solver->out_of_nodes) {
        solver->out_of_nodes = 0;
        return 0;
    }
    return v > 0 ? 1 : -1;
}

int solve_score(SOLVER *solver, SOLVE_POSITION position) {
    return search(solver, position.mover, position.other, BELOW_ALL, SOLVE_WIN + 1);
}

bool solve_wins_within(SOLVER *solver, SOLVE_POSITION position, bool mover_wins, int plies) {
    if (mover_wins) {
        const int quick = SOLVE_WIN - plies; // a win in plies or fewer scores at least this
        return search(solver, position.mover, position.other, quick - 1, quick) >= quick;
    }
    const int quick = -(SOLVE_WIN - plies); // a loss in plies or fewer scores at most this
    return search(solver, position.mover, position.other, quick, quick + 1) <= quick;
}

int solve_move_score(SOLVER *solver, SOLVE_POSITION position, int point, int exact) {
    SOLVE_POSITION child;
    const int kind = solve_play(solver, position, point, &child);
    if (kind == SOLVE_CAPTURE) return exact ? SOLVE_WIN - 1 : 1;
    if (kind == SOLVE_SUICIDE) return exact ? -(SOLVE_WIN - 1) : -1;
    if (!exact) return -solve_value(solver, child);
    return from_child(solve_score(solver, child));
}

int solve_best_moves(SOLVER *solver, SOLVE_POSITION position, int *points, int *score) {
    const uint64_t empty = solver->board & ~(position.mover | position.other);
    int moves[64];
    int wins[64];
    int n = 0;
    bool winning = false;
    // Which moves win is cheap to know; the exact values are searched only among those that count.
    for (uint64_t left = empty; left != 0; left &= left - 1) {
        moves[n] = rows64_lowest(left);
        wins[n] = solve_move_score(solver, position, moves[n], 0) > 0;
        winning = winning || wins[n];
        ++n;
    }
    int best = BELOW_ALL;
    int values[64];
    for (int k = 0; k < n; ++k) {
        values[k] = BELOW_ALL;
        if (winning && !wins[k]) continue;
        SOLVE_POSITION child;
        const int kind = solve_play(solver, position, moves[k], &child);
        if (kind == SOLVE_CAPTURE) values[k] = SOLVE_WIN - 1;
        else if (kind == SOLVE_SUICIDE) values[k] = -(SOLVE_WIN - 1);
        else {
            // A window that keeps every value at least as good as the best so far exact, and lets
            // worse ones fail low: ties with the best must be told from worse moves.
            const int alpha = best == BELOW_ALL ? BELOW_ALL : best - 1;
            values[k] = from_child(search(solver, child.mover, child.other, reach(SOLVE_WIN + 1), reach(alpha)));
        }
        best = std::max(best, values[k]);
    }
    int found = 0;
    for (int k = 0; k < n; ++k)
        if (values[k] == best) points[found++] = moves[k];
    if (score) *score = best;
    return found;
}

namespace {

// The positions of the winner a proof walk remembers, each as its board read in base 3 (0 empty, 1 the
// winner, 2 the loser): one word up to 6 x 6, two on 7 x 7; open addressing, grown at three quarters full.
// A key is never all zero: the base-3 number is kept one more than the board's.
struct SEEN {
    int words = 1;
    std::vector<uint64_t> slots = std::vector<uint64_t>(2048, 0);
    size_t used = 0;
    uint16_t row_value[64][64]; // a row's base-3 number from its winner's and loser's bits
};

void seen_make(SEEN &seen, int size) {
    seen.words = size <= 6 ? 1 : 2;
    for (int mover = 0; mover < 64; ++mover)
        for (int other = 0; other < 64; ++other) {
            int value = 0;
            for (int j = 5; j >= 0; --j) value = value * 3 + ((mover >> j) & 1) + 2 * ((other >> j) & 1);
            seen.row_value[mover][other] = static_cast<uint16_t>(value);
        }
}

void seen_key(const SEEN &seen, SOLVE_POSITION p, int size, uint64_t *key) {
    // Rows of up to seven points, read as six and one.
    unsigned __int128 number = 0;
    for (int row = size - 1; row >= 0; --row) {
        const unsigned mover = static_cast<unsigned>(p.mover >> (8 * row)) & 0x7F;
        const unsigned other = static_cast<unsigned>(p.other >> (8 * row)) & 0x7F;
        number = number * 729 + seen.row_value[mover & 63][other & 63];
        if (size == 7) number = number * 3 + (mover >> 6) + 2 * (other >> 6);
    }
    ++number;
    key[0] = static_cast<uint64_t>(number);
    key[1] = static_cast<uint64_t>(number >> 64);
}

bool slot_used(const SEEN &seen, const uint64_t *slot) { return slot[0] != 0 || slot[seen.words - 1] != 0; }

size_t seen_slot(const SEEN &seen, const uint64_t *key) {
    uint64_t h = (key[0] ^ key[seen.words - 1] * 0xC2B2AE3D27D4EB4Full) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
    const size_t mask = seen.slots.size() / seen.words - 1;
    for (size_t k = static_cast<size_t>(h) & mask;; k = (k + 1) & mask) {
        const uint64_t *slot = &seen.slots[k * seen.words];
        if (!slot_used(seen, slot) || (slot[0] == key[0] && slot[seen.words - 1] == key[seen.words - 1]))
            return k;
    }
}

bool seen_has(const SEEN &seen, const uint64_t *key) {
    return slot_used(seen, &seen.slots[seen_slot(seen, key) * seen.words]);
}

void seen_insert(SEEN &seen, const uint64_t *key) {
    if (4 * (seen.used + 1) > 3 * (seen.slots.size() / seen.words)) {
        std::vector<uint64_t> old(2 * seen.slots.size(), 0);
        old.swap(seen.slots);
        for (size_t k = 0; k < old.size(); k += seen.words)
            if (slot_used(seen, &old[k]))
                std::copy_n(&old[k], seen.words, &seen.slots[seen_slot(seen, &old[k]) * seen.words]);
    }
    std::copy_n(key, seen.words, &seen.slots[seen_slot(seen, key) * seen.words]);
    ++seen.used;
}

struct PROOF_WALK {
    SOLVER *solver = nullptr;
    SOLVE_PROOF *proof = nullptr;
    SEEN seen;
    uint64_t defences = 0;     // positions of the loser walked
};

// A group of the side not to move with one dame: the side to move takes it at once.
bool takes_at_once(const SOLVER *solver, SOLVE_POSITION p) {
    SIDE_GROUPS groups;
    find_groups(p.other, solver->board & ~(p.mover | p.other), &groups);
    for (int g = 0; g < groups.n; ++g)
        if (groups.dame_count[g] == 1) return true;
    return false;
}

// Both sides' groups in the winner's position, found once for all of the winner's candidate moves: a move
// changes only the groups next to its point (the loser's lose it as a dame, the winner's join the stone),
// so each candidate and each reply to it is judged from these and the groups its point touches.
struct WALK_GROUPS {
    uint64_t empty;
    SIDE_GROUPS winner;
    SIDE_GROUPS loser;
    uint32_t winner_next[64];  // per empty point: the winner's groups it touches, a bit per group
    uint32_t loser_next[64];   // and the loser's
    uint32_t winner_single;    // the winner's groups with one dame
};

void walk_groups_find(const SOLVER *solver, SOLVE_POSITION position, WALK_GROUPS *w) {
    w->empty = solver->board & ~(position.mover | position.other);
    find_groups(position.mover, w->empty, &w->winner);
    find_groups(position.other, w->empty, &w->loser);
    for (uint64_t left = w->empty; left != 0; left &= left - 1) {
        w->winner_next[rows64_lowest(left)] = 0;
        w->loser_next[rows64_lowest(left)] = 0;
    }
    w->winner_single = 0;
    for (int g = 0; g < w->winner.n; ++g) {
        for (uint64_t d = w->winner.dame[g]; d != 0; d &= d - 1) w->winner_next[rows64_lowest(d)] |= 1u << g;
        if (w->winner.dame_count[g] == 1) w->winner_single |= 1u << g;
    }
    for (int g = 0; g < w->loser.n; ++g)
        for (uint64_t d = w->loser.dame[g]; d != 0; d &= d - 1) w->loser_next[rows64_lowest(d)] |= 1u << g;
}

// The loser's replies to the winner's move at the point that a capture at once does not answer: the
// positions of the winner the proof must walk below it; -1 when the move captures or fills its own last
// dame (no position follows), or when a reply captures. A reply changes only the groups it touches, so a
// group of the loser at one dame that it does not join still stands to be taken.
int free_replies(const WALK_GROUPS &w, int point) {
    const uint64_t stone = solve_bit(point);
    const uint32_t touched = w.loser_next[point];
    uint32_t atari = 0; // the loser's groups left with one dame
    for (int g = 0; g < w.loser.n; ++g) {
        const uint64_t dame = w.loser.dame[g] & ~stone;
        if (dame == 0 && (touched >> g & 1)) return -1; // the move captures
        if (rows64_single(dame)) atari |= 1u << g;
    }
    uint64_t joined_dame = rows64_around(stone) & w.empty;
    for (uint32_t g = w.winner_next[point]; g != 0; g &= g - 1) joined_dame |= w.winner.dame[rows64_lowest(g)];
    joined_dame &= ~stone;
    // Filling its own last dame, or a group of the winner left at one dame: the reply there takes it.
    if (joined_dame == 0 || rows64_single(joined_dame) || (w.winner_single & ~w.winner_next[point]) != 0) return -1;
    int unanswered = 0;
    for (uint64_t left = w.empty & ~stone; left != 0; left &= left - 1) {
        const int reply = rows64_lowest(left);
        if ((atari & ~w.loser_next[reply]) != 0) continue; // a capture at once answers it
        uint64_t dame = rows64_around(solve_bit(reply)) & w.empty;
        for (uint32_t g = w.loser_next[reply]; g != 0; g &= g - 1) dame |= w.loser.dame[rows64_lowest(g)];
        dame &= ~(stone | solve_bit(reply));
        if (dame != 0 && !rows64_single(dame)) ++unanswered;
    }
    return unanswered;
}

// The winner's move. Moves are taken by how few replies they leave free: one that leaves none wins with
// no search, and of the others the first the table already knows lost (the quickest loss bound among
// equals, to bound the game's length tightly), else the first that a search without the threat cut-off
// proves lost; -1 when none is. Forcing moves first keep the proof small: on 5 x 5 it holds a third of
// the positions that moves in board order need.
int choose_move(PROOF_WALK &walk, SOLVE_POSITION position) {
    SOLVER *solver = walk.solver;
    SOLVE_POSITION child;
    struct CANDIDATE {
        int point;
        int free; // replies left unanswered
    } moves[64];
    int n = 0;
    WALK_GROUPS groups;
    walk_groups_find(solver, position, &groups);
    for (uint64_t left = groups.empty; left != 0; left &= left - 1) {
        const int unanswered = free_replies(groups, rows64_lowest(left));
        if (unanswered >= 0) moves[n++] = CANDIDATE{rows64_lowest(left), unanswered};
    }
    std::stable_sort(moves, moves + n, [](const CANDIDATE &a, const CANDIDATE &b) { return a.free < b.free; });
    if (n > 0 && moves[0].free == 0) return moves[0].point;
    int chosen = -1;
    int chosen_free = 0;
    int chosen_upper = UNKNOWN_UPPER;
    for (int k = 0; k < n && (chosen < 0 || moves[k].free == chosen_free); ++k) {
        solve_play(solver, position, moves[k].point, &child);
        const SOLVE_ENTRY *entry = probe(solver, solve_canonical(solver, child));
        if (entry && upper_of(*entry) < 0 && upper_of(*entry) < chosen_upper) {
            chosen = moves[k].point;
            chosen_free = moves[k].free;
            chosen_upper = upper_of(*entry);
        }
    }
    for (int k = 0; k < n && chosen < 0; ++k) {
        solve_play(solver, position, moves[k].point, &child);
        if (solve_value(solver, child) < 0) chosen = moves[k].point;
    }
    return chosen;
}

int walk_defence(PROOF_WALK &walk, SOLVE_POSITION position);

void spill(SOLVE_PROOF *proof) {
    if (!proof->spill || proof->bytes.empty()) return;
    if (std::fwrite(proof->bytes.data(), 1, proof->bytes.size(), proof->spill) != proof->bytes.size())
        proof->spill_failed = true;
    proof->spilled += proof->bytes.size();
    proof->bytes.clear();
}

// The winner to move: 0, or -1 when the table cannot back the proof. A capture at once needs nothing from
// the proof: the checker finds it. Every other position is a byte the first time it is met and nothing
// after: the checker remembers it too. (The earlier format remembered only the positions that needed more
// than three plies, a third of them, and walked the others each time: on 6 x 6 they are met again so
// often that remembering them all makes the proof more than a quarter smaller, its walk a tenth quicker
// and its check a fifth, for the memory of the set.)
int walk_attack(PROOF_WALK &walk, SOLVE_POSITION position) {
    if (takes_at_once(walk.solver, position)) return 0;
    uint64_t key[2];
    seen_key(walk.seen, position, walk.solver->size, key);
    if (seen_has(walk.seen, key)) return 0;
    const int point = choose_move(walk, position);
    if (point < 0) return -1;
    walk.proof->bytes.push_back(static_cast<uint8_t>(point));
    if (walk.proof->bytes.size() >= (size_t{1} << 20)) spill(walk.proof);
    SOLVE_POSITION child;
    solve_play(walk.solver, position, point, &child);
    if (walk_defence(walk, child) < 0) return -1;
    seen_insert(walk.seen, key);
    return 0;
}

// The loser to move: every reply in board order; 0, or -1 when the table cannot back the proof.
int walk_defence(PROOF_WALK &walk, SOLVE_POSITION position) {
    ++walk.defences;
    SOLVE_POSITION child;
    for (uint64_t left = walk.solver->board & ~(position.mover | position.other); left != 0; left &= left - 1) {
        const int kind = solve_play(walk.solver, position, rows64_lowest(left), &child);
        if (kind == SOLVE_CAPTURE) return -1;
        if (kind == SOLVE_PLAYED && walk_attack(walk, child) < 0) return -1;
    }
    return 0;
}

} // namespace

int solve_free_replies(const SOLVER *solver, SOLVE_POSITION position, int point) {
    WALK_GROUPS groups;
    walk_groups_find(solver, position, &groups);
    return free_replies(groups, point);
}

bool solve_write_proof(SOLVER *solver, SOLVE_POSITION position, SOLVE_PROOF *proof) {
    auto walk = std::make_unique<PROOF_WALK>();
    walk->solver = solver;
    walk->proof = proof;
    seen_make(walk->seen, solver->size);
    const bool wins = solve_value(solver, position) > 0;
    // The searches of the walk look at every move: the winning moves the threat's cut-off finds are often
    // slow ones, whose proofs are many times larger.
    const int plain = solver->plain;
    solver->plain = 1;
    const bool proved = (wins ? walk_attack(*walk, position) : walk_defence(*walk, position)) >= 0;
    solver->plain = plain;
    spill(proof);
    proof->positions += walk->seen.used + walk->defences;
    proof->remembered += walk->seen.used;
    return proved;
}

int solve_perfect_move(SOLVER *solver, const BOARD *board, int colour, int *i, int *j) {
    SOLVE_POSITION position;
    if (board->rows != solver->size || !solve_position_from_board(board, colour, &position)) return 0;
    if (solve_decided(solver, position)) return 0;
    int points[64];
    int score = 0;
    const int n = solve_best_moves(solver, position, points, &score);
    if (n == 0) return 0;
    // The computer player's tie-break: each later move of the best value replaces the choice with
    // probability 50/101.
    int chosen = points[0];
    for (int k = 1; k < n; ++k)
        if (std::rand() % 101 < 50) chosen = points[k];
    *i = chosen / 8;
    *j = chosen % 8;
    return 1;
}
