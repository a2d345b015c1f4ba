// The engine made fast must play exactly as the plain one: the same groups, the same moves, the same
// draws from rand() and the same bytes on the error stream. Four checks:
//  - groups_find against a plain recursive analysis kept here, on thousands of random boards;
//  - whole seeded games, single searches and searches from random positions (levels 1 to 4, boards up
//    to 6 x 6) against a plain minimax kept here, byte for byte on the error stream (every node writes
//    the colour escapes of its trace block);
//  - with the trace printing, the player's operations against plain ones kept here, through the same
//    mm_minimax: every trace line, move name and board printout;
//  - the same games and searches against the record made by the engine as first written
//    (search_golden.inc, with the command that made it in its header).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/client.h"
#include "engine/groups.h"
#include "model/game.h"
#include "model/print.h"
#include "support/common.h"
#include "tests/test_board.h"

namespace {

struct GoldenGame {
    unsigned seed;
    const char *first;  // White
    const char *second; // Black, moves first
    int handicap;       // White stones on random points before the first move
    const char *moves;  // "Xd3 Oc2 ..."
    int winner;
    int next_rand;      // rand() right after the game
    size_t err_bytes;   // error-stream bytes written during the moves
    uint64_t err_hash;  // their FNV-1a hash
};

struct GoldenSearch {
    unsigned seed;
    const char *name;
    int colour;
    const char *board; // rows from the top, "/" between rows
    int i;             // the best point, -1 -1 for none
    int j;
    int next_rand;
    size_t err_bytes;
    uint64_t err_hash;
};

#include "search_golden.inc"

uint64_t fnv1a(const std::string &bytes) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

// ---------------------------------------------------------------------------------------------------
// The plain analysis: the recursive fill exactly as the rules describe it, on a copy of the record.

struct RefGroup {
    int colour = 0;
    std::vector<std::pair<int, int>> stones;
    std::vector<std::pair<int, int>> dame;
};

struct RefAnalysis {
    std::vector<RefGroup> groups;
    std::vector<int> marks; // rows x cols
};

void ref_fill(const BOARD *b, RefAnalysis &a, RefGroup &g, int i, int j) {
    if (i < 0 || j < 0 || i > b->rows - 1 || j > b->cols - 1) return;
    const int code = b->cells[i * b->cols + j];
    if (code == STONE_NONE) {
        for (const auto &d : g.dame)
            if (d.first == i && d.second == j) return;
        g.dame.emplace_back(i, j);
        return;
    }
    if (code != g.colour || a.marks[i * b->cols + j] != 0) return;
    a.marks[i * b->cols + j] = code;
    g.stones.emplace_back(i, j);
    ref_fill(b, a, g, i, j - 1);
    ref_fill(b, a, g, i, j + 1);
    ref_fill(b, a, g, i + 1, j);
    ref_fill(b, a, g, i - 1, j);
}

RefAnalysis ref_analyse(const BOARD *b) {
    RefAnalysis a;
    a.marks.assign(b->rows * b->cols, 0);
    for (int i = 0; i < b->rows; ++i)
        for (int j = 0; j < b->cols; ++j) {
            const int code = b->cells[i * b->cols + j];
            if (code == STONE_NONE || a.marks[i * b->cols + j] != 0) continue;
            RefGroup g;
            g.colour = code;
            ref_fill(b, a, g, i, j);
            a.groups.push_back(g);
        }
    return a;
}

int ref_dame_min(const RefAnalysis &a, int colour) {
    int least = -1;
    for (const RefGroup &g : a.groups)
        if (g.colour == colour && (least < 0 || static_cast<int>(g.dame.size()) < least))
            least = static_cast<int>(g.dame.size());
    return least;
}

bool ref_has_dead(const RefAnalysis &a, int colour) {
    for (const RefGroup &g : a.groups)
        if (g.colour == colour && g.dame.empty()) return true;
    return false;
}

// Compares the record of the last groups_find with the plain analysis; marks outside the board must keep
// what they held before (old_marks).
void expect_same_analysis(const GROUPS *groups, const BOARD *b, const int old_marks[7][7], const std::string &where) {
    SCOPED_TRACE(where);
    const RefAnalysis a = ref_analyse(b);
    ASSERT_EQ(groups->board, b);
    ASSERT_EQ(groups->rows, b->rows);
    ASSERT_EQ(groups->cols, b->cols);
    ASSERT_EQ(groups->groups_num, static_cast<int>(a.groups.size()));
    for (int k = 0; k < groups->groups_num; ++k) {
        const GROUP &g = groups->groups[k];
        const RefGroup &r = a.groups[k];
        ASSERT_EQ(g.colour, r.colour) << "group " << k;
        ASSERT_EQ(g.stones, static_cast<int>(r.stones.size())) << "group " << k;
        ASSERT_EQ(g.dame, static_cast<int>(r.dame.size())) << "group " << k;
        for (int s = 0; s < g.stones; ++s) {
            ASSERT_EQ(g.stone_i[s], r.stones[s].first) << "group " << k << " stone " << s;
            ASSERT_EQ(g.stone_j[s], r.stones[s].second) << "group " << k << " stone " << s;
        }
        for (int d = 0; d < g.dame; ++d) {
            ASSERT_EQ(g.dame_i[d], r.dame[d].first) << "group " << k << " dame " << d;
            ASSERT_EQ(g.dame_j[d], r.dame[d].second) << "group " << k << " dame " << d;
        }
    }
    for (int i = 0; i < GROUPS_MAX_SIDE; ++i)
        for (int j = 0; j < GROUPS_MAX_SIDE; ++j) {
            const int expected = i < b->rows && j < b->cols ? a.marks[i * b->cols + j] : old_marks[i][j];
            ASSERT_EQ(groups->marks[i][j], expected) << "mark " << i << " " << j;
        }
    for (int colour : {1, 2, 111, 5})
        ASSERT_EQ(groups_dame_min(groups, static_cast<short>(colour)), ref_dame_min(a, colour)) << "colour " << colour;
}

TEST(SearchEquivalence, GroupAnalysisMatchesThePlainFillOnRandomBoards) {
    // Boards of every size the record takes, dense and sparse, with the dead codes and a stray code
    // among the stones; one record analyses them all in turn, as the evaluation does.
    std::srand(12345);
    GROUPS *groups = groups_create(5, 5, nullptr);
    std::srand(12345);
    const int codes[] = {STONE_WHITE, STONE_BLACK, STONE_WHITE, STONE_BLACK, WHITE_DEAD, BLACK_DEAD, 5};
    for (int round = 0; round < 4000; ++round) {
        const int rows = 1 + std::rand() % GROUPS_MAX_SIDE;
        const int cols = 1 + std::rand() % GROUPS_MAX_SIDE;
        const int fill = std::rand() % 101;
        BOARD *b = board_new(rows, cols);
        for (int k = 0; k < rows * cols; ++k) {
            if (std::rand() % 100 >= fill) continue;
            b->cells[k] = round % 3 == 0 ? codes[std::rand() % 7] : codes[std::rand() % 2];
        }
        int old_marks[7][7];
        for (int i = 0; i < 7; ++i)
            for (int j = 0; j < 7; ++j) groups->marks[i][j] = old_marks[i][j] = 1000 + std::rand() % 1000;
        groups_find(groups, b);
        expect_same_analysis(groups, b, old_marks, "round " + std::to_string(round));
        // Again without a board: the record's own board, analysed afresh.
        groups_find(groups, nullptr);
        expect_same_analysis(groups, b, old_marks, "again, round " + std::to_string(round));
        board_free(b);
        if (HasFatalFailure()) break;
    }
    groups_free(groups);
}

// ---------------------------------------------------------------------------------------------------
// The plain player: evaluation and minimax as the rules describe them, writing the colour escapes of
// each node's trace block into a string instead of the error stream.

const int COLOURS[6] = {0, 36, 37, 32, 36, 37};
int colour_code(int depth) { return depth < 6 ? COLOURS[depth] : 0; }
std::string escape(int code) { return "\033[ " + std::to_string(code) + " m"; }

struct RefPlayer {
    int colour;
    int level;
};

int ref_level(const char *name, int points) {
    const int level = std::string(name).size() <= 4 ? 0 : std::atoi(name + 4);
    return level == 0 ? points : level;
}

int ref_eval(const RefPlayer &p, const BOARD *b, int to_move) {
    const RefAnalysis a = ref_analyse(b);
    const int me = p.colour;
    const int m = ref_dame_min(a, me);
    const int o = ref_dame_min(a, 3 - me);
    const int last = 3 - to_move;
    if (last == me) {
        if (o == 0) return 100;
        if (m == 0) return -101;
    } else if (last == 3 - me) {
        if (m == 0) return -100;
        if (o == 0) return 101;
    }
    return m - o;
}

// numlev is the level of this node (0 at the root); depth its trace depth.
int ref_minimax(const RefPlayer &p, BOARD *b, int to_move, int numlev, int depth, int *best_k, std::string &err) {
    err += escape(colour_code(depth));
    std::vector<int> moves;
    for (int k = 0; k < b->rows * b->cols; ++k)
        if (b->cells[k] == STONE_NONE) moves.push_back(k);
    const int value = ref_eval(p, b, to_move);
    int result = value;
    int best = -1;
    if (!(numlev == p.level || moves.empty() || value >= 100 || value <= -100)) {
        const bool maximising = numlev % 2 == 0;
        result = maximising ? -1100 : 1100;
        for (int k : moves) {
            b->cells[k] = to_move;
            const int v = ref_minimax(p, b, to_move == 1 ? 2 : 1, numlev + 1, depth + 1, nullptr, err);
            b->cells[k] = STONE_NONE;
            bool take = maximising ? v > result : v < result;
            if (!take && v == result) take = best < 0 || std::rand() % 101 < 50;
            if (take) {
                result = v;
                best = k;
            }
        }
    }
    err += escape(colour_code(depth - 1));
    if (best_k) *best_k = best;
    return result;
}

bool ref_random_empty(const BOARD *b, int *k_out) {
    int n = 0;
    for (int k = 0; k < b->rows * b->cols; ++k) n += b->cells[k] == STONE_NONE;
    if (n == 0) return false;
    const int pick = std::rand() % n + 1;
    int seen = 0;
    for (int k = 0; k < b->rows * b->cols; ++k)
        if (b->cells[k] == STONE_NONE && ++seen == pick) {
            *k_out = k;
            return true;
        }
    return false;
}

struct Played {
    std::string moves;
    int winner = 0;
    int next_rand = 0;
    std::string err;
};

std::string move_name(int colour, const BOARD *b, int i, int j) {
    return std::string(1, colour == STONE_WHITE ? 'O' : 'X') + board_point_name(b, i, j);
}

void append_move(std::string &moves, const std::string &move) {
    if (!moves.empty()) moves += ' ';
    moves += move;
}

// The game as game_play runs it, with rand() seeded after the players are added.
Played play_engine(const GoldenGame &g) {
    Played out;
    GAME *game = game_new(5, 5);
    game_add_player(game, g.first, 0, STONE_WHITE);
    game_add_player(game, g.second, 0, STONE_BLACK);
    std::srand(g.seed);
    for (int h = 0; h < g.handicap; ++h) {
        int i = 0;
        int j = 0;
        if (game_random_point(game, 0, &i, &j)) game_move(game, i, j, STONE_WHITE);
    }
    testing::internal::CaptureStderr();
    int current = 1;
    short stone = STONE_BLACK;
    do {
        game_computer_move(game, current, stone);
        out.winner = game_check_end(game);
        stone = static_cast<short>(stone_opponent(stone));
        current = 1 - current;
    } while (out.winner == 0);
    out.err = testing::internal::GetCapturedStderr();
    out.next_rand = std::rand();
    for (int k = 0; k < game->groups->moves.moves_num; ++k) {
        const MOVE &m = game->groups->moves.moves[k];
        append_move(out.moves, move_name(m.value, game->board, m.i, m.j));
    }
    game_free(game);
    return out;
}

Played play_reference(const GoldenGame &g) {
    Played out;
    BOARD *b = board_new(5, 5);
    const RefPlayer players[2] = {{STONE_WHITE, ref_level(g.first, 25)}, {STONE_BLACK, ref_level(g.second, 25)}};
    std::srand(g.seed);
    for (int h = 0; h < g.handicap; ++h) {
        int k = 0;
        if (ref_random_empty(b, &k)) {
            b->cells[k] = STONE_WHITE;
            append_move(out.moves, move_name(STONE_WHITE, b, k / 5, k % 5));
        }
    }
    int current = 1;
    int stone = STONE_BLACK;
    int last_mover = out.moves.empty() ? 0 : STONE_WHITE;
    while (out.winner == 0) {
        int k = -1;
        // The root's trace block opens one below the blocks open now (none when run alone).
        ref_minimax(players[current], b, players[current].colour, 0, YTraceDepth() + 1, &k, out.err);
        if (k >= 0) {
            b->cells[k] = stone;
            last_mover = stone;
            append_move(out.moves, move_name(stone, b, k / 5, k % 5));
        }
        if (last_mover != 0) {
            const RefAnalysis a = ref_analyse(b);
            const int opponent = last_mover == 1 ? 2 : 1;
            if (ref_has_dead(a, opponent)) out.winner = last_mover;
            else if (ref_has_dead(a, last_mover)) out.winner = opponent;
        }
        stone = stone == 1 ? 2 : 1;
        current = 1 - current;
    }
    out.next_rand = std::rand();
    board_free(b);
    return out;
}

TEST(SearchEquivalence, SeededGamesPlayAsThePlainMinimaxAndAsFirstRecorded) {
    SKIP_UNLESS_GLIBC_RAND();
    for (const GoldenGame &g : GOLDEN_GAMES) {
        SCOPED_TRACE("seed " + std::to_string(g.seed) + ", " + g.first + " (White) against " + g.second);
        const Played engine = play_engine(g);
        const Played reference = play_reference(g);
        EXPECT_EQ(engine.moves, reference.moves);
        EXPECT_EQ(engine.winner, reference.winner);
        EXPECT_EQ(engine.next_rand, reference.next_rand);
        EXPECT_TRUE(engine.err == reference.err)
            << "error stream differs: " << engine.err.size() << " bytes against " << reference.err.size();

        EXPECT_EQ(engine.moves, g.moves);
        EXPECT_EQ(engine.winner, g.winner);
        EXPECT_EQ(engine.next_rand, g.next_rand);
        EXPECT_EQ(engine.err.size(), g.err_bytes);
        EXPECT_EQ(fnv1a(engine.err), g.err_hash);
    }
}

TEST(SearchEquivalence, SingleSearchesFindWhatThePlainMinimaxAndTheFirstRecordFind) {
    SKIP_UNLESS_GLIBC_RAND();
    for (const GoldenSearch &s : GOLDEN_SEARCHES) {
        SCOPED_TRACE(std::string(s.name) + " for colour " + std::to_string(s.colour) + " on " + s.board);
        GAME *game = game_new(5, 5);
        int k = 0;
        for (const char *p = s.board; *p; ++p)
            if (*p != '/') game->board->cells[k++] = stone_from_char(*p);
        const int n = game_add_player(game, s.name, 0, static_cast<short>(s.colour));
        std::srand(s.seed);
        int i = -1;
        int j = -1;
        testing::internal::CaptureStderr();
        player_best_move(&game->players[n], &i, &j);
        const std::string err = testing::internal::GetCapturedStderr();
        const int next = std::rand();

        std::srand(s.seed);
        std::string ref_err;
        int best = -1;
        BOARD *copy = board_copy(game->board);
        const RefPlayer player{s.colour, ref_level(s.name, 25)};
        ref_minimax(player, copy, s.colour, 0, YTraceDepth() + 1, &best, ref_err);
        const int ref_next = std::rand();
        board_free(copy);

        EXPECT_EQ(i, best < 0 ? -1 : best / 5);
        EXPECT_EQ(j, best < 0 ? -1 : best % 5);
        EXPECT_EQ(next, ref_next);
        EXPECT_TRUE(err == ref_err) << "error stream differs: " << err.size() << " bytes against " << ref_err.size();

        EXPECT_EQ(i, s.i);
        EXPECT_EQ(j, s.j);
        EXPECT_EQ(next, s.next_rand);
        EXPECT_EQ(err.size(), s.err_bytes);
        EXPECT_EQ(fnv1a(err), s.err_hash);
        game_free(game);
    }
}

// A random board: each point a stone with the given chance, White or Black, now and then a dead code.
BOARD *random_board(int rows, int cols, int stone_percent) {
    BOARD *b = board_new(rows, cols);
    for (int k = 0; k < rows * cols; ++k) {
        if (std::rand() % 100 >= stone_percent) continue;
        const int pick = std::rand() % 20;
        b->cells[k] = pick == 0 ? WHITE_DEAD : pick == 1 ? BLACK_DEAD : 1 + pick % 2;
    }
    return b;
}

TEST(SearchEquivalence, SearchesFromRandomPositionsAtLevelsOneToFourAsThePlainMinimax) {
    // Mostly 5 x 5 boards; boards of 1 x 1 to 5 x 5, which the search takes through its masks, and 6 x 6,
    // which it does not. Dense enough at the deeper levels for the plain minimax to finish in moments.
    std::srand(777);
    for (int round = 0; round < 240; ++round) {
        const int level = 1 + round % 4;
        const int shape = round % 8;
        const int rows = shape == 7 ? 6 : shape >= 3 ? 5 : 1 + std::rand() % 5;
        const int cols = shape == 7 ? 6 : shape >= 3 ? 5 : 1 + std::rand() % 5;
        const int most_empty = level == 4 ? 9 : level == 3 ? 13 : 36;
        BOARD *b = nullptr;
        do {
            board_free(b);
            b = random_board(rows, cols, level <= 2 ? std::rand() % 70 : 50 + std::rand() % 50);
        } while (std::count(b->cells, b->cells + rows * cols, STONE_NONE) > most_empty);
        const short colour = static_cast<short>(1 + std::rand() % 2);
        const std::string name = "tiku" + std::to_string(level);
        const unsigned seed = static_cast<unsigned>(std::rand());
        SCOPED_TRACE("round " + std::to_string(round) + ": " + name + " for " + std::to_string(colour) + " on " +
                     board_picture(b));

        PLAYER player{};
        player_init(&player, name.c_str(), colour, b);
        std::srand(seed);
        int i = -1;
        int j = -1;
        testing::internal::CaptureStderr();
        player_best_move(&player, &i, &j);
        const std::string err = testing::internal::GetCapturedStderr();
        const int next = std::rand();
        player_release(&player);

        std::srand(seed);
        std::string ref_err;
        int best = -1;
        ref_minimax(RefPlayer{colour, level}, b, colour, 0, YTraceDepth() + 1, &best, ref_err);
        const int ref_next = std::rand();

        EXPECT_EQ(i, best < 0 ? -1 : best / cols);
        EXPECT_EQ(j, best < 0 ? -1 : best % cols);
        EXPECT_EQ(next, ref_next);
        EXPECT_TRUE(err == ref_err) << "error stream differs: " << err.size() << " bytes against " << ref_err.size();
        board_free(b);
        std::srand(seed); // the next round's board does not depend on how many draws this one took
        if (HasFailure()) break;
    }
}

// ---------------------------------------------------------------------------------------------------
// Plain operations for mm_minimax: a new position per move, the plain evaluation, the board printed
// after every move. With the trace printing, the player's operations must write exactly what these do.

struct PlainUser {
    int colour;
    const BOARD *names; // the board whose notation names the moves
    std::vector<std::unique_ptr<MOVE>> moves;
    std::vector<Owned<POSITION, position_free>> positions;
};

int plain_gen(void *user, void *position, void **moves) {
    auto *u = static_cast<PlainUser *>(user);
    const BOARD *b = static_cast<POSITION *>(position)->board;
    int count = 0;
    for (int k = 0; k < b->rows * b->cols; ++k)
        if (b->cells[k] == STONE_NONE) {
            u->moves.push_back(std::make_unique<MOVE>(MOVE{k / b->cols, k % b->cols, 0}));
            moves[count++] = u->moves.back().get();
        }
    return count;
}

int plain_eval(void *user, void *position) {
    const auto *p = static_cast<POSITION *>(position);
    const PlainUser *u = static_cast<PlainUser *>(user);
    return ref_eval(RefPlayer{u->colour, 0}, p->board, p->colour);
}

void *plain_make(void *user, void *position, void *move) {
    auto *u = static_cast<PlainUser *>(user);
    const auto *old = static_cast<POSITION *>(position);
    const auto *m = static_cast<MOVE *>(move);
    u->positions.emplace_back(position_copy(nullptr, old));
    POSITION *child = u->positions.back().get();
    child->board->cells[m->i * old->board->cols + m->j] = old->colour;
    child->colour = old->colour == STONE_WHITE ? STONE_BLACK : STONE_WHITE;
    return child;
}

const char *plain_text(void *move, void *user) {
    static std::string text;
    if (!move) return "";
    const auto *m = static_cast<MOVE *>(move);
    text = board_point_name(static_cast<PlainUser *>(user)->names, m->i, m->j);
    return text.c_str();
}

int plain_after(void *, void *position) {
    board_print(static_cast<POSITION *>(position)->board);
    return 0;
}

TEST(SearchEquivalence, WithTheTracePrintingThePlayerWritesWhatPlainOperationsWrite) {
    std::srand(4242);
    for (int round = 0; round < 12; ++round) {
        const int trace_level = 1 + round % 4;
        const int rows = 2 + std::rand() % 4;
        const int cols = 2 + std::rand() % 4;
        BOARD *b = random_board(rows, cols, 40 + std::rand() % 30);
        const short colour = static_cast<short>(1 + round % 2);
        const int level = 1 + round % 3;
        const unsigned seed = static_cast<unsigned>(std::rand());
        SCOPED_TRACE("round " + std::to_string(round) + ": trace level " + std::to_string(trace_level) + " on " +
                     board_picture(b));
        TraceLevelScope scope(trace_level);

        PLAYER player{};
        player_init(&player, ("tiku" + std::to_string(level)).c_str(), colour, b);
        std::srand(seed);
        int i = -1;
        int j = -1;
        const std::string err = capture_stderr([&] { player_best_move(&player, &i, &j); });
        const int next = std::rand();
        player_release(&player);

        PlainUser user{colour, b, {}, {}};
        MM *mm = mm_create(plain_gen, plain_eval, plain_make, plain_text, plain_after);
        POSITION root{b, colour};
        void *best = nullptr;
        std::srand(seed);
        const std::string plain = capture_stderr([&] { mm_minimax(mm, &root, level, &best, &user); });
        const int plain_next = std::rand();
        mm_free(mm);

        ASSERT_NE(without_escapes(err).find("BEG: mm_minimax"), std::string::npos);
        EXPECT_EQ(err, plain);
        EXPECT_EQ(next, plain_next);
        EXPECT_EQ(i, best ? static_cast<MOVE *>(best)->i : -1);
        EXPECT_EQ(j, best ? static_cast<MOVE *>(best)->j : -1);
        board_free(b);
        std::srand(seed);
        if (HasFailure()) break;
    }
}

// The player's context searched directly, as any caller of mm_minimax may: one player and one root
// record for every round, so that each search starts from the same address with another board, and
// roots with no side to move (STONE_NONE), which the player's own searches never have.
TEST(SearchEquivalence, DirectSearchesOfThePlayersContextMatchPlainOperations) {
    std::srand(99);
    BOARD *b = board_new(5, 5);
    PLAYER player{};
    player_init(&player, "tiku3", STONE_WHITE, b);
    POSITION root{b, 0};
    for (int round = 0; round < 30; ++round) {
        BOARD *picture = random_board(5, 5, 55 + std::rand() % 30);
        std::copy(picture->cells, picture->cells + 25, b->cells);
        board_free(picture);
        player.colour = static_cast<short>(1 + std::rand() % 2);
        root.colour = std::rand() % 3;
        const int level = 1 + std::rand() % 3;
        const unsigned seed = static_cast<unsigned>(std::rand());
        SCOPED_TRACE("round " + std::to_string(round) + ": " + std::to_string(root.colour) + " to move on " +
                     board_picture(b));

        void *best = nullptr;
        std::srand(seed);
        const std::string err = capture_stderr([&] { mm_minimax(player.mm, &root, level, &best, &player); });
        const int next = std::rand();
        const int i = best ? static_cast<MOVE *>(best)->i : -1;
        const int j = best ? static_cast<MOVE *>(best)->j : -1;

        PlainUser user{player.colour, b, {}, {}};
        MM *mm = mm_create(plain_gen, plain_eval, plain_make, plain_text, plain_after);
        void *plain_best = nullptr;
        std::srand(seed);
        const std::string plain = capture_stderr([&] { mm_minimax(mm, &root, level, &plain_best, &user); });
        const int plain_next = std::rand();
        mm_free(mm);

        EXPECT_TRUE(err == plain) << "error stream differs: " << err.size() << " bytes against " << plain.size();
        EXPECT_EQ(next, plain_next);
        EXPECT_EQ(i, plain_best ? static_cast<MOVE *>(plain_best)->i : -1);
        EXPECT_EQ(j, plain_best ? static_cast<MOVE *>(plain_best)->j : -1);
        std::srand(seed);
        if (HasFailure()) break;
    }
    player_release(&player);
    board_free(b);
}

// A player whose context holds an operation of a caller's (here an evaluation that counts its calls)
// searches through that operation, and plays and writes as the player with its own five.
int counted_evaluations = 0;
int counting_eval(void *player, void *position) {
    ++counted_evaluations;
    return eval_dame_margin(player, position);
}

TEST(SearchEquivalence, APlayerWithAReplacedOperationSearchesThroughItAndPlaysAlike) {
    std::srand(31);
    for (int round = 0; round < 6; ++round) {
        BOARD *b = random_board(5, 5, 20 + std::rand() % 40);
        const unsigned seed = static_cast<unsigned>(std::rand());
        SCOPED_TRACE("round " + std::to_string(round) + " on " + board_picture(b));
        struct Result {
            int i = -1, j = -1, next = 0;
            std::string err;
        };
        const auto search = [&](MM_EVALUATE evaluate) {
            Result r;
            PLAYER player{};
            player_init(&player, "tiku2", STONE_WHITE, b);
            player.mm->evaluate = evaluate;
            std::srand(seed);
            r.err = capture_stderr([&] { player_best_move(&player, &r.i, &r.j); });
            r.next = std::rand();
            player_release(&player);
            return r;
        };
        counted_evaluations = 0;
        const Result own = search(eval_dame_margin);
        EXPECT_EQ(counted_evaluations, 0);
        const Result counted = search(counting_eval);
        EXPECT_GT(counted_evaluations, 0);
        EXPECT_EQ(counted.i, own.i);
        EXPECT_EQ(counted.j, own.j);
        EXPECT_EQ(counted.next, own.next);
        EXPECT_TRUE(counted.err == own.err);
        board_free(b);
        std::srand(seed);
    }
}

// However the error stream is buffered, a finished search has written all its bytes, the closing reset
// escape included, so that a terminal shows the normal colours again before the window goes on.
TEST(SearchEquivalence, AFinishedSearchHasWrittenEveryByteWithoutAFlush) {
    ASSERT_EQ(YTraceDepth(), 0); // a search run from inside an open block ends inside it
    GAME *game = game_new(5, 5);
    const int n = game_add_player(game, "tiku2", 0, STONE_WHITE);
    std::fflush(stderr);
    FILE *tmp = std::tmpfile();
    ASSERT_NE(tmp, nullptr);
    const int saved = dup(STDERR_FILENO);
    dup2(fileno(tmp), STDERR_FILENO);
    int i = -1;
    int j = -1;
    player_best_move(&game->players[n], &i, &j);
    const long written = lseek(fileno(tmp), 0, SEEK_CUR); // no fflush before looking
    std::fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    std::fclose(tmp);
    game_free(game);
    // 626 nodes from the empty board, each a block at depth 1, 2 or 3 writing two escapes of 7 bytes,
    // but for the root's closing reset, "ESC[ 0 m", of 6.
    EXPECT_EQ(written, 626 * 2 * 7 - 1);
}

} // namespace
