#include "engine/client.h"

#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "model/print.h"
#include "support/common.h"

// The positions and moves one search makes. They belong to the player for that search only: the search
// itself releases nothing, and the records are kept for reuse, so a long game does not grow.
//
// Within a search of the player's own context the search is depth-first: when a node asks for the
// next child's position, the previous child and everything below it are finished. So one position per
// level of the tree serves the whole search, the level being the context's counter. And the search
// only reads its moves, so every node lists the same record for a point: one move per point of the
// board. A level-4 search from the empty board makes 318 026 positions and lists 7 280 000 moves; this
// way it touches five positions and 25 moves, and allocates nothing after the first search. Calls from
// outside such a search (the counter at -1) get records of their own, kept until the player's next
// search.
struct SEARCH_STORE {
    std::vector<POSITION *> level_positions; // [d]: the position made for a node of level d (d >= 1)
    std::vector<MOVE> point_moves;           // [i * cols + j]: the move (i, j), for boards of point_cols
    int point_cols = 0;
    std::vector<POSITION *> positions;       // made outside a search
    std::vector<MOVE *> moves;
    size_t positions_used = 0;
    size_t moves_used = 0;
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
    player->store = new SEARCH_STORE;
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

void player_best_move(PLAYER *player, int *i, int *j) {
    if (player->choose) {
        player->choose(player->choose_data, player->board, player->colour, i, j);
        return;
    }
    // The root refers to the game's board itself; the search only reads it.
    POSITION root{player->board, player->colour};
    void *best = nullptr;
    mm_minimax(player->mm, &root, player->level, &best, player);
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

int eval_dame_margin(void *user, void *position) {
    PLAYER *player = static_cast<PLAYER *>(user);
    const POSITION *pos = static_cast<POSITION *>(position);
    const int me = player->colour;
    const int opponent = 3 - me;
    const int last_mover = 3 - pos->colour;

    groups_find(player->groups, pos->board);
    const int m = groups_dame_min(player->groups, static_cast<short>(me));
    const int o = groups_dame_min(player->groups, static_cast<short>(opponent));

    // Decided positions: a capture beats a lost group of the mover's own, as in the end test; losing by
    // one's own move (-101) is worse than being captured (-100), and the opponent's suicide (101) is
    // better than a capture (100).
    if (last_mover == me) {
        if (o == 0) return 100;
        if (m == 0) return -101;
    } else if (last_mover == opponent) {
        if (m == 0) return -100;
        if (o == 0) return 101;
    }
    return m - o;
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
    POSITION *child = level >= 0 ? level_position(player->store, level + 1, old) : store_position(player->store, old);
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
    board_print(static_cast<POSITION *>(position)->board);
    return 0;
}
