// korvani-solve, run as a program: its errors and their status, a proof and the openings with their picture.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/tools/run_tool.h"

namespace {

const char USAGE[] =
    "usage: korvani-solve [--size N] [--moves \"c3 b4 ...\"] [--openings] [--svg FILE] [--table MB] [--verbose]";

RUN run_solve(const std::string &args) { return run_tool(KORVANI_SOLVE, args); }

TEST(Solve, BadArgumentsGetOneErrorLineTheUsageAndStatus2) {
    struct ROW {
        const char *args;
        const char *error;
    };
    const ROW rows[] = {
        {"--fast", "unknown option \"--fast\""},
        {"5", "unexpected argument \"5\""},
        {"--size 1", "--size takes a whole number from 2 to 7, not \"1\""},
        {"--size 8", "not \"8\""},
        {"--size=x", "not \"x\""},
        {"--size", "--size needs a number"},
        {"--moves", "--moves needs the moves"},
        {"--moves 'c3 f3'", "move 2 \"f3\" is not a point of the 5 x 5 board"},
        {"--moves 'c6'", "move 1 \"c6\" is not a point of the 5 x 5 board"},
        {"--moves 'c0'", "move 1 \"c0\" is not a point"},
        {"--moves 'i3'", "move 1 \"i3\" is not a point"},
        {"--moves 'c3x'", "move 1 \"c3x\" is not a point"},
        {"--size 3 --moves 'd1'", "move 1 \"d1\" is not a point of the 3 x 3 board"},
        {"--moves 'c3 b2 C3'", "move 3 \"C3\" is on a taken point"},
        // a1 is taken at once by White's b1 after a2: the game is over.
        {"--moves 'a1 a2 c3 b1 e5'", "move 5 \"e5\" comes after the end of the game: White won with move 4"},
        {"--svg x.svg", "--svg draws the openings: give --openings too"},
        {"--table 0", "--table takes a whole number"},
    };
    for (const ROW &row : rows) {
        SCOPED_TRACE(std::string("korvani-solve ") + row.args);
        const RUN run = run_solve(row.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        const std::vector<std::string> lines = lines_of(run.err);
        ASSERT_EQ(lines.size(), 2u) << run.err;
        EXPECT_EQ(lines[0].rfind("korvani-solve: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(row.error), std::string::npos) << lines[0];
        EXPECT_EQ(lines[1], USAGE);
    }
}

TEST(Solve, ProvesTheValueAndNamesTheMoves) {
    const RUN won = run_solve("--size 3");
    ASSERT_EQ(won.status, 0) << won.err;
    std::vector<std::string> lines = lines_of(won.out);
    ASSERT_EQ(lines.size(), 6u) << won.out;
    EXPECT_EQ(lines[0], "3 x 3, 0 moves played, Black to move");
    EXPECT_EQ(lines[1], "Black wins with perfect play");
    EXPECT_EQ(lines[2], "winning moves for Black: b3 a2 b2 c2 b1");
    EXPECT_EQ(lines[3].rfind("nodes: ", 0), 0u);
    EXPECT_EQ(lines[5].rfind("peak memory: ", 0), 0u);

    // After the centre White loses: the reply that resists longest, and how long.
    const RUN lost = run_solve("--size 3 --moves b2");
    ASSERT_EQ(lost.status, 0) << lost.err;
    lines = lines_of(lost.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Black wins with perfect play");
    EXPECT_EQ(lines[2].rfind("longest resistance for White: ", 0), 0u) << lines[2];

    const RUN over = run_solve("--moves 'a1 a2 c3 b1'");
    EXPECT_EQ(over.status, 0);
    EXPECT_EQ(over.out, "5 x 5, 4 moves played\nthe game is over: White won with move 4\n");
}

TEST(Solve, OpeningsUpToSymmetryAndTheirPicture) {
    char svg[] = "/tmp/korvani_solve_svgXXXXXX";
    close(mkstemp(svg));
    const RUN run = run_solve(std::string("--size 3 --openings --svg ") + svg);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 8u) << run.out;
    // The centre first, then the edge points in board order; each with the points of its class.
    EXPECT_EQ(lines[2].substr(0, 17), "b2       wins    ");
    EXPECT_EQ(lines[3].substr(0, 17), "a3       loses   ");
    EXPECT_NE(lines[3].find("a3 c3 a1 c1"), std::string::npos) << lines[3];
    EXPECT_EQ(lines[4].substr(0, 17), "b3       wins    ");
    EXPECT_NE(lines[4].find("b3 a2 c2 b1"), std::string::npos) << lines[4];
    const std::string picture = read_file(svg);
    std::remove(svg);
    EXPECT_EQ(picture.rfind("<svg ", 0), 0u);
    size_t wins = 0;
    for (size_t at = picture.find(">W</text>"); at != std::string::npos; at = picture.find(">W</text>", at + 1)) ++wins;
    EXPECT_EQ(wins, 5u);
    EXPECT_NE(picture.find("</svg>"), std::string::npos);

    const RUN unwritable = run_solve("--size 2 --openings --svg /nonexistent/dir/x.svg");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(lines_of(unwritable.err).size(), 1u) << unwritable.err;
}

} // namespace
