// Stone codes, the board grid, the notation, random empty points, move lists and positions.
#include "model/board.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "tests/test_board.h"

namespace {

using Point = std::pair<int, int>;

TEST(Board, NewSetClearCopy) {
    BoardPtr board(board_new(5, 5));
    ASSERT_EQ(board->rows, 5);
    ASSERT_EQ(board->cols, 5);
    for (int i = 0; i < 5; ++i)
        for (int j = 0; j < 5; ++j) EXPECT_EQ(board_is_empty(board.get(), i, j), 1);
    for (const Point &p : {Point(-1, 0), Point(0, -1), Point(5, 0), Point(0, 5)})
        EXPECT_EQ(board_is_empty(board.get(), p.first, p.second), 0);

    EXPECT_EQ(capture_stderr([&] { board_set_move(board.get(), STONE_BLACK, 1, 3); }), "");
    EXPECT_EQ(board->cells[1 * 5 + 3], STONE_BLACK);
    EXPECT_EQ(capture_stderr([&] { board_set_move(board.get(), STONE_WHITE, 1, 3); }),
              "board_set_move: 1 3 stone_old=2 \n");
    EXPECT_EQ(board->cells[1 * 5 + 3], STONE_WHITE);

    BoardPtr copy(board_copy(board.get()));
    board_clear_point(board.get(), 1, 3);
    EXPECT_EQ(board_is_empty(board.get(), 1, 3), 1);
    EXPECT_EQ(copy->cells[1 * 5 + 3], STONE_WHITE);
}

TEST(Notation, NamesAndParsing) {
    struct Name {
        int rows, cols, i, j;
        const char *name;
    };
    const Name names[] = {{5, 5, 0, 0, "a5"},    {5, 5, 4, 4, "e1"},    {5, 5, 2, 2, "c3"},    {19, 19, 0, 7, "h19"},
                          {19, 19, 0, 8, "j19"}, {19, 19, 18, 18, "t1"}, {3, 7, 1, 6, "g2"},
                          {5, 5, 6, 0, "a-1"}}; // no check on the row
    for (const Name &c : names) {
        BoardPtr board(board_new(c.rows, c.cols));
        EXPECT_STREQ(board_point_name(board.get(), c.i, c.j), c.name);
    }

    struct Parse {
        int size;
        std::string text;
        int i, j;
    };
    const Parse parses[] = {
        {5, "c3", 2, 2},  {5, "C3", 2, 2}, {5, "e1", 4, 4},  {5, "i3", 2, 5}, // no column i: j is cols
        {5, "f3", 2, 5},  {5, "b", 5, 1},  {5, "b 4", 1, 1}, {5, "b-1", 6, 1}, {5, "d2x", 3, 3},
        {5, "", 5, 5},    {19, "t19", 0, 18}, {19, "J1", 18, 8}, {19, "i1", 18, 19},
        {5, "a2" + std::string(60, ' '), 3, 0}, // a long row part is never read past
    };
    for (const Parse &c : parses) {
        BoardPtr board(board_new(c.size, c.size));
        int i = -99, j = -99;
        board_parse_point(board.get(), c.text.c_str(), &i, &j);
        EXPECT_EQ(Point(i, j), Point(c.i, c.j)) << '"' << c.text << '"';
    }

    const std::pair<char, int> stones[] = {{'O', 1}, {'X', 2}, {'@', 111}, {'#', 221}, {'.', 0}, {'o', 0}, {'x', 0}, {'2', 0}};
    for (const auto &c : stones) EXPECT_EQ(stone_from_char(c.first), c.second) << c.first;
}

// k = rand() mod n + 1: the k-th empty point in row-major order, so replaying the generator tells which.
TEST(RandomEmpty, PicksTheKthEmptyPoint) {
    BoardPtr board = board_from_picture(". X . / O . .");
    const Point empties[] = {{0, 0}, {0, 2}, {1, 1}, {1, 2}};
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::srand(seed);
        const int r = std::rand();
        std::srand(seed);
        int i = -1, j = -1;
        ASSERT_EQ(board_random_empty(board.get(), &i, &j), 1);
        EXPECT_EQ(Point(i, j), empties[r % 4]) << "seed " << seed;
    }
}

TEST(RandomEmpty, RectangleAndFullBoard) {
    BoardPtr board = board_from_picture(". . . . . / . . X . . / . . . . . / . . . . .");
    std::set<Point> seen;
    int i = -7, j = -7;
    for (int n = 0; n < 300; ++n) {
        ASSERT_EQ(board_random_empty_in(board.get(), 1, 2, 2, 3, &i, &j), 1);
        seen.insert({i, j});
    }
    EXPECT_EQ(seen, (std::set<Point>{{1, 3}, {2, 2}, {2, 3}}));
    i = j = -7;
    EXPECT_EQ(board_random_empty_in(board.get(), 1, 2, 1, 2, &i, &j), 0);
    BoardPtr full = board_from_picture("X O / O X");
    EXPECT_EQ(board_random_empty(full.get(), &i, &j), 0);
    EXPECT_EQ(Point(i, j), Point(-7, -7));
}

std::vector<Point> points_of(MOVES *mvs) {
    std::vector<Point> points;
    for (int n = 0; n < moves_count(mvs); ++n) points.push_back({moves_get(mvs, n)->i, moves_get(mvs, n)->j});
    return points;
}

TEST(MovesDeathTest, AddDeleteClear) {
    Owned<MOVES, moves_free> mvs(moves_new());
    EXPECT_EQ(moves_count(mvs.get()), 0);
    for (const Point &p : {Point(0, 1), Point(2, 3), Point(4, 0)}) moves_add(mvs.get(), p.first, p.second);
    moves_del(mvs.get(), 0);
    EXPECT_EQ(points_of(mvs.get()), (std::vector<Point>{{2, 3}, {4, 0}}));
    moves_del(mvs.get(), 1);
    EXPECT_EQ(points_of(mvs.get()), (std::vector<Point>{{2, 3}}));
    moves_clear(mvs.get());
    EXPECT_EQ(moves_count(mvs.get()), 0);
    for (int n = 0; n < 100; ++n) moves_add(mvs.get(), n / 10, n % 10);
    EXPECT_EQ(points_of(mvs.get()).back(), Point(9, 9));

    EXPECT_EXIT(moves_add(mvs.get(), 1, 1), ::testing::ExitedWithCode(1), exact_text("ERROR: moves_add \n"));
    EXPECT_EXIT(moves_del(mvs.get(), 100), ::testing::ExitedWithCode(1),
                exact_text("ERROR: n_del >= mvs->moves_num \n"));

    Owned<MOVE, move_free> move(move_new(3, 4));
    EXPECT_EQ(Point(move->i, move->j), Point(3, 4));
}

TEST(PositionDeathTest, NewAndCopy) {
    using PositionPtr = Owned<POSITION, position_free>;
    PositionPtr source(position_new(STONE_BLACK, 3, 4));
    EXPECT_EQ(board_picture(source->board), ". . . . / . . . . / . . . .");
    BoardPtr picture = board_from_picture(". X . O / # . . . / . . @ X");
    std::copy(picture->cells, picture->cells + 12, source->board->cells);

    PositionPtr copy(position_copy(nullptr, source.get()));
    ASSERT_NE(copy->board, source->board);
    EXPECT_EQ(copy->colour, STONE_BLACK);
    EXPECT_EQ(board_picture(copy->board), board_picture(picture.get()));
    copy->board->cells[0] = STONE_WHITE;
    EXPECT_EQ(source->board->cells[0], STONE_NONE);

    // A larger target takes the source's size, codes and colour; a smaller one has no room.
    PositionPtr target(position_new(STONE_WHITE, 5, 5));
    EXPECT_EQ(position_copy(target.get(), source.get()), target.get());
    EXPECT_EQ(target->colour, STONE_BLACK);
    EXPECT_EQ(board_picture(target->board), board_picture(picture.get()));
    // It keeps the room it was made with: a 4 x 4 copy fits into the 5 x 5 board now sized 3 x 4.
    PositionPtr square(position_new(STONE_WHITE, 4, 4));
    square->board->cells[15] = STONE_BLACK;
    EXPECT_EQ(position_copy(target.get(), square.get()), target.get());
    EXPECT_EQ(board_picture(target->board), board_picture(square->board));
    PositionPtr small(position_new(STONE_WHITE, 2, 2));
    EXPECT_EXIT(position_copy(small.get(), source.get()), ::testing::ExitedWithCode(1),
                exact_text("ERROR: position_copy \n"));
}

} // namespace
