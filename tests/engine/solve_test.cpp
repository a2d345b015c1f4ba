// The solver against a rules-only reference: plain minimax over the game's own board, groups record and
// end test, with no table, no symmetry and no shortcut. The solver's shortcuts are where a bug would hide.
#include "engine/solve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine/groups.h"
#include "tests/test_board.h"

namespace {

using GroupsPtr = Owned<GROUPS, groups_free>;
using SolverPtr = Owned<SOLVER, solver_free>;

// The game's records for one position: the board and a groups record whose history gets every move, so
// that the end test judges each move exactly as in a game.
struct Game {
    BoardPtr board;
    GroupsPtr groups;
    explicit Game(int size) : board(board_new(size, size)), groups(groups_create(size, size, board.get())) {}
};

// Plays (i, j) for colour through the game's records: 1 the mover won, -1 lost, 0 the game goes on.
int play(Game &game, int colour, int i, int j) {
    board_set_move(game.board.get(), colour, i, j);
    groups_add_move(game.groups.get(), colour, i, j);
    int white_lost = 0;
    int black_lost = 0;
    groups_check_end(game.groups.get(), 0, &white_lost, &black_lost);
    if (!white_lost && !black_lost) return 0;
    return (white_lost ? STONE_WHITE : STONE_BLACK) == colour ? -1 : 1;
}

void take_back(Game &game, int i, int j) {
    board_clear_point(game.board.get(), i, j);
    --game.groups->moves.moves_num;
}

// The reference. exact: the value as the solver counts it (plies to the end); otherwise 1 or -1. The
// moves that end the game at once are looked at before any is searched, and the boolean minimax stops at
// the first winning move: both only change the order in which the same maximum is taken.
int reference(Game &game, int colour, bool exact) {
    const int size = game.board->rows;
    int best = exact ? -SOLVE_WIN : -1; // no move: lost, as the game flow counts a computer without a move
    std::vector<std::pair<int, int>> going_on;
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j) {
            if (!board_is_empty(game.board.get(), i, j)) continue;
            const int end = play(game, colour, i, j);
            take_back(game, i, j);
            if (end == 0) going_on.push_back({i, j});
            else best = std::max(best, exact ? end * (SOLVE_WIN - 1) : end);
        }
    for (const auto &[i, j] : going_on) {
        if (!exact && best > 0) break;
        play(game, colour, i, j);
        const int child = reference(game, stone_opponent(colour), exact);
        take_back(game, i, j);
        best = std::max(best, !exact ? -child : child > 0 ? 1 - child : -1 - child);
    }
    return best;
}

SOLVE_POSITION position_of(const Game &game, int colour) {
    SOLVE_POSITION position{};
    EXPECT_EQ(solve_position_from_board(game.board.get(), colour, &position), 1);
    return position;
}

// Random play from the empty board by moves that do not end the game, until at most empty_left points
// are empty; false when the play ran into a position where every move ends it.
bool random_position(Game &game, std::mt19937 &random, int empty_left, int *colour) {
    const int size = game.board->rows;
    *colour = STONE_BLACK;
    for (int empty = size * size; empty > empty_left; --empty) {
        std::vector<std::pair<int, int>> quiet;
        for (int i = 0; i < size; ++i)
            for (int j = 0; j < size; ++j) {
                if (!board_is_empty(game.board.get(), i, j)) continue;
                if (play(game, *colour, i, j) == 0) quiet.push_back({i, j});
                take_back(game, i, j);
            }
        if (quiet.empty()) return false;
        const auto [i, j] = quiet[random() % quiet.size()];
        play(game, *colour, i, j);
        *colour = stone_opponent(*colour);
    }
    return true;
}

// No group of either side at a single dame: random play leaves mostly a capture at once, which would
// prove little about the search.
bool quiet(Game &game) {
    groups_find(game.groups.get(), nullptr);
    return groups_dame_min(game.groups.get(), STONE_WHITE) >= 2 && groups_dame_min(game.groups.get(), STONE_BLACK) >= 2;
}

// The board and the side to move, for the message of a failed comparison.
std::string described(const Game &game, int colour) {
    return board_picture(game.board.get()) + (colour == STONE_BLACK ? ", Black" : ", White") + " to move";
}

TEST(Solve, SymmetriesAreTheEightMapsOfTheSquare) {
    for (int size = SOLVE_MIN_SIZE; size <= SOLVE_MAX_SIZE; ++size) {
        std::set<std::vector<int>> maps;
        for (int s = 0; s < 8; ++s) {
            std::vector<int> images;
            for (int i = 0; i < size; ++i)
                for (int j = 0; j < size; ++j) {
                    const uint64_t image = solve_symmetry(size, s, solve_bit(solve_point(i, j)));
                    ASSERT_EQ(__builtin_popcountll(image), 1);
                    images.push_back(__builtin_ctzll(image));
                }
            const int n = size - 1;
            const auto is_map = [&](auto f) {
                for (int i = 0; i < size; ++i)
                    for (int j = 0; j < size; ++j)
                        if (images[i * size + j] != f(i, j)) return false;
                return true;
            };
            const bool geometric =
                is_map([](int i, int j) { return solve_point(i, j); }) ||
                is_map([n](int i, int j) { return solve_point(i, n - j); }) ||
                is_map([n](int i, int j) { return solve_point(n - i, j); }) ||
                is_map([n](int i, int j) { return solve_point(n - i, n - j); }) ||
                is_map([](int i, int j) { return solve_point(j, i); }) ||
                is_map([n](int i, int j) { return solve_point(j, n - i); }) ||
                is_map([n](int i, int j) { return solve_point(n - j, i); }) ||
                is_map([n](int i, int j) { return solve_point(n - j, n - i); });
            EXPECT_TRUE(geometric) << size << " x " << size << ", symmetry " << s;
            maps.insert(images);
        }
        EXPECT_EQ(maps.size(), 8u) << size << " x " << size;
    }
}

TEST(Solve, AgreesWithTheReferenceOnTheEmptyBoardsAndEveryOpening) {
    for (int size = 2; size <= 4; ++size) {
        SCOPED_TRACE(std::to_string(size) + " x " + std::to_string(size));
        SolverPtr solver(solver_new(size, 4));
        SolverPtr plain(solver_new(size, 4));
        plain->plain = 1;
        Game game(size);
        const bool exact = size <= 3; // the exact reference on 4 x 4 would walk every line of play
        int empty_board = exact ? -SOLVE_WIN : -1;
        for (int i = 0; i < size; ++i)
            for (int j = 0; j < size; ++j) {
                SCOPED_TRACE(board_point_name(game.board.get(), i, j));
                ASSERT_EQ(play(game, STONE_BLACK, i, j), 0); // no first move ends a game
                const SOLVE_POSITION after = position_of(game, STONE_WHITE);
                const int white = reference(game, STONE_WHITE, exact);
                take_back(game, i, j);
                const int move = exact ? (white > 0 ? 1 - white : -1 - white) : -white;
                EXPECT_EQ(solve_value(solver.get(), after), white > 0 ? 1 : -1);
                EXPECT_EQ(solve_value(plain.get(), after), white > 0 ? 1 : -1);
                EXPECT_EQ(solve_move_score(solver.get(), SOLVE_POSITION{0, 0}, solve_point(i, j), exact), move);
                if (exact) {
                    EXPECT_EQ(solve_score(solver.get(), after), white);
                    // The game's length, bounded from both sides by the one-score window.
                    EXPECT_TRUE(solve_wins_within(solver.get(), after, white > 0, solve_plies(white)));
                    EXPECT_FALSE(solve_wins_within(solver.get(), after, white > 0, solve_plies(white) - 1));
                }
                empty_board = std::max(empty_board, move);
            }
        // The empty board is worth its best opening.
        EXPECT_EQ(solve_value(solver.get(), SOLVE_POSITION{0, 0}), empty_board > 0 ? 1 : -1);
        if (exact) {
            EXPECT_EQ(solve_score(solver.get(), SOLVE_POSITION{0, 0}), empty_board);
        }
    }
}

TEST(Solve, AgreesWithTheReferenceOnRandomPositionsWithTenOrFewerEmptyPoints) {
    std::mt19937 random(12);
    for (int size : {4, 5}) {
        SolverPtr solver(solver_new(size, 16));
        int checked = 0;
        int wins = 0;
        while (checked < 150) {
            Game game(size);
            int colour = 0;
            const int empty_left = 4 + static_cast<int>(random() % 7);
            if (!random_position(game, random, empty_left, &colour)) continue;
            SCOPED_TRACE(described(game, colour));
            const SOLVE_POSITION position = position_of(game, colour);
            ASSERT_EQ(solve_decided(solver.get(), position), 0);
            // A table that lives across the positions, as in a game, and one made afresh.
            SolverPtr fresh(solver_new(size, 1));
            const int value = reference(game, colour, false);
            EXPECT_EQ(solve_value(solver.get(), position), value);
            EXPECT_EQ(solve_value(fresh.get(), position), value);
            if (empty_left <= 7) {
                const int score = reference(game, colour, true);
                EXPECT_EQ(solve_score(fresh.get(), position), score);
                EXPECT_TRUE(solve_wins_within(solver.get(), position, value > 0, solve_plies(score)));
                EXPECT_FALSE(solve_wins_within(solver.get(), position, value > 0, solve_plies(score) - 1));
                EXPECT_EQ(solve_score(solver.get(), position), score);
            }
            wins += value > 0;
            ++checked;
        }
        // Both outcomes were met, or the comparison would prove little.
        EXPECT_GT(wins, 15) << size;
        EXPECT_LT(wins, 135) << size;
    }
}

// On 6 x 6 the threat zone and the cut budgets come into play: the solver, the same solver searching every
// move (as it was before the zone), and the reference must all agree.
TEST(Solve, AgreesWithTheReferenceAndThePlainSearchOnRandom6x6Positions) {
    std::mt19937 random(36);
    SolverPtr solver(solver_new(6, 16));
    SolverPtr plain(solver_new(6, 16));
    plain->plain = 1;
    int checked = 0;
    int wins = 0;
    int cut_short = 0;
    while (checked < 200) {
        Game game(6);
        int colour = 0;
        const int empty_left = 4 + static_cast<int>(random() % 9);
        if (!random_position(game, random, empty_left, &colour)) continue;
        if (!quiet(game)) continue;
        SCOPED_TRACE(described(game, colour));
        const SOLVE_POSITION position = position_of(game, colour);
        const int value = reference(game, colour, false);
        // A search cut short first: what it left in the table must not mislead the full one.
        const int within = solve_value_within(solver.get(), position, 10);
        cut_short += within == 0;
        if (within != 0) {
            EXPECT_EQ(within, value);
        }
        EXPECT_EQ(solve_value(solver.get(), position), value);
        EXPECT_EQ(solve_value(plain.get(), position), value);
        if (empty_left <= 7) {
            EXPECT_EQ(solve_score(solver.get(), position), reference(game, colour, true));
        }
        wins += value > 0;
        ++checked;
    }
    EXPECT_GT(wins, 20);
    EXPECT_LT(wins, 180);
    EXPECT_GT(cut_short, 10); // the budget did cut searches short
    EXPECT_LT(solver->nodes, plain->nodes); // and the zone did leave moves out
}

// The proof walk ranks the winner's moves by the replies they leave free; by the game's own records: the
// move goes on, no reply captures, and after the reply no group of the replying side is at one dame or
// without dame (those lose to a capture at once, or at once).
TEST(Solve, TheWalksFreeRepliesAreThoseTheGamesRulesLeave) {
    std::mt19937 random(33);
    SolverPtr solver(solver_new(6, 1));
    int counted = 0;
    for (int positions = 0; positions < 150;) {
        Game game(6);
        int colour = 0;
        if (!random_position(game, random, 8 + static_cast<int>(random() % 20), &colour)) continue;
        ++positions;
        SCOPED_TRACE(described(game, colour));
        const SOLVE_POSITION position = position_of(game, colour);
        for (int i = 0; i < 6; ++i)
            for (int j = 0; j < 6; ++j) {
                if (!board_is_empty(game.board.get(), i, j)) continue;
                int expected = play(game, colour, i, j) == 0 ? 0 : -1;
                for (int ri = 0; ri < 6 && expected >= 0; ++ri)
                    for (int rj = 0; rj < 6 && expected >= 0; ++rj) {
                        if (!board_is_empty(game.board.get(), ri, rj)) continue;
                        const int end = play(game, stone_opponent(colour), ri, rj);
                        if (end > 0) expected = -1;
                        else if (end == 0 && groups_dame_min(game.groups.get(), stone_opponent(colour)) >= 2) ++expected;
                        take_back(game, ri, rj);
                    }
                take_back(game, i, j);
                EXPECT_EQ(solve_free_replies(solver.get(), position, solve_point(i, j)), expected) << i << ", " << j;
                counted += expected > 0;
            }
    }
    EXPECT_GT(counted, 400); // moves that leave free replies, not only the easy -1
}

// Further from the end, where ladders are long enough to read, the plain search is the second opinion.
TEST(Solve, AgreesWithThePlainSearchOnQuiet6x6PositionsWithUpTo22EmptyPoints) {
    std::mt19937 random(606);
    SolverPtr solver(solver_new(6, 16));
    SolverPtr plain(solver_new(6, 16));
    plain->plain = 1;
    int checked = 0;
    int wins = 0;
    while (checked < 200) {
        Game game(6);
        int colour = 0;
        if (!random_position(game, random, 13 + static_cast<int>(random() % 10), &colour)) continue;
        if (!quiet(game)) continue;
        SCOPED_TRACE(described(game, colour));
        const SOLVE_POSITION position = position_of(game, colour);
        const int value = solve_value(plain.get(), position);
        EXPECT_EQ(solve_value(solver.get(), position), value);
        wins += value > 0;
        ++checked;
    }
    EXPECT_GT(wins, 20);
    EXPECT_LT(wins, 180);
}

// Both sides play the solver's best moves through the game's own records: the side the solver calls
// the winner wins, in exactly the plies the solver counts; the loser, playing its longest resistance,
// cannot make it last longer, nor can random moves save it.
TEST(Solve, ThePerfectPlayerNeverLosesAWonPosition) {
    std::mt19937 random(5);
    std::srand(5);
    SolverPtr solver(solver_new(5, 16));
    for (int round = 0; round < 60; ++round) {
        Game game(5);
        int colour = 0;
        if (!random_position(game, random, 10 + static_cast<int>(random() % 6), &colour)) continue;
        SCOPED_TRACE(board_picture(game.board.get()));
        const int score = solve_score(solver.get(), position_of(game, colour));
        const int winner = score > 0 ? colour : stone_opponent(colour);
        const bool loser_random = round % 2 == 1;
        int plies = 0;
        int result = 0;
        for (int mover = colour; result == 0; mover = stone_opponent(mover)) {
            int i = -1;
            int j = -1;
            if (mover != winner && loser_random) {
                std::vector<std::pair<int, int>> empty;
                for (int a = 0; a < 5; ++a)
                    for (int b = 0; b < 5; ++b)
                        if (board_is_empty(game.board.get(), a, b)) empty.push_back({a, b});
                ASSERT_FALSE(empty.empty());
                std::tie(i, j) = empty[random() % empty.size()];
            } else {
                ASSERT_EQ(solve_perfect_move(solver.get(), game.board.get(), mover, &i, &j), 1);
            }
            result = play(game, mover, i, j);
            ++plies;
            if (result != 0) {
                EXPECT_EQ(result > 0 ? mover : stone_opponent(mover), winner);
            }
        }
        if (loser_random) EXPECT_LE(plies, solve_plies(score));
        else EXPECT_EQ(plies, solve_plies(score));
    }
}

TEST(Solve, ThePerfectPlayerGivesNoMoveWhenTheGameIsOver) {
    SolverPtr solver(solver_new(3, 1));
    int i = -1;
    int j = -1;
    // White's a3 has no dame left: the game ended with Black's last move.
    BoardPtr over = board_from_picture("O X . / X . . / . . .");
    EXPECT_EQ(solve_perfect_move(solver.get(), over.get(), STONE_WHITE, &i, &j), 0);
    BoardPtr marked = board_from_picture("@ X . / X . . / . . .");
    EXPECT_EQ(solve_perfect_move(solver.get(), marked.get(), STONE_WHITE, &i, &j), 0);
    EXPECT_EQ(i, -1);
    // White threatens to take a3 at a2: Black's one move that does not lose at once is a2 itself.
    BoardPtr atari = board_from_picture("X O . / . . . / . . .");
    ASSERT_EQ(solve_perfect_move(solver.get(), atari.get(), STONE_BLACK, &i, &j), 1);
    EXPECT_EQ(i, 1);
    EXPECT_EQ(j, 0);
}

} // namespace
