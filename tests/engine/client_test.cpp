// The computer player: level from its name, its five search operations, the evaluation and its choice
// of move in positions written as pictures.
#include "engine/client.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "model/print.h"
#include "tests/test_board.h"

namespace {

using Point = std::pair<int, int>;

// A player over a board of its own; what the player owns goes with it.
struct TestPlayer {
    BoardPtr board;
    PLAYER player{};
    TestPlayer(const char *picture, const char *name, short colour) : board(board_from_picture(picture)) {
        player_init(&player, name, colour, board.get());
    }
    ~TestPlayer() { player_release(&player); }
    TestPlayer(const TestPlayer &) = delete;
    TestPlayer &operator=(const TestPlayer &) = delete;
};

const char *const EMPTY = ". . . . . / . . . . . / . . . . . / . . . . . / . . . . .";
const char *const BLACK_CAPTURED = "X O . / O . . / . . X";     // Black's a3 has no dame
const char *const WHITE_CAPTURED = "O X . / X . . / . . .";     // White's a3 has no dame
const char *const BOTH_CAPTURED = "O X O / X O . / O . .";      // White's a3 and both Black stones

TEST(NameLevel, DigitsAfterThePrefix) {
    // A name shorter than the prefix, with a digit lying beyond its end that must not be read.
    const char shorter[] = {'t', 'i', 'k', '\0', '9', '\0'};
    const std::pair<const char *, int> cases[] = {
        {"tiku2", 2},  {"tiku12", 12}, {"tiku", 0},   {"tiku0", 0}, {"tikuA", 0},  {"abcd3", 3},
        {"tiku-1", -1}, {"tiku 7", 7}, {"tiku5x", 5}, {shorter, 0}, {"", 0},       {"ti9", 0},
    };
    for (const auto &c : cases) EXPECT_EQ(name_level(c.first, "tiku"), c.second) << '"' << c.first << '"';
}

TEST(Player, InitFillsTheRecord) {
    TestPlayer t(EMPTY, "tiku3", STONE_WHITE);
    const PLAYER &p = t.player;
    EXPECT_EQ(p.colour, STONE_WHITE);
    EXPECT_STREQ(p.name, "tiku3");
    EXPECT_EQ(p.level, 3);
    EXPECT_EQ(p.board, t.board.get());
    ASSERT_NE(p.mm, nullptr);
    EXPECT_EQ(p.mm->numlev, -1);
    EXPECT_EQ(p.mm->gen_moves, &gen_empty_moves);
    EXPECT_EQ(p.mm->evaluate, &eval_dame_margin);
    EXPECT_EQ(p.mm->make_move, &make_move);
    EXPECT_EQ(p.mm->move_text, &move_text);
    EXPECT_EQ(p.mm->after_move, &after_move);
    ASSERT_NE(p.groups, nullptr);
    EXPECT_EQ(p.groups->board, t.board.get());

    const std::string long_name = "tiku" + std::string(200, '7');
    TestPlayer cut(EMPTY, long_name.c_str(), STONE_BLACK);
    EXPECT_EQ(std::strlen(cut.player.name), 153u);
    TestPlayer bare(EMPTY, "tiku", STONE_BLACK);
    EXPECT_EQ(bare.player.level, 0);
}

TEST(Player, MovesPositionsAndTexts) {
    TestPlayer t("X . O / . . X", "tiku1", STONE_WHITE);
    POSITION root{t.board.get(), STONE_WHITE};
    void *moves[MM_MAX_MOVES] = {};
    ASSERT_EQ(gen_empty_moves(&t.player, &root, moves), 3);
    std::vector<Point> points;
    for (int k = 0; k < 3; ++k) points.push_back({static_cast<MOVE *>(moves[k])->i, static_cast<MOVE *>(moves[k])->j});
    EXPECT_EQ(points, (std::vector<Point>{{0, 1}, {1, 0}, {1, 1}}));

    MOVE move{1, 1, 0}, next{0, 1, 0};
    auto *child = static_cast<POSITION *>(make_move(&t.player, &root, &move));
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->colour, STONE_BLACK);
    EXPECT_EQ(board_picture(child->board), "X . O / . O X");
    EXPECT_EQ(board_picture(t.board.get()), "X . O / . . X");
    auto *grandchild = static_cast<POSITION *>(make_move(&t.player, child, &next));
    ASSERT_NE(grandchild, nullptr);
    EXPECT_EQ(grandchild->colour, STONE_WHITE);
    EXPECT_EQ(board_picture(grandchild->board), "X X O / . O X");
    for (MOVE m : {MOVE{0, 0, 0}, MOVE{-1, 0, 0}, MOVE{0, 3, 0}, MOVE{2, 0, 0}, MOVE{0, -1, 0}})
        EXPECT_EQ(make_move(&t.player, &root, &m), nullptr) << m.i << "," << m.j;

    EXPECT_STREQ(move_text(nullptr, &t.player), "");
    const char *text = move_text(&move, &t.player);
    EXPECT_STREQ(text, "b1");
    board_point_name(t.board.get(), 0, 0); // the notation's own buffer is not the text's
    EXPECT_STREQ(text, "b1");

    const std::string printed = capture_stderr([&] { board_print(child->board); });
    int result = -1;
    EXPECT_EQ(capture_stderr([&] { result = after_move(&t.player, child); }), printed);
    EXPECT_EQ(result, 0);
}

TEST(PlayerDeathTest, MissingRecordsStop) {
    TestPlayer t(EMPTY, "tiku2", STONE_WHITE);
    EXPECT_EXIT(after_move(&t.player, nullptr), ::testing::ExitedWithCode(1), exact_text("Error: board == NULL\n"));
    PLAYER boardless = t.player;
    boardless.board = nullptr;
    MOVE move{0, 0, 0};
    EXPECT_EXIT(move_text(&move, &boardless), ::testing::ExitedWithCode(1), exact_text("MyError: board\n"));
    EXPECT_DEATH(make_move(&t.player, nullptr, &move), "old != NULL");
}

TEST(Evaluation, FromThePlayersSide) {
    struct Case {
        const char *name;
        const char *picture;
        short player;
        int to_move, value;
    };
    const char *corner_and_centre = "O . . . . / . . . . . / . . X . . / . . . . . / . . . . .";
    const Case cases[] = {
        {"I captured", BLACK_CAPTURED, STONE_WHITE, STONE_BLACK, 100},
        {"I filled my own last dame", WHITE_CAPTURED, STONE_WHITE, STONE_BLACK, -101},
        {"my capture beats my own lost stone", BOTH_CAPTURED, STONE_WHITE, STONE_BLACK, 100},
        {"I was captured", WHITE_CAPTURED, STONE_WHITE, STONE_WHITE, -100},
        {"the opponent filled its own last dame", BLACK_CAPTURED, STONE_WHITE, STONE_WHITE, 101},
        {"the opponent's capture beats its own lost stones", BOTH_CAPTURED, STONE_WHITE, STONE_WHITE, -100},
        {"margin: my corner 2 against a centre 4", corner_and_centre, STONE_WHITE, STONE_BLACK, -2},
        {"the same after the opponent's move", corner_and_centre, STONE_WHITE, STONE_WHITE, -2},
        {"no opponent group counts as -1", ". . . / . O . / . . .", STONE_WHITE, STONE_WHITE, 5},
        {"Black's view of its captured stone", BLACK_CAPTURED, STONE_BLACK, STONE_BLACK, -100},
        {"Black's view of its capture", WHITE_CAPTURED, STONE_BLACK, STONE_WHITE, 100},
        {"no side to move: plain margin", WHITE_CAPTURED, STONE_WHITE, STONE_NONE, -2},
    };
    for (const Case &c : cases) {
        TestPlayer t(c.picture, "tiku2", c.player);
        POSITION position{t.board.get(), c.to_move};
        EXPECT_EQ(eval_dame_margin(&t.player, &position), c.value) << c.name;
    }
}

TEST(BestMove, ChoosesAsTheSearchValuesIt) {
    struct Case {
        const char *name;
        const char *picture;
        const char *player;
        short colour;
        std::set<Point> allowed; // empty: no move
    };
    const Case cases[] = {
        {"Black a5, White b5: a4 takes the last dame at once, though c5, d5, e5 come first",
         "X O . . . / . . . . . / . . . . . / . . . . . / . . . . .", "tiku2", STONE_WHITE, {{1, 0}}},
        {"level 1 captures at once", ". . . . . / . . . . . / . . . . . / . . . . . / . . . O X", "tiku1",
         STONE_WHITE, {{3, 4}}},
        {"so does Black", "O X . . . / . . . . . / . . . . . / . . . . . / . . . . .", "tiku2", STONE_BLACK, {{1, 0}}},
        // e5 has one dame left. Level 1 likes c5 and d4 as much as e4, but after them Black captures e5.
        {"level 2 avoids a move the user answers with a capture",
         "X . . X O\n"
         "X X . . .\n"
         ". O . . .\n"
         ". . . . .\n"
         ". O . . .",
         "tiku2", STONE_WHITE, {{1, 4}}},
        // c5 fills White's own last dame; a4 and d2 each let Black capture, which still counts better.
        {"never fills its own last dame while another move exists",
         "X X . X X\n"
         ". X X X X\n"
         "O O X O X\n"
         "O O O . X\n"
         "O O O O X",
         "tiku2", STONE_WHITE, {{1, 0}, {3, 3}}},
        {"unless every move does", ". X .", "tiku1", STONE_WHITE, {{0, 0}, {0, 2}}},
        {"full board", "X O X / O X O", "tiku2", STONE_WHITE, {}},
        {"decided position", BLACK_CAPTURED, "tiku2", STONE_WHITE, {}},
        {"level 0", EMPTY, "tiku", STONE_WHITE, {}},
    };
    for (const Case &c : cases) {
        TestPlayer t(c.picture, c.player, c.colour);
        const std::string before = board_picture(t.board.get());
        for (unsigned seed = 1; seed <= 8; ++seed) {
            std::srand(seed);
            int i = -9, j = -9;
            const std::string err = capture_stderr([&] { player_best_move(&t.player, &i, &j); });
            EXPECT_EQ(without_escapes(err), "") << c.name; // at trace level 0 only the escapes show
            if (c.allowed.empty())
                EXPECT_EQ(Point(i, j), Point(-9, -9)) << c.name;
            else
                EXPECT_EQ(c.allowed.count({i, j}), 1u) << c.name << ": seed " << seed << " chose " << i << "," << j;
            EXPECT_EQ(t.player.mm->numlev, -1);
            EXPECT_EQ(board_picture(t.board.get()), before) << c.name;
        }
    }
}

TEST(BestMove, EqualMovesVaryFromGameToGame) {
    // On the empty board at level 1 each of the nine inner points is worth 4 dame against none.
    TestPlayer t(EMPTY, "tiku1", STONE_WHITE);
    std::set<Point> chosen;
    for (unsigned seed = 1; seed <= 40; ++seed) {
        std::srand(seed);
        int i = -9, j = -9;
        capture_stderr([&] { player_best_move(&t.player, &i, &j); });
        EXPECT_TRUE(i >= 1 && i <= 3 && j >= 1 && j <= 3) << i << "," << j;
        chosen.insert({i, j});
    }
    EXPECT_GE(chosen.size(), 4u);
}

} // namespace
