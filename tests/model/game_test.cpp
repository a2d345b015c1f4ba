// The game record: players, moves and their history, the computer's move, the end of a game, and a
// whole match of two computer players.
#include "model/game.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>


#include "model/print.h"
#include "tests/test_board.h"

namespace {

using GamePtr = Owned<GAME, game_free>;

struct Placed {
    short stone;
    int i, j;
};

GamePtr game_with(int rows, int cols, const std::vector<Placed> &moves) {
    GamePtr game(game_new(rows, cols));
    for (const Placed &m : moves) EXPECT_EQ(game_move(game.get(), m.i, m.j, m.stone), 1) << m.i << "," << m.j;
    return game;
}

TEST(Game, NewGameAndPlayers) {
    GamePtr game(game_new(5, 5));
    EXPECT_EQ(game->rows, 5);
    EXPECT_EQ(game->cols, 5);
    EXPECT_EQ(game->players_num, 0);
    EXPECT_EQ(board_picture(game->board), board_picture(BoardPtr(board_new(5, 5)).get()));
    EXPECT_EQ(game->groups->board, game->board);
    EXPECT_EQ(game->groups->moves.moves_num, 0);
    EXPECT_EQ(game_check_end(game.get()), 0);

    EXPECT_EQ(game_add_player(game.get(), "tiku2", 0, STONE_WHITE), 0);
    EXPECT_EQ(game_add_player(game.get(), "tiku1", 0, STONE_BLACK), 1);
    EXPECT_EQ(game->players_num, 2);
    EXPECT_EQ(game->players[0].colour, STONE_WHITE);
    EXPECT_EQ(game->players[1].colour, STONE_BLACK);
    EXPECT_STREQ(game->players[1].name, "tiku1");
    for (int n = 0; n < 2; ++n) {
        EXPECT_EQ(game->players[n].board, game->board);
        EXPECT_NE(game->players[n].groups, game->groups);
    }

    // Level 0 becomes rows x cols: a search as deep as the board has points.
    struct Level {
        int rows, cols;
        const char *name;
        int level;
    };
    const Level levels[] = {{5, 5, "tiku2", 2}, {5, 5, "tiku", 25},  {5, 5, "tiku0", 25}, {5, 5, "tikuA", 25},
                            {5, 5, "tiku12", 12}, {3, 4, "tiku", 12}, {5, 5, "tiku-1", -1}};
    for (const Level &c : levels) {
        GamePtr other(game_new(c.rows, c.cols));
        game_add_player(other.get(), c.name, 0, STONE_WHITE);
        EXPECT_EQ(other->players[0].level, c.level) << c.name;
    }
}

TEST(Game, MoveRecordsEveryStone) {
    GamePtr game(game_new(5, 5));
    EXPECT_EQ(game_move(game.get(), 1, 3, STONE_BLACK), 1);
    EXPECT_EQ(game->board->cells[1 * 5 + 3], STONE_BLACK);
    for (const Placed &m : {Placed{1, 1, 3}, Placed{1, 5, 0}, Placed{1, 0, 5}, Placed{1, -1, 2}})
        EXPECT_EQ(capture_stderr([&] { EXPECT_EQ(game_move(game.get(), m.i, m.j, m.stone), 0); }), "");
    EXPECT_EQ(game->board->cells[1 * 5 + 3], STONE_BLACK);
    EXPECT_EQ(game_move(game.get(), 4, 0, STONE_WHITE), 1);
    const MOVES &history = game->groups->moves;
    ASSERT_EQ(history.moves_num, 2);
    EXPECT_EQ((std::vector<int>{history.moves[0].i, history.moves[0].j, history.moves[0].value}),
              (std::vector<int>{1, 3, STONE_BLACK}));
    EXPECT_EQ((std::vector<int>{history.moves[1].i, history.moves[1].j, history.moves[1].value}),
              (std::vector<int>{4, 0, STONE_WHITE}));
}

TEST(Game, CheckEndNamesTheWinnerAndMarksTheLoser) {
    struct Case {
        std::vector<Placed> moves;
        int winner;
        const char *after;
    };
    const Case cases[] = {
        {{{2, 0, 0}, {1, 0, 1}}, 0, "X O . / . . . / . . ."},
        {{{2, 0, 0}, {1, 0, 1}, {2, 2, 2}, {1, 1, 0}}, 1, "# O . / O . . / . . X"},
        {{{1, 0, 0}, {2, 0, 1}, {1, 2, 2}, {2, 1, 0}}, 2, "@ X . / X . . / . . O"},
        {{{2, 0, 1}, {1, 2, 2}, {2, 1, 0}, {1, 0, 0}}, 2, "@ X . / X . . / . . O"}, // White's own last dame
    };
    for (const Case &c : cases) {
        GamePtr game = game_with(3, 3, c.moves);
        EXPECT_EQ(game_check_end(game.get()), c.winner) << c.after;
        EXPECT_EQ(board_picture(game->board), c.after);
    }
}

TEST(Game, BoardInAndOut) {
    GamePtr full = game_with(2, 2, {{2, 0, 0}, {1, 0, 1}, {1, 1, 0}, {2, 1, 1}});
    int i = -7, j = -7;
    EXPECT_EQ(game_random_point(full.get(), 0, &i, &j), 0);
    EXPECT_EQ(std::make_pair(i, j), std::make_pair(-7, -7));
    GamePtr one_left = game_with(2, 2, {{2, 0, 0}, {1, 1, 0}, {2, 1, 1}});
    EXPECT_EQ(game_random_point(one_left.get(), 0, &i, &j), 1);
    EXPECT_EQ(std::make_pair(i, j), std::make_pair(0, 1));

    GamePtr game = game_with(3, 4, {{1, 0, 3}, {2, 2, 0}, {1, 1, 2}});
    std::vector<int> out(12, -1);
    game_get_board(game.get(), out.data());
    EXPECT_EQ(out, (std::vector<int>{0, 0, 0, 1, 0, 0, 1, 0, 2, 0, 0, 0}));
    const std::vector<int> codes = {221, 0, 0, 1, 0, 2, 0, 0, 0, 0, 111, 2};
    game_set_board(game.get(), codes.data());
    game_get_board(game.get(), out.data());
    EXPECT_EQ(out, codes);
    game_set_point(game.get(), 2, 1, STONE_WHITE);
    EXPECT_EQ(game->board->cells[2 * 4 + 1], STONE_WHITE);
    EXPECT_EQ(game->groups->moves.moves_num, 3); // neither writes the history
    EXPECT_EQ(capture_stderr([&] { game_print(game.get()); }), capture_stderr([&] { board_print(game->board); }));
}

TEST(Game, ComputerMove) {
    // Black a5, White b5: the computer takes a4 and wins.
    GamePtr game = game_with(5, 5, {{2, 0, 0}, {1, 0, 1}});
    game_add_player(game.get(), "tiku2", 0, STONE_WHITE);
    std::srand(1);
    EXPECT_EQ(capture_stderr([&] { EXPECT_EQ(game_computer_move(game.get(), 0, STONE_WHITE), 1); }).find('\n'),
              std::string::npos);
    EXPECT_EQ(game->board->cells[1 * 5 + 0], STONE_WHITE);
    ASSERT_EQ(game->groups->moves.moves_num, 3);
    EXPECT_EQ(game->groups->moves.moves[2].value, STONE_WHITE);
    EXPECT_EQ(game_check_end(game.get()), 1);
    EXPECT_EQ(game->board->cells[0], BLACK_DEAD);

    // The stone placed is the one the caller passes, not the player's colour.
    GamePtr other = game_with(5, 5, {{1, 0, 0}, {2, 0, 1}});
    game_add_player(other.get(), "tiku1", 0, STONE_BLACK);
    capture_stderr([&] { EXPECT_EQ(game_computer_move(other.get(), 0, STONE_WHITE), 1); });
    EXPECT_EQ(other->board->cells[1 * 5 + 0], STONE_WHITE);

    // No move from a decided position or a full board: nothing placed, nothing recorded.
    GamePtr decided = game_with(5, 5, {{2, 0, 0}, {1, 0, 1}, {1, 1, 0}});
    GamePtr full = game_with(2, 2, {{2, 0, 0}, {1, 0, 1}, {1, 1, 0}, {2, 1, 1}});
    for (GAME *none : {decided.get(), full.get()}) {
        game_add_player(none, "tiku2", 0, STONE_WHITE);
        const std::string before = board_picture(none->board);
        const int recorded = none->groups->moves.moves_num;
        capture_stderr([&] { EXPECT_EQ(game_computer_move(none, 0, STONE_WHITE), 0); });
        EXPECT_EQ(board_picture(none->board), before);
        EXPECT_EQ(none->groups->moves.moves_num, recorded);
    }
}

TEST(Game, PlayAMatch) {
    // A match waits for a winner: if a search wrongly gave no move, neither player would ever move and
    // the loop would not end. Stop the process instead of hanging the test run.
    const Deadline deadline(60, "a match");
    for (unsigned seed = 1; seed <= 3; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        GamePtr game(game_new(3, 3));
        std::srand(seed); // game_new reseeds from the clock
        int winner = -1;
        std::string err;
        const std::string out = capture_stdout([&] {
            err = capture_stderr([&] { winner = game_play(game.get(), "tiku1", "tiku2", 1, 0); });
        });
        ASSERT_TRUE(winner == STONE_WHITE || winner == STONE_BLACK) << winner;
        EXPECT_EQ(out, winner == STONE_WHITE ? "--------------> WHITE win! \n" : "--------------> BLACK win! \n");
        ASSERT_EQ(game->players_num, 2);
        EXPECT_EQ(game->players[0].colour, STONE_WHITE);
        EXPECT_EQ(game->players[0].level, 1);
        EXPECT_EQ(game->players[1].colour, STONE_BLACK);
        EXPECT_EQ(game->players[1].level, 2);

        // Black moves first, then the colours alternate; every recorded stone is on the board.
        const MOVES &history = game->groups->moves;
        ASSERT_GE(history.moves_num, 1);
        for (int n = 0; n < history.moves_num; ++n) {
            const MOVE &m = history.moves[n];
            EXPECT_EQ(m.value, n % 2 == 0 ? STONE_BLACK : STONE_WHITE) << "move " << n;
            const int code = game->board->cells[m.i * 3 + m.j];
            EXPECT_TRUE(code == m.value || code == (m.value == STONE_WHITE ? WHITE_DEAD : BLACK_DEAD)) << code;
        }
        // Only the loser's stones are marked.
        const int *cells = game->board->cells;
        EXPECT_GT(std::count(cells, cells + 9, winner == STONE_WHITE ? BLACK_DEAD : WHITE_DEAD), 0);
        EXPECT_EQ(std::count(cells, cells + 9, winner == STONE_WHITE ? WHITE_DEAD : BLACK_DEAD), 0);

        // One printout of 5 lines per move, the last one showing the marked board.
        const std::string printouts = without_escapes(err);
        EXPECT_EQ(std::count(printouts.begin(), printouts.end(), '\n'), 5 * history.moves_num);
        const std::string last = capture_stderr([&] { board_print(game->board); });
        ASSERT_GE(printouts.size(), last.size());
        EXPECT_EQ(printouts.substr(printouts.size() - last.size()), last);
    }
    GamePtr quiet(game_new(3, 3));
    std::string err;
    const std::string out = capture_stdout([&] { err = capture_stderr([&] { game_play(quiet.get(), "tiku1", "tiku1", 0, 0); }); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(without_escapes(err), "");
}

// A board set without moves that leaves neither side a move: full, or with a group already without dame
// (the end test of the moves does not see it). The match ends without a winner, the board as it was.
TEST(Game, PlayEndsWhenNeitherSideCanMove) {
    const Deadline deadline(60, "a match without moves"); // the fault this guards against is a loop that never ends
    const struct {
        const char *name;
        int codes[4];
    } cases[] = {
        {"full", {STONE_BLACK, STONE_WHITE, STONE_WHITE, STONE_BLACK}},
        {"a group without dame", {STONE_BLACK, STONE_WHITE, STONE_WHITE, STONE_NONE}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        GamePtr game(game_new(2, 2));
        game_set_board(game.get(), c.codes);
        int winner = -1;
        const std::string out = capture_stdout([&] {
            capture_stderr([&] { winner = game_play(game.get(), "tiku2", "tiku2", 1, 0); });
        });
        EXPECT_EQ(winner, 0);
        EXPECT_EQ(out, "--------------> no move for either side, no winner! \n");
        EXPECT_TRUE(std::equal(c.codes, c.codes + 4, game->board->cells));
        EXPECT_EQ(game->groups->moves.moves_num, 0);
    }
}

TEST(GameDeathTest, PlayerLimitStops) {
    GamePtr game(game_new(5, 5));
    for (int n = 0; n < 20; ++n) EXPECT_EQ(game_add_player(game.get(), "tiku1", 0, STONE_WHITE), n);
    EXPECT_EXIT(game_add_player(game.get(), "tiku1", 0, STONE_WHITE), ::testing::ExitedWithCode(1),
                exact_text("ERROR: game_add_player \n"));
    GamePtr fresh(game_new(5, 5));
    EXPECT_EXIT(game_add_player(fresh.get(), nullptr, 0, STONE_WHITE), ::testing::ExitedWithCode(1),
                exact_text("ERROR: game_add_player \n"));
}

} // namespace
