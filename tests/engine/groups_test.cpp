// Groups, their dame, and the end test.
#include "engine/groups.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/test_board.h"

namespace {

using GroupsPtr = Owned<GROUPS, groups_free>;
using Point = std::pair<int, int>;

std::vector<Point> points(const int *is, const int *js, int n) {
    std::vector<Point> out;
    for (int k = 0; k < n; ++k) out.push_back({is[k], js[k]});
    return out;
}

struct ExpectedGroup {
    int colour, stones, dame;
    std::vector<Point> stone_order{}, dame_order{}; // checked when given
};

TEST(Groups, Analysis) {
    struct Case {
        const char *picture;
        std::vector<ExpectedGroup> groups;
        int white_min, black_min;
    };
    const Case cases[] = {
        {". . . / . . . / . . .", {}, -1, -1},
        // A corner, a centre and an edge stone.
        {"O . . . . / . . . . . / . . X . . / . . . . . / . . O . .", {{1, 1, 2}, {2, 1, 4}, {1, 1, 3}}, 2, 4},
        // The fill goes left, right, down, up; dame are kept in the order first reached.
        {"O O . . . / O . . . . / . . . . .", {{1, 3, 3, {{0, 0}, {0, 1}, {1, 0}}, {{0, 2}, {1, 1}, {2, 0}}}}, 3, -1},
        // b3 touches two stones of the group and counts once.
        {". . . . . / . X X . . / . X . . . / . . . . .", {{2, 3, 7}}, -1, 7},
        // c4 lies between a White and a Black stone and counts for each.
        {". . . . . / . O . X . / . . . . .", {{1, 1, 4}, {2, 1, 4}}, 4, 4},
        // A bent chain that the scan meets in its middle is collected whole.
        {". . X X . / X X X . . / X . . . .",
         {{2, 6, 6, {{0, 2}, {0, 3}, {1, 2}, {1, 1}, {1, 0}, {2, 0}}, {{0, 1}, {0, 4}, {1, 3}, {2, 1}, {0, 0}, {2, 2}}}},
         -1, 6},
        // A U met at the top of its left arm; a White stone stops the fill and is no dame.
        {"X . X . . / X . X . . / X X X O . / . . . . .", {{2, 7, 7}, {1, 1, 3}}, 3, 7},
        // Dead codes are stones of their own code, neither White nor Black.
        {"O @ . . / # # X .", {{1, 1, 0}, {WHITE_DEAD, 1, 1}, {BLACK_DEAD, 2, 0}, {2, 1, 2}}, 0, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.picture);
        BoardPtr board = board_from_picture(c.picture);
        GroupsPtr groups(groups_create(board->rows, board->cols, board.get()));
        groups_find(groups.get(), nullptr);
        ASSERT_EQ(groups->groups_num, static_cast<int>(c.groups.size()));
        for (size_t g = 0; g < c.groups.size(); ++g) {
            const GROUP &got = groups->groups[g];
            const ExpectedGroup &want = c.groups[g];
            EXPECT_EQ(got.colour, want.colour) << "group " << g;
            EXPECT_EQ(got.stones, want.stones) << "group " << g;
            EXPECT_EQ(got.dame, want.dame) << "group " << g;
            if (!want.stone_order.empty()) {
                EXPECT_EQ(points(got.stone_i, got.stone_j, got.stones), want.stone_order);
                EXPECT_EQ(points(got.dame_i, got.dame_j, got.dame), want.dame_order);
            }
        }
        EXPECT_EQ(groups_dame_min(groups.get(), STONE_WHITE), c.white_min);
        EXPECT_EQ(groups_dame_min(groups.get(), STONE_BLACK), c.black_min);
        for (int i = 0; i < board->rows; ++i)
            for (int j = 0; j < board->cols; ++j)
                EXPECT_EQ(groups->marks[i][j], board->cells[i * board->cols + j]) << i << "," << j;
    }
}

// Codes whose low bits read as empty, White or Black are stones of their own code (the game's board is
// read as a whole, its codes narrowed to bytes), up to the last point.
TEST(Groups, StrayCodesAreNeitherEmptyNorAColourOfPlay) {
    BoardPtr board(board_new(5, 5));
    for (int k = 0; k < 25; ++k) board->cells[k] = 257;
    board->cells[0] = STONE_WHITE;
    board->cells[12] = STONE_NONE;
    board->cells[6] = 65536;
    board->cells[18] = -256;
    board->cells[23] = 65538;
    board->cells[24] = STONE_BLACK;
    GroupsPtr groups(groups_create(5, 5, board.get()));
    groups_find(groups.get(), nullptr);
    // The empty centre parts the stray stones into two groups, each with it as its one dame.
    const ExpectedGroup want[] = {{STONE_WHITE, 1, 0}, {257, 10, 1},  {257, 9, 1},         {65536, 1, 0},
                                  {-256, 1, 0},        {65538, 1, 0}, {STONE_BLACK, 1, 0}};
    ASSERT_EQ(groups->groups_num, 7);
    for (int g = 0; g < 7; ++g) {
        EXPECT_EQ(groups->groups[g].colour, want[g].colour) << "group " << g;
        EXPECT_EQ(groups->groups[g].stones, want[g].stones) << "group " << g;
        EXPECT_EQ(groups->groups[g].dame, want[g].dame) << "group " << g;
    }
    EXPECT_EQ(groups->marks[4][4], STONE_BLACK);
    EXPECT_EQ(groups->marks[2][2], STONE_NONE);
}

// The fill on its own, started from either end of a chain.
TEST(Groups, FillFromAnyStone) {
    BoardPtr board = board_from_picture(". . X X . / X X X . . / X . O . .");
    struct Case {
        int i, j;
        std::vector<Point> stones, dame;
    };
    const Case cases[] = {
        {0, 2, {{0, 2}, {0, 3}, {1, 2}, {1, 1}, {1, 0}, {2, 0}}, {{0, 1}, {0, 4}, {1, 3}, {2, 1}, {0, 0}}},
        {2, 0, {{2, 0}, {1, 0}, {1, 1}, {1, 2}, {0, 2}, {0, 3}}, {{2, 1}, {1, 3}, {0, 1}, {0, 4}, {0, 0}}},
    };
    for (const Case &c : cases) {
        GroupsPtr groups(groups_create(3, 5, board.get()));
        for (auto &row : groups->marks)
            for (int &mark : row) mark = 0;
        GROUP group{};
        group.colour = STONE_BLACK;
        group_fill(groups.get(), &group, c.i, c.j);
        EXPECT_EQ(points(group.stone_i, group.stone_j, group.stones), c.stones);
        EXPECT_EQ(points(group.dame_i, group.dame_j, group.dame), c.dame);
        EXPECT_EQ(groups->marks[1][1], STONE_BLACK);
        EXPECT_EQ(groups->marks[2][2], 0);
    }
    GROUP group{};
    for (const Point &p : {Point(1, 2), Point(0, 0), Point(1, 2)}) group_add_dame(&group, p.first, p.second);
    EXPECT_EQ(points(group.dame_i, group.dame_j, group.dame), (std::vector<Point>{{1, 2}, {0, 0}}));
}

TEST(Groups, FindDeadAndRepointing) {
    BoardPtr board = board_from_picture(". O X O . / O X O . . / . O . . .");
    GroupsPtr groups(groups_create(3, 5, board.get()));
    groups_find(groups.get(), nullptr);
    EXPECT_EQ(groups_find_dead(groups.get(), STONE_BLACK), &groups->groups[1]);
    EXPECT_EQ(groups_find_dead(groups.get(), STONE_WHITE), nullptr);

    BoardPtr full(board_new(7, 7)); // the largest board: 49 groups of one stone
    for (int k = 0; k < 49; ++k) full->cells[k] = (k / 7 + k % 7) % 2 ? STONE_WHITE : STONE_BLACK;
    groups_find(groups.get(), full.get());
    EXPECT_EQ(groups->board, full.get());
    EXPECT_EQ(groups->groups_num, 49);
    EXPECT_EQ(groups_find_dead(groups.get(), STONE_BLACK), &groups->groups[0]);
}

TEST(EndTest, DecisionAndMarking) {
    struct Played {
        int stone, i, j;
    };
    struct Case {
        const char *name;
        const char *before;
        std::vector<Played> history;
        int mark, white_lost, black_lost;
        const char *after;
    };
    const Case cases[] = {
        {"no move yet", "X O . / O . . / . . .", {}, 1, 0, 0, "X O . / O . . / . . ."},
        {"game goes on", "X O . / . . . / . . X", {{2, 0, 0}, {1, 0, 1}, {2, 2, 2}}, 1, 0, 0, "X O . / . . . / . . X"},
        {"White captures", "X O . / O . . / . . X", {{2, 2, 2}, {1, 1, 0}}, 1, 0, 1, "# O . / O . . / . . X"},
        {"mark 0 leaves the board", "X O . / O . . / . . X", {{2, 2, 2}, {1, 1, 0}}, 0, 0, 1, "X O . / O . . / . . X"},
        {"White fills its own last dame and captures two groups",
         "O X O . / X O . . / O . . X", {{2, 2, 3}, {1, 0, 0}}, 1, 0, 1, "O # O . / # O . . / O . . X"},
        {"Black fills its own last dame and captures two groups",
         "X O X . / O X . . / X . . O", {{1, 2, 3}, {2, 1, 1}}, 1, 1, 0, "X @ X . / @ X . . / X . . O"},
        {"White fills its own last dame", "O X . / X . . / . . O", {{2, 1, 0}, {1, 0, 0}}, 1, 1, 0, "@ X . / X . . / . . O"},
        {"Black fills its own last dame", ". . O / . O X / . . O", {{2, 1, 2}}, 1, 0, 1, ". . O / . O # / . . O"},
    };
    for (const Case &c : cases) {
        BoardPtr board = board_from_picture(c.before);
        GroupsPtr groups(groups_create(3, board->cols, board.get()));
        for (const Played &p : c.history) EXPECT_EQ(groups_add_move(groups.get(), p.stone, p.i, p.j), 1);
        int white_lost = -1, black_lost = -1;
        groups_check_end(groups.get(), c.mark, &white_lost, &black_lost);
        EXPECT_EQ(white_lost, c.white_lost) << c.name;
        EXPECT_EQ(black_lost, c.black_lost) << c.name;
        EXPECT_EQ(board_picture(board.get()), board_picture(board_from_picture(c.after).get())) << c.name;
    }
}

TEST(GroupsDeathTest, LimitsStop) {
    BoardPtr board(board_new(5, 5));
    GroupsPtr groups(groups_create(5, 5, board.get()));
    for (int n = 0; n < 100; ++n) groups_add_move(groups.get(), STONE_BLACK, n % 5, n / 20);
    EXPECT_EXIT(groups_add_move(groups.get(), STONE_WHITE, 0, 0), ::testing::ExitedWithCode(1),
                exact_text("ERROR: groups_add_move \n"));
    BoardPtr tall(board_new(8, 7)), wide(board_new(7, 8));
    EXPECT_EXIT(groups_create(8, 7, tall.get()), ::testing::ExitedWithCode(1), exact_text("ERROR: groups_create \n"));
    EXPECT_EXIT(groups_create(7, 8, wide.get()), ::testing::ExitedWithCode(1), exact_text("ERROR: groups_create \n"));
    EXPECT_EXIT(groups_find(groups.get(), wide.get()), ::testing::ExitedWithCode(1), exact_text("ERROR: groups_find \n"));
}

} // namespace
