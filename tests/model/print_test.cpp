// The character canvas, the board printout through the trace, and the point and group printers.
#include "model/print.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/groups.h"
#include "support/common.h"
#include "tests/test_board.h"

namespace {

using WinPtr = Owned<WIN, win_free>;
using GroupsPtr = Owned<GROUPS, groups_free>;

// The printout as the trace writes it outside any block: each canvas line, a blank and a newline.
std::string traced(std::initializer_list<const char *> lines, bool labelled) {
    std::string text;
    for (const char *line : lines) text += std::string(line) + " \n";
    return labelled ? text + "\n" : text;
}

std::string canvas_lines(const WIN *win) {
    std::string text;
    for (int y = 0; y < win->h; ++y) text += std::string(win->lines[y]) + "\n";
    return text;
}

TEST(BoardPrint, WholePrintouts) {
    struct Case {
        const char *picture;
        std::string expected;
    };
    const Case cases[] = {
        {". . . . . / . . . . . / . . . . . / . . . . . / . . . . .",
         traced({"+ --------- +  ", "| . . . . . | 5", "| . . . . . | 4", "| . . . . . | 3", "| . . . . . | 2",
                 "| . . . . . | 1", "+ --------- +  ", "  a b c d e    "},
                true)},
        {"X O o x . / @ # . . . / . . . . . / . . . . . / . . . . X",
         traced({"+ --------- +  ", "| X O o x . | 5", "| @ # . . . | 4", "| . . . . . | 3", "| . . . . . | 2",
                 "| . . . . X | 1", "+ --------- +  ", "  a b c d e    "},
                true)},
        {". . . . / . X . . / . . O . / . . . .",
         traced({"  - - - -  ", "| . . . . |", "| . X . . |", "| . . O . |", "| . . . . |", "  - - - -  "}, false)},
        {". . . . / . . . . / . . . . / . . . . / . . . O",
         traced({"  - - - -  ", "| . . . . |", "| . . . . |", "| . . . . |", "| . . . . |", "| . . . O |",
                 "  - - - -  "},
                false)},
        {"X . . . . / . . . . . / . . . . . / . . . . .",
         traced({"  - - - - -  ", "| X . . . . |", "| . . . . . |", "| . . . . . |", "| . . . . . |",
                 "  - - - - -  "},
                false)},
    };
    ASSERT_EQ(YTraceDepth(), 0);
    for (const Case &c : cases) {
        BoardPtr board = board_from_picture(c.picture);
        EXPECT_EQ(capture_stderr([&] { board_print(board.get()); }), c.expected) << c.picture;
    }
    BoardPtr odd(board_new(5, 5)); // codes without a character of their own print as "."
    odd->cells[0] = CONTACT_DAME;
    odd->cells[1] = 222;
    EXPECT_EQ(capture_stderr([&] { board_print(odd.get()); }), capture_stderr([] {
                  BoardPtr empty(board_new(5, 5));
                  board_print(empty.get());
              }));
}

TEST(BoardPrint, FollowsTheTrace) {
    BoardPtr board(board_new(5, 5));
    auto in_block = [&] {
        YBeg("search", 1);
        board_print(board.get());
        YEnd();
    };
    EXPECT_EQ(capture_stderr(in_block), colour_escape(36) + colour_escape(0));
    TraceLevelScope level(1);
    EXPECT_EQ(capture_stderr(in_block), colour_escape(36) + "BEG: search \n" + "  + --------- +   \n" +
                                            "  | . . . . . | 5 \n" + "  | . . . . . | 4 \n" + "  | . . . . . | 3 \n" +
                                            "  | . . . . . | 2 \n" + "  | . . . . . | 1 \n" + "  + --------- +   \n" +
                                            "    a b c d e     \n" + "  \n" + "END: search \n" + colour_escape(0));
}

TEST(CanvasDeathTest, DrawingAndBounds) {
    WinPtr win(win_new(6, 4));
    EXPECT_EQ(canvas_lines(win.get()), "      \n      \n      \n      \n");
    win_string(win.get(), "abc", 1, 0);
    win_hline(win.get(), '=', 1, 2, 4);
    win_hline(win.get(), '!', 1, 4, 2); // x1 > x2 draws nothing
    win_vline(win.get(), ':', 0, 1, 3);
    win_vline(win.get(), '!', 5, 3, 1);
    EXPECT_EQ(canvas_lines(win.get()), " abc  \n: === \n:     \n:     \n");
    for (const auto &p : {std::make_pair(6, 0), std::make_pair(0, -1), std::make_pair(-1, 3), std::make_pair(5, 4)}) {
        const std::string line = "win_char Error: ch=Z  x=" + std::to_string(p.first) + " y=" + std::to_string(p.second) +
                                 "  w=6 h=4  \n";
        EXPECT_EQ(capture_stderr([&] { win_char(win.get(), 'Z', p.first, p.second); }), line);
    }
    EXPECT_EQ(canvas_lines(win.get()), " abc  \n: === \n:     \n:     \n");

    WinPtr box(win_new(3, 3));
    win_box(box.get(), '-', '|', 0, 0, 3, 3);
    EXPECT_EQ(capture_stdout([&] { win_print(box.get()); }), "|-|\n| |\n|-|\n");

    WinPtr largest(win_new(99, 100));
    EXPECT_EQ(std::string(largest->lines[99]), std::string(99, ' '));
    EXPECT_EXIT(win_new(100, 5), ::testing::ExitedWithCode(1), exact_text("ERROR: win_new \n"));
    EXPECT_EXIT(win_new(5, 101), ::testing::ExitedWithCode(1), exact_text("ERROR: win_new \n"));
}

TEST(PointPrint, NamesEveryCode) {
    BoardPtr board(board_new(5, 5));
    GroupsPtr groups(groups_create(5, 5, board.get()));
    const std::pair<int, const char *> cases[] = {
        {STONE_NONE, "STONE_NONE:  (1 2) \n"},     {STONE_WHITE, "White stone:  (1 2) \n"},
        {STONE_BLACK, "Black stone:  (1 2) \n"},   {WHITE_FALSE, "WHITE_FALSE:  (1 2) \n"},
        {BLACK_FALSE, "BLACK_FALSE:  (1 2) \n"},   {CONTACT_DAME, "CONTACT_DAME! : (1 2) \n"},
        {WHITE_DEAD, "WHITE_DEAD:  (1 2) \n"},     {BLACK_DEAD, "BLACK_DEAD:  (1 2) \n"},
        {5, "out_5 \nError stone:  (1 2) \n"},
    };
    for (const auto &c : cases) {
        board->cells[1 * 5 + 2] = c.first;
        EXPECT_EQ(capture_stderr([&] { point_print(groups.get(), 1, 2); }), c.second);
    }
}

TEST(GroupsPrint, ListsTheGroupsOnStandardOutput) {
    BoardPtr board = board_from_picture("O O . . . / O . . X . / . . . . . / . . . . # ");
    GroupsPtr groups(groups_create(4, 5, board.get()));
    groups_find(groups.get(), nullptr);
    EXPECT_EQ(capture_stdout([&] { groups_print(groups.get()); }), "groups_num = 3 \n"
                                                                   "White group: stones=3 dame=3 \n"
                                                                   "Black group: stones=1 dame=4 \n"
                                                                   "Black group: stones=1 dame=2 \n");
}

} // namespace
