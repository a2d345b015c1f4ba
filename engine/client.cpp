#include "engine/client.h"

#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/rows64.h"
#include "engine/minimax_steps.h"
#include "model/print.h"
#include "support/common.h"

// The positions and moves one search makes. They belong to the player for that search only: the search
// itself releases nothing, and the records are kept for reuse, so a long game does not grow.
//
// Within a search of the player's own context the search is depth-first: when a node asks for the
// next child's position, the previous child and everything below it are finished. So one position per
// level of the tree serves the whole search, the level being the context's counter. And the search
// only reads its moves, so every node lists the same record for a point: one move per point of the
// board. A level-4 search from the empty board makes 317 849 positions and lists millions of moves; this
// way it touches five positions and 25 moves, and allocates nothing after the first search. Calls from
// outside such a search (the counter at -1) get records of their own, kept until the player's next
// search.
//
// On a board of at most 5 x 5 points, with White and Black to move, each level is a FAST_NODE instead:
// the position with its board, the same board as sets (engine/rows64.h), and, once the node has a
// child, the analysis of its groups. Its children are then evaluated from that analysis and the one
// stone each adds, and listed from the masks. Within the search nothing else reads a made node's
// board at trace level 0 (the board printout and the trace lines are not written), so a child is its
// masks alone: its cells are written, from its parent's board and its stone, only when something reads
// them (node_board).
enum { FAST_SIDE = 5, FAST_POINTS = FAST_SIDE * FAST_SIDE };

struct FAST_NODE {
    POSITION position;       // what the search is handed; its board is the one below
    BOARD board;
    int cells[FAST_POINTS];
    const POSITION *source;  // the position the masks describe: this node's own, or one made elsewhere (the root)
    ROWS64_BOARD bits;       // the board as sets
    int rows;                // the size of the board described
    int cols;
    int empty;               // its number of empty points
    int level;               // the search's level of the node
    int stone;               // the point (8i + j) of the stone that made it from the level above; -1 if none
    int mover;               // the colour of that stone
    FAST_NODE *parent;       // the node it was made from
    int cells_made;          // 1 when board holds what the node describes (a node made by make_move)
    int analysed;            // 1 when groups is the analysis of bits
    ROWS64_GROUPS groups;
};

// A search from a board of 25 points places at most 25 stones below its root.
enum { FAST_LEVELS = FAST_POINTS + 2 };

struct SEARCH_STORE {
    std::vector<POSITION *> level_positions; // [d]: the position made for a node of level d (d >= 1)
    std::vector<MOVE> point_moves;           // [i * cols + j]: the move (i, j), for boards of point_cols
    int point_cols = 0;
    std::vector<POSITION *> positions;       // made outside a search
    std::vector<MOVE *> moves;
    size_t positions_used = 0;
    size_t moves_used = 0;
    FAST_NODE fast[FAST_LEVELS];             // [d]: the node of level d on a board that fits the masks
    MOVE bit_moves[64];                      // [8i + j]: the move (i, j)
    int last_level = -2;                     // the level at which player_best_move's search stops; -2 outside it
    FAST_NODE *last_made = nullptr;          // the node make_move made last, which the search lists and values next
};

namespace {

// 1 when the board is one of those: at most 5 rows and 5 columns.
bool fits_fast(const BOARD *board) {
    return board->rows >= 0 && board->cols >= 0 && board->rows <= FAST_SIDE && board->cols <= FAST_SIDE;
}

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
    if (slot && slot->board->room < from->rows * from->cols) {
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
        node.board = BOARD{0, 0, node.cells, FAST_POINTS};
        node.source = nullptr;
        node.stone = -1;
        node.parent = nullptr;
        node.cells_made = 0;
        node.analysed = 0;
    }
    for (int q = 0; q < 64; ++q) store->bit_moves[q] = MOVE{q >> 3, q & 7, 0};
    return store;
}

bool is_fast_position(const SEARCH_STORE *store, const POSITION *position) {
    for (const FAST_NODE &node : store->fast)
        if (position == &node.position) return true;
    return false;
}

// The node whose own position this is, or null.
FAST_NODE *fast_node_of(SEARCH_STORE *store, const POSITION *position) {
    for (FAST_NODE &node : store->fast)
        if (position == &node.position) return &node;
    return nullptr;
}

// The board of a position (a node's position has the node's board), with its cells written first
// when it is a node's made by make_move: the parent's board (written first in turn, up to the root,
// whose board is the position it describes) with the node's stone.
const BOARD *node_board(SEARCH_STORE *store, const POSITION *position) {
    FAST_NODE *node = fast_node_of(store, position);
    // A node of an earlier search, whose parent has gone, keeps the cells it has.
    if (!node || node->source != &node->position || node->cells_made || !node->parent || !node->parent->source)
        return position->board;
    const BOARD *from = node_board(store, node->parent->source);
    const int points = from->rows * from->cols;
    std::memcpy(node->cells, from->cells, sizeof(int) * static_cast<size_t>(points));
    node->board.rows = from->rows;
    node->board.cols = from->cols;
    node->cells[(node->stone >> 3) * from->cols + (node->stone & 7)] = node->mover;
    node->cells_made = 1;
    return &node->board;
}

// Makes the node of the level describe a position made elsewhere (the root of a search), with White or
// Black to move: its masks, its analysis. Its board stays the position's own.
FAST_NODE *describe(SEARCH_STORE *store, int level, const POSITION *position) {
    FAST_NODE *node = &store->fast[level];
    node->source = position;
    node->bits = rows64_from_board(position->board);
    node->rows = position->board->rows;
    node->cols = position->board->cols;
    node->cells_made = 0; // its board is the position's own
    node->empty = rows64_count(node->bits.empty);
    node->level = level;
    node->stone = -1;
    node->mover = 0;
    node->parent = nullptr;
    if (level + 1 < FAST_LEVELS) {
        // The node below is no longer a child of this one: made again in full, and meanwhile not a
        // made node, whose cells node_board would write from a parent that has changed.
        store->fast[level + 1].parent = nullptr;
        store->fast[level + 1].source = nullptr;
    }
    store->last_made = nullptr; // its children are made from the new analysis
    rows64_groups_find(node->bits, &node->groups);
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
    player->choose = nullptr;
    player->choose_data = nullptr;
}

void player_release(PLAYER *player) {
    mm_free(player->mm);
    groups_free(player->groups);
    store_free(player->store);
    player->mm = nullptr;
    player->groups = nullptr;
    player->store = nullptr;
}

namespace {

__attribute__((noinline)) int gen_moves_other(PLAYER *player, const BOARD *board, void **moves) {
    const int points = board->rows * board->cols;
    int count = 0;
    if (search_level(player) >= 0) {
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

__attribute__((noinline)) int eval_other(PLAYER *player, const POSITION *pos) {
    const int me = player->colour;
    const int opponent = 3 - me;
    const int last_mover = 3 - pos->colour;
    SEARCH_STORE *store = player->store;
    const int level = search_level(player);
    node_board(store, pos); // its cells, if they wait
    // A position that starts a level of the search (the root) is kept, analysed, for the children
    // make_move will make of it; any other leaves that level's node describing nothing, so that no
    // earlier position at the same address passes for it.
    FAST_NODE *node = nullptr;
    if (level >= 0 && level < FAST_LEVELS && !is_fast_position(store, pos)) {
        store->fast[level].source = nullptr;
        store->fast[level].parent = nullptr; // made again in full, should it be made as a child
        if (plays_white_or_black(me) && plays_white_or_black(pos->colour) && fits_fast(pos->board))
            node = describe(store, level, pos);
    }
    if (plays_white_or_black(me) && fits_fast(pos->board)) {
        // The fewest dame of White and of Black from the masks are those of groups_find and
        // groups_dame_min (engine/rows64.h).
        ROWS64_DAME_MIN least;
        if (node) {
            least = rows64_dame_min(node->groups);
        } else {
            ROWS64_GROUPS groups;
            rows64_groups_find(rows64_from_board(pos->board), &groups);
            least = rows64_dame_min(groups);
        }
        return margin_value(me, last_mover, least.of[me], least.of[opponent]);
    }
    groups_find(player->groups, pos->board);
    const int m = groups_dame_min(player->groups, static_cast<short>(me));
    const int o = groups_dame_min(player->groups, static_cast<short>(opponent));
    return margin_value(me, last_mover, m, o);
}

// The child of a parent node on a board that fits the masks, in the next level's node, which follows
// the parent's in the store: its masks, its position's colour, and what its evaluation reads. Its cells
// wait until something reads them (node_board).
__attribute__((always_inline)) inline POSITION *make_fast_child(SEARCH_STORE *store, FAST_NODE *parent,
                                                                 const MOVE *mv) {
    if (!parent->analysed) {
        rows64_groups_find(parent->bits, &parent->groups);
        parent->analysed = 1;
    }
    const int colour = parent->source->colour;
    const int stone = rows64_point(mv->i, mv->j);
    FAST_NODE *child = parent + 1;
    // What every child of the parent shares, written for its first child only: describe() leaves a
    // node without a parent, and makes the node below it forget its parent too.
    if (child->parent != parent) {
        child->source = &child->position;
        child->rows = parent->rows;
        child->cols = parent->cols;
        child->level = parent->level + 1;
        child->parent = parent;
    }
    child->position.colour = 3 - colour; // stone_opponent, for White or Black
    child->stone = stone;
    child->mover = colour;
    child->bits = rows64_play(parent->bits, stone, colour);
    child->empty = parent->empty - 1;
    child->cells_made = 0;
    child->analysed = 0;
    store->last_made = child;
    return &child->position;
}

__attribute__((noinline)) void *make_move_other(PLAYER *player, const POSITION *old, const MOVE *mv) {
    const BOARD *board = node_board(player->store, old);
    if (mv->i < 0 || mv->i > board->rows - 1 || mv->j < 0 || mv->j > board->cols - 1) return nullptr;
    if (board->cells[mv->i * board->cols + mv->j] != STONE_NONE) return nullptr;
    SEARCH_STORE *store = player->store;
    const int level = search_level(player);
    // A position made elsewhere at a level of the search, that the level's node does not describe yet
    // (evaluating it did not go through this player's evaluation), on a board that fits the masks: the
    // node describes it now. A node of another level is left to the plain way, as it is out of the
    // search's order.
    if (level >= 0 && level + 1 < FAST_LEVELS && plays_white_or_black(old->colour) && fits_fast(board) &&
        !is_fast_position(store, old))
        return make_fast_child(store, describe(store, level, old), mv);
    POSITION *child = level >= 0 ? level_position(store, level + 1, old) : store_position(store, old);
    child->board->cells[mv->i * board->cols + mv->j] = old->colour;
    child->colour = stone_opponent(old->colour);
    return child;
}

} // namespace

namespace {

__attribute__((always_inline)) inline int player_gen_moves(void *user, void *position, void **moves) {
    PLAYER *player = static_cast<PLAYER *>(user);
    const FAST_NODE *node = player->store->last_made;
    if (!node || position != &node->position) return gen_moves_other(player, node_board(player->store, static_cast<POSITION *>(position)), moves);
    // At the level where player_best_move's search stops, the search reads the count alone: the node
    // is a leaf, and only an expanded node goes through its list.
    if (node->level == player->store->last_level) return node->empty;
    // The empty points in the order of their bits, 8i + j: row by row, as the plain listing.
    int count = 0;
    for (uint64_t empty = node->bits.empty; empty != 0; empty &= empty - 1)
        moves[count++] = &player->store->bit_moves[rows64_lowest(empty)];
    return count;
}

__attribute__((always_inline)) inline int player_evaluate(void *user, void *position) {
    PLAYER *player = static_cast<PLAYER *>(user);
    const FAST_NODE *node = player->store->last_made;
    const int me = player->colour;
    if (!node || position != &node->position || !plays_white_or_black(me))
        return eval_other(player, static_cast<POSITION *>(position));
    // The node make_move made last is valued from its parent's analysis, which make_move made, and the
    // one stone it adds (rows64_dame_min_after); its last mover is that stone's colour.
    const FAST_NODE &parent = *node->parent;
    int own = 0;
    int other = 0;
    rows64_dame_min_after(parent.bits, parent.groups, node->stone, node->mover, &own, &other);
    // The mover's side always has a group now, its new stone's; the other may have none (-1).
    if (other == ROWS64_NO_GROUP) other = -1;
    return node->mover == me ? margin_value(me, me, own, other) : margin_value(me, 3 - me, other, own);
}

// make_move, for the level of the player's own search (search_level).
__attribute__((always_inline)) inline void *player_make_move(void *user, void *position, void *move, int level) {
    PLAYER *player = static_cast<PLAYER *>(user);
    const POSITION *old = static_cast<const POSITION *>(position);
    assert(old != NULL);
    const MOVE *mv = static_cast<const MOVE *>(move);
    if (level >= 0 && level + 1 < FAST_LEVELS) {
        // The position this level's node describes: the node made for it, or the root it was made to
        // describe when the search evaluated it (the search evaluates every node before it makes the
        // node's children).
        FAST_NODE *parent = &player->store->fast[level];
        if (old == parent->source) {
            // The tests of the plain way, on the masks: off the board, or not empty, gives none.
            if (static_cast<unsigned>(mv->i) >= static_cast<unsigned>(parent->rows) ||
                static_cast<unsigned>(mv->j) >= static_cast<unsigned>(parent->cols) ||
                !(parent->bits.empty & rows64_bit(rows64_point(mv->i, mv->j))))
                return nullptr;
            return make_fast_child(player->store, parent, mv);
        }
    }
    return make_move_other(player, old, mv);
}

__attribute__((always_inline)) inline int player_after_move(void *user, void *position) {
    if (!position) YError("board == NULL");
    const BOARD *board = static_cast<POSITION *>(position)->board;
    // A board of at most 5 x 5 always fits board_print's canvas, which then prints through the trace
    // alone: nothing to do when the trace would not print.
    if (!YTraceActive()) {
        const FAST_NODE *node = static_cast<PLAYER *>(user)->store->last_made;
        if ((node && position == &node->position) || fits_fast(board)) return 0;
    }
    board_print(node_board(static_cast<PLAYER *>(user)->store, static_cast<POSITION *>(position)));
    return 0;
}

// The player's operations called directly, for a search whose context holds exactly them.
struct PlayerOps {
    static int gen_moves(MM *, void *user, void *position, void **moves) { return player_gen_moves(user, position, moves); }
    __attribute__((always_inline)) static int evaluate(MM *, void *user, void *position) {
        return player_evaluate(user, position);
    }
    // The context is the player's own (player_best_move), so its level is search_level's.
    __attribute__((always_inline)) static void *make_move(MM *mm, void *user, void *position, void *move) {
        return player_make_move(user, position, move, mm->numlev);
    }
    static const char *move_text(MM *, void *move, void *user) { return ::move_text(move, user); }
    static void after_move(MM *, void *user, void *position) { player_after_move(user, position); }
    // The node make_move made last: while the trace does not print, player_after_move returns at once
    // for it, player_gen_moves only counts or lists (writing nothing but the list), and
    // player_evaluate values it from its parent's analysis without reading the level (for a player of
    // White or Black; another goes the plain way).
    static bool silent_leaf(MM *, void *user, void *child) {
        const PLAYER *player = static_cast<PLAYER *>(user);
        const FAST_NODE *node = player->store->last_made;
        return node && child == &node->position && plays_white_or_black(player->colour);
    }
};

} // namespace

int gen_empty_moves(void *user, void *position, void **moves) { return player_gen_moves(user, position, moves); }

int eval_dame_margin(void *user, void *position) { return player_evaluate(user, position); }

void *make_move(void *user, void *position, void *move) {
    return player_make_move(user, position, move, search_level(static_cast<PLAYER *>(user)));
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

int after_move(void *user, void *position) { return player_after_move(user, position); }

void player_best_move(PLAYER *player, int *i, int *j) {
    if (player->choose) {
        player->choose(player->choose_data, player->board, player->colour, i, j);
        return;
    }
    // The root refers to the game's board itself; the search only reads it.
    POSITION root{player->board, player->colour};
    void *best = nullptr;
    // Below this level nothing reads a node's move list; the operations know it only from here.
    player->store->last_level = player->level;
    // The same search as mm_minimax's, with the operations called directly when the context holds the
    // player's own (it always does, unless a caller has replaced them).
    const MM *mm = player->mm;
    if (mm->gen_moves == gen_empty_moves && mm->evaluate == eval_dame_margin && mm->make_move == make_move &&
        mm->move_text == move_text && mm->after_move == after_move)
        mm_steps::search<PlayerOps>(player->mm, &root, player->level, &best, player);
    else
        mm_minimax(player->mm, &root, player->level, &best, player);
    player->store->last_level = -2;
    // The root goes with this call: no later position at its address may pass for it.
    for (FAST_NODE &node : player->store->fast)
        if (node.source == &root) node.source = nullptr;
    if (best) {
        const MOVE *move = static_cast<const MOVE *>(best);
        *i = move->i;
        *j = move->j;
    }
    store_drop(player->store);
}
