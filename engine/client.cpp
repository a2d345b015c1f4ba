#include "engine/client.h"

#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/bitboard.h"
#include "model/print.h"
#include "support/common.h"

// The positions and moves one search makes. They belong to the player for that search only: the search
// itself releases nothing, and the records are kept for reuse, so a long game does not grow.
//
// Within a search of the player's own context the search is depth-first: when a node asks for the
// next child's position, the previous child and everything below it are finished. So one position per
// level of the tree serves the whole search, the level being the context's counter. And the search
// only reads its moves, so every node lists the same record for a point: one move per point of the
// board. A level-4 search from the empty board makes 317 850 positions and lists 7 280 000 moves; this
// way it touches five positions and 25 moves, and allocates nothing after the first search. Calls from
// outside such a search (the counter at -1) get records of their own, kept until the player's next
// search.
//
// On a board of at most 5 x 5 points, with White and Black to move, each level is a FAST_NODE instead:
// the position with its board, the same board as masks (engine/bitboard.h), and, once the node has a
// child, the analysis of its groups. Its children are then evaluated from that analysis and the one
// stone each adds, and listed from the masks.
struct FAST_NODE {
    POSITION position;       // what the search is handed; its board is the one below
    BOARD board;
    int cells[BB_POINTS];
    const POSITION *source;  // the position the masks describe: this node's own, or one made elsewhere (the root)
    BB_BOARD bits;           // the board as masks
    int stone;               // the point (5i + j) of the stone that made it from the level above; -1 if none
    int mover;               // the colour of that stone
    int analysed;            // 1 when groups is the analysis of bits
    BB_GROUPS groups;
};

// A search from a board of 25 points places at most 25 stones below its root.
enum { FAST_LEVELS = BB_POINTS + 2 };

struct SEARCH_STORE {
    std::vector<POSITION *> level_positions; // [d]: the position made for a node of level d (d >= 1)
    std::vector<MOVE> point_moves;           // [i * cols + j]: the move (i, j), for boards of point_cols
    int point_cols = 0;
    std::vector<POSITION *> positions;       // made outside a search
    std::vector<MOVE *> moves;
    size_t positions_used = 0;
    size_t moves_used = 0;
    FAST_NODE fast[FAST_LEVELS];             // [d]: the node of level d on a board that fits the masks
    MOVE bit_moves[BB_POINTS];               // [5i + j]: the move (i, j)
    int last_level = -2;                     // the level at which player_best_move's search stops; -2 outside it
};

namespace {

// The level of the node being searched by the player's own context, or -1 outside its searches.
int search_level(const PLAYER *player) { return player->mm ? player->mm->numlev : -1; }

// The moves of the points of a board; made again only when a board of another size comes.
MOVE *point_moves(SEARCH_STORE *store, const BOARD *board) {
    const size_t points = static_cast<size_t>(board->rows) * board->cols;
    if (store->point_cols != board->cols || store->point_moves.size() < points) {
        store->point_moves.resize(points);
        for (int i = 0; i < board->rows; ++i)
            for (int j = 0; j < board->cols; ++j) store->point_moves[i * board->cols + j] = MOVE{i, j, 0};
        store->point_cols = board->cols;
    }
    return store->point_moves.data();
}

POSITION *level_position(SEARCH_STORE *store, int level, const POSITION *source) {
    while (store->level_positions.size() <= static_cast<size_t>(level)) store->level_positions.push_back(nullptr);
    POSITION *&slot = store->level_positions[level];
    const BOARD *from = source->board;
    if (slot && slot->board->rows * slot->board->cols < from->rows * from->cols) {
        position_free(slot); // made for a smaller board
        slot = nullptr;
    }
    if (!slot) slot = position_copy(nullptr, source);
    return position_copy(slot, source);
}

MOVE *store_move(SEARCH_STORE *store, int i, int j) {
    if (store->moves_used == store->moves.size()) store->moves.push_back(move_new(i, j));
    MOVE *move = store->moves[store->moves_used++];
    move->i = i;
    move->j = j;
    return move;
}

POSITION *store_position(SEARCH_STORE *store, const POSITION *source) {
    if (store->positions_used == store->positions.size()) store->positions.push_back(position_copy(nullptr, source));
    return position_copy(store->positions[store->positions_used++], source);
}

void store_drop(SEARCH_STORE *store) {
    store->positions_used = 0;
    store->moves_used = 0;
}

SEARCH_STORE *store_new() {
    SEARCH_STORE *store = new SEARCH_STORE;
    for (FAST_NODE &node : store->fast) {
        node.position = POSITION{&node.board, 0};
        node.board = BOARD{0, 0, node.cells};
        node.source = nullptr;
        node.stone = -1;
        node.analysed = 0;
    }
    for (int q = 0; q < BB_POINTS; ++q) store->bit_moves[q] = MOVE{q / BB_SIDE, q % BB_SIDE, 0};
    return store;
}

// The fast node of a level of the search, if the position is one of those that level can take.
FAST_NODE *fast_node(SEARCH_STORE *store, int level, const POSITION *position) {
    if (level < 0 || level >= FAST_LEVELS) return nullptr;
    FAST_NODE *node = &store->fast[level];
    return position == &node->position ? node : nullptr;
}

bool is_fast_position(const SEARCH_STORE *store, const POSITION *position) {
    for (const FAST_NODE &node : store->fast)
        if (position == &node.position) return true;
    return false;
}

// Makes the node of the level describe a position made elsewhere (the root of a search): its masks, its
// analysis. Its board stays the position's own.
FAST_NODE *describe(SEARCH_STORE *store, int level, const POSITION *position) {
    FAST_NODE *node = &store->fast[level];
    node->source = position;
    node->bits = bb_from_board(position->board);
    node->stone = -1;
    node->mover = 0;
    bb_groups_find(node->bits, &node->groups);
    node->analysed = 1;
    return node;
}

// The value of the evaluation from the fewest dame of each side (the rule of eval_dame_margin).
int margin_value(int me, int last_mover, int m, int o) {
    // Decided positions: a capture beats a lost group of the mover's own, as in the end test; losing by
    // one's own move (-101) is worse than being captured (-100), and the opponent's suicide (101) is
    // better than a capture (100).
    if (last_mover == me) {
        if (o == 0) return 100;
        if (m == 0) return -101;
    } else if (last_mover == 3 - me) {
        if (m == 0) return -100;
        if (o == 0) return 101;
    }
    return m - o;
}

bool plays_white_or_black(int colour) { return colour == STONE_WHITE || colour == STONE_BLACK; }

void store_free(SEARCH_STORE *store) {
    if (!store) return;
    for (POSITION *position : store->level_positions) position_free(position);
    for (POSITION *position : store->positions) position_free(position);
    for (MOVE *move : store->moves) move_free(move);
    delete store;
}

} // namespace

int name_level(const char *name, const char *prefix) {
    const size_t skip = std::strlen(prefix);
    // A name no longer than the prefix has no level written in it.
    if (std::strlen(name) <= skip) return 0;
    return std::atoi(name + skip);
}

void player_init(PLAYER *player, const char *name, short colour, BOARD *board) {
    player->colour = colour;
    std::strncpy(player->name, name, PLAYER_NAME_SIZE - 1);
    player->name[PLAYER_NAME_SIZE - 1] = '\0';
    player->level = name_level(player->name, "tiku");
    player->mm = mm_create(gen_empty_moves, eval_dame_margin, make_move, move_text, after_move);
    if (!player->mm) std::exit(EXIT_FAILURE);
    player->board = board;
    player->groups = groups_create(board->rows, board->cols, board);
    player->store = store_new();
}

void player_release(PLAYER *player) {
    mm_free(player->mm);
    groups_free(player->groups);
    store_free(player->store);
    player->mm = nullptr;
    player->groups = nullptr;
    player->store = nullptr;
}

void player_best_move(PLAYER *player, int *i, int *j) {
    // The root refers to the game's board itself; the search only reads it.
    POSITION root{player->board, player->colour};
    void *best = nullptr;
    // Below this level nothing reads a node's move list; the operations know it only from here.
    player->store->last_level = player->level;
    mm_minimax(player->mm, &root, player->level, &best, player);
    player->store->last_level = -2;
    if (best) {
        const MOVE *move = static_cast<const MOVE *>(best);
        *i = move->i;
        *j = move->j;
    }
    store_drop(player->store);
}

int gen_empty_moves(void *user, void *position, void **moves) {
    PLAYER *player = static_cast<PLAYER *>(user);
    const BOARD *board = static_cast<POSITION *>(position)->board;
    const int points = board->rows * board->cols;
    int count = 0;
    const int level = search_level(player);
    if (const FAST_NODE *node = fast_node(player->store, level, static_cast<POSITION *>(position))) {
        BB_MASK empty = bb_empty(node->bits);
        // At the level where player_best_move's search stops, the search reads the count alone: the
        // node is a leaf, and only an expanded node goes through its list.
        if (level == player->store->last_level) return bb_count(empty);
        // The empty points in the order of their bits, 5i + j: row by row, as below.
        for (; empty != 0; empty &= empty - 1) moves[count++] = &player->store->bit_moves[__builtin_ctz(empty)];
        return count;
    }
    if (level >= 0) {
        MOVE *point = point_moves(player->store, board);
        const int *cells = board->cells; // in a local: the stores into the list could alias the record
        if (points <= MM_MAX_MOVES) {
            // The list cannot overflow. Every point is written at the next place, which only an empty
            // point keeps: no branch to mispredict.
            for (int k = 0; k < points; ++k) {
                moves[count] = &point[k];
                count += cells[k] == STONE_NONE;
            }
            return count;
        }
        for (int k = 0; k < points; ++k) {
            if (cells[k] != STONE_NONE) continue;
            // A node's list holds 25 moves, the points of a 5 x 5 board.
            if (count == MM_MAX_MOVES) YFatal("gen_empty_moves");
            moves[count++] = &point[k];
        }
        return count;
    }
    for (int i = 0; i < board->rows; ++i)
        for (int j = 0; j < board->cols; ++j) {
            if (board->cells[i * board->cols + j] != STONE_NONE) continue;
            if (count == MM_MAX_MOVES) YFatal("gen_empty_moves");
            moves[count++] = store_move(player->store, i, j);
        }
    return count;
}

int eval_dame_margin(void *user, void *position) {
    PLAYER *player = static_cast<PLAYER *>(user);
    const POSITION *pos = static_cast<POSITION *>(position);
    const int me = player->colour;
    const int opponent = 3 - me;
    const int last_mover = 3 - pos->colour;

    if (plays_white_or_black(me) && bb_fits(pos->board)) {
        // The same counts from the masks: the fewest dame of White and of Black are those of groups_find
        // and groups_dame_min (engine/bitboard.h). A node made by make_move is valued from its parent's
        // analysis and its one new stone; any other position (the root) is analysed whole, and kept for
        // the children make_move will make of it.
        SEARCH_STORE *store = player->store;
        const int level = search_level(player);
        BB_DAME_MIN least;
        if (const FAST_NODE *node = level >= 1 ? fast_node(store, level, pos) : nullptr) {
            const FAST_NODE &parent = store->fast[level - 1]; // analysed by make_move when it made the node
            least = bb_dame_min_after(parent.groups, bb_empty(parent.bits), node->stone, node->mover);
        } else if (level >= 0 && level < FAST_LEVELS && !is_fast_position(store, pos)) {
            least = bb_dame_min(describe(store, level, pos)->groups);
        } else {
            BB_GROUPS groups;
            bb_groups_find(bb_from_board(pos->board), &groups);
            least = bb_dame_min(groups);
        }
        return margin_value(me, last_mover, least.of[me], least.of[opponent]);
    }

    groups_find(player->groups, pos->board);
    const int m = groups_dame_min(player->groups, static_cast<short>(me));
    const int o = groups_dame_min(player->groups, static_cast<short>(opponent));
    return margin_value(me, last_mover, m, o);
}

void *make_move(void *user, void *position, void *move) {
    PLAYER *player = static_cast<PLAYER *>(user);
    const POSITION *old = static_cast<const POSITION *>(position);
    assert(old != NULL);
    const MOVE *mv = static_cast<const MOVE *>(move);
    const BOARD *board = old->board;
    if (mv->i < 0 || mv->i > board->rows - 1 || mv->j < 0 || mv->j > board->cols - 1) return nullptr;
    if (board->cells[mv->i * board->cols + mv->j] != STONE_NONE) return nullptr;

    const int level = search_level(player);
    SEARCH_STORE *store = player->store;
    if (level >= 0 && level + 1 < FAST_LEVELS && plays_white_or_black(old->colour) && bb_fits(board)) {
        // The parent: this level's node, or the position the level's node was made to describe when it
        // was evaluated (the search evaluates every node before it makes its children), or else described now.
        FAST_NODE *parent = &store->fast[level];
        if (old != &parent->position && (old != parent->source || parent->stone >= 0)) {
            if (is_fast_position(store, old)) goto plain; // a node of another level: not this search's order
            describe(store, level, old);
        }
        if (!parent->analysed) {
            bb_groups_find(parent->bits, &parent->groups);
            parent->analysed = 1;
        }
        FAST_NODE *child = &store->fast[level + 1];
        const int points = board->rows * board->cols;
        if (points == BB_POINTS) std::memcpy(child->cells, board->cells, sizeof child->cells);
        else std::memcpy(child->cells, board->cells, sizeof(int) * static_cast<size_t>(points));
        child->board.rows = board->rows;
        child->board.cols = board->cols;
        child->cells[mv->i * board->cols + mv->j] = old->colour;
        child->position.colour = stone_opponent(old->colour);
        child->source = &child->position;
        child->stone = bb_point(mv->i, mv->j);
        child->mover = old->colour;
        child->bits = bb_play(parent->bits, child->stone, old->colour);
        child->analysed = 0;
        return &child->position;
    }
plain:
    POSITION *child = level >= 0 ? level_position(store, level + 1, old) : store_position(store, old);
    child->board->cells[mv->i * board->cols + mv->j] = old->colour;
    child->colour = stone_opponent(old->colour);
    return child;
}

const char *move_text(void *move, void *user) {
    static char text[32];
    if (!move) return "";
    const PLAYER *player = static_cast<const PLAYER *>(user);
    if (!player->board) YMyError("board");
    const MOVE *mv = static_cast<const MOVE *>(move);
    // Copied up to its end only: padding the buffer with zeros, as strncpy does, costs more than naming.
    const char *name = board_point_name(player->board, mv->i, mv->j);
    size_t length = 0;
    while (length < sizeof text - 1 && name[length] != '\0') ++length;
    std::memcpy(text, name, length);
    text[length] = '\0';
    return text;
}

int after_move(void *user, void *position) {
    (void)user;
    if (!position) YError("board == NULL");
    const BOARD *board = static_cast<POSITION *>(position)->board;
    // A board of at most 5 x 5 always fits board_print's canvas, which then prints through the trace
    // alone: nothing to do when the trace would not print.
    if (!YTraceActive() && bb_fits(board)) return 0;
    board_print(board);
    return 0;
}
