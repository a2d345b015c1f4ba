// korvani-match, run as a program: its arguments, its error lines and status, and small matches.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/test_board.h"
#include "tests/tools/run_tool.h"

namespace {

const char USAGE[] = "usage: korvani-match [--size N] [--games N] [--seed S] [--verbose] FIRST SECOND";

// Runs korvani-match with the colour variables unset, then the given ones (e.g. "CLICOLOR_FORCE=1").
RUN run_match(const std::string &args, const std::string &variables = "") {
    return run_tool("/usr/bin/env", "-u CLICOLOR_FORCE -u NO_COLOR " + variables + " '" KORVANI_MATCH "' " + args);
}

size_t count_of(const std::string &text, const std::string &piece) {
    size_t n = 0;
    for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
    return n;
}

// Reads one number from the whole line: the format ends in %n, which must reach the line's end.
template <typename T> bool scanned(const std::string &line, const char *format, T *value) {
    int used = -1;
    return std::sscanf(line.c_str(), format, value, &used) == 1 && used == static_cast<int>(line.size());
}

// Whether the text is nothing but escapes ESC "[ " digits " m".
bool only_escapes(const std::string &text) {
    size_t at = 0;
    while (at < text.size()) {
        if (text.compare(at, 3, "\x1b[ ") != 0) return false;
        at += 3;
        const size_t digits = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        if (at == digits || text.compare(at, 2, " m") != 0) return false;
        at += 2;
    }
    return true;
}

TEST(Match, BadArgumentsGetOneErrorLineTheUsageAndStatus2) {
    struct ROW {
        const char *args;
        const char *error; // a piece of the error line
    };
    const ROW rows[] = {
        {"", "no players given"},
        {"tiku2", "the second player is missing"},
        {"--verbose tiku2", "the second player is missing"},
        {"tiku2 tiku2 tiku2", "one player too many: \"tiku2\""},
        {"tiku tiku2", "\"tiku\" is not a player"},
        {"tiku2 tiku0", "\"tiku0\" is not a player"},
        {"tiku26 tiku2", "\"tiku26\" is not a player"},
        {"tiku2 tikux", "\"tikux\" is not a player"},
        {"tiku2 tiku-1", "\"tiku-1\" is not a player"},
        {"tiku2 tiku2x", "\"tiku2x\" is not a player"},
        {"tiku2 Tiku2", "\"Tiku2\" is not a player"},
        {"tiku2 foo2", "\"foo2\" is not a player"},
        {"tiku2 Perfect", "\"Perfect\" is not a player"},
        {"tiku2 ''", "\"\" is not a player"},
        {"--games 0 tiku1 tiku2", "--games takes a whole number from 1 to 1000000, not \"0\""},
        {"--games -3 tiku1 tiku2", "not \"-3\""},
        {"--games 1x tiku1 tiku2", "not \"1x\""},
        {"--games=abc tiku1 tiku2", "not \"abc\""},
        {"--games 99999999999999999999 tiku1 tiku2", "not \"99999999999999999999\""},
        {"--games tiku1 tiku2", "not \"tiku1\""},
        {"tiku1 tiku2 --games", "--games needs a number"},
        {"--seed x tiku1 tiku2", "--seed takes a whole number"},
        {"--fast tiku1 tiku2", "unknown option \"--fast\""},
        {"--size 8 tiku1 tiku2", "--size takes a whole number from 2 to 7, not \"8\""},
        {"--size 6 perfect tiku2", "the tiku players play on boards of at most 5 x 5, not 6 x 6"},
    };
    for (const ROW &row : rows) {
        SCOPED_TRACE(std::string("korvani-match ") + row.args);
        const RUN run = run_match(row.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        const std::vector<std::string> lines = lines_of(run.err);
        ASSERT_EQ(lines.size(), 2u) << run.err;
        EXPECT_EQ(lines[0].rfind("korvani-match: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(row.error), std::string::npos) << lines[0];
        EXPECT_EQ(lines[1], USAGE);
    }
}

TEST(Match, HelpGoesToTheStandardOutput) {
    const RUN run = run_match("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind(std::string(USAGE) + "\n", 0), 0u) << run.out;
    EXPECT_EQ(run.err, "");
}

TEST(Match, ASmallMatchReportsWinsLengthAndTimePerMove) {
    const RUN run = run_match("--games 3 --seed 7 tiku1 tiku2");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 5u) << run.out;
    EXPECT_EQ(lines[0], "tiku1 (White) against tiku2 (Black, moves first): 3 games, seed 7");
    int white = -1;
    int black = -1;
    double length = -1;
    double per_move = -1;
    EXPECT_TRUE(scanned(lines[1], "White (tiku1) wins: %d%n", &white)) << lines[1];
    EXPECT_TRUE(scanned(lines[2], "Black (tiku2) wins: %d%n", &black)) << lines[2];
    EXPECT_EQ(white + black, 3);
    EXPECT_TRUE(scanned(lines[3], "average length: %lf moves%n", &length)) << lines[3];
    // The first capture needs three stones at least; the board has 25 points.
    EXPECT_GE(length, 3.0);
    EXPECT_LE(length, 25.0);
    EXPECT_TRUE(scanned(lines[4], "time per move: %lf us%n", &per_move)) << lines[4];
    EXPECT_GT(per_move, 0.0);
    // Without --verbose, and not asked for the colour escapes, the error stream stays empty.
    EXPECT_EQ(run.err, "");
}

// The searches' colour escapes reach the error stream only when asked for: CLICOLOR_FORCE alone gives
// them without the boards, --verbose to a file gives the boards without them, NO_COLOR wins over both.
TEST(Match, ColourEscapesOnlyWhenAsked) {
    const std::string match = "--games 1 --seed 3 tiku1 tiku2";
    const RUN forced = run_match(match, "CLICOLOR_FORCE=1");
    ASSERT_EQ(forced.status, 0);
    EXPECT_TRUE(only_escapes(forced.err));
    EXPECT_GT(forced.err.size(), 0u);

    const RUN verbose = run_match("--verbose " + match);
    ASSERT_EQ(verbose.status, 0);
    EXPECT_NE(verbose.err.find("  a b c d e     \n"), std::string::npos);
    EXPECT_EQ(verbose.err.find('\x1b'), std::string::npos);

    const RUN both = run_match("--verbose " + match, "CLICOLOR_FORCE=1");
    ASSERT_EQ(both.status, 0);
    EXPECT_NE(both.err.find("\x1b[ 36 m"), std::string::npos);
    EXPECT_EQ(without_escapes(both.err), verbose.err);

    const RUN refused = run_match("--verbose " + match, "CLICOLOR_FORCE=1 NO_COLOR=1");
    ASSERT_EQ(refused.status, 0);
    EXPECT_EQ(refused.err, verbose.err);
}

// Game k of a match with seed S is the game game_play plays when rand() is seeded with S + k once the
// players are made: with seeds 1 and 2, two level-2 players play the games recorded for those seeds in
// search_golden.inc (23 and 21 moves, both won by Black).
TEST(Match, VerbosePrintsEveryBoardAndTheWinnerLineOfEachGame) {
    const RUN run = run_match("--verbose --games 2 --seed 1 tiku2 tiku2");
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 9u) << run.out;
    EXPECT_EQ(lines[0], "game 1 of 2");
    EXPECT_EQ(lines[1], "--------------> BLACK win! ");
    EXPECT_EQ(lines[2], "game 2 of 2");
    EXPECT_EQ(lines[3], "--------------> BLACK win! ");
    EXPECT_EQ(lines[4], "tiku2 (White) against tiku2 (Black, moves first): 2 games, seed 1");
    EXPECT_EQ(lines[5], "White (tiku2) wins: 0");
    EXPECT_EQ(lines[6], "Black (tiku2) wins: 2");
    EXPECT_EQ(lines[7], "average length: 22.0 moves");
    // One labelled board after every move: its letter line, and its frame above and below (each line
    // of a printout ends in a blank and the newline).
    EXPECT_EQ(count_of(run.err, "  a b c d e     \n"), 44u);
    EXPECT_EQ(count_of(run.err, "+ --------- +   \n"), 88u);
    // The last board of the first game: Black's b2 took the last dame of the one White group.
    EXPECT_NE(run.err.find("| @ @ @ X . | 5 \n| X @ @ X X | 4 \n| X @ @ X X | 3 \n| X X @ X . | 2 \n"
                           "| @ @ @ X X | 1 \n"),
              std::string::npos);
}

// Black wins the empty board with perfect play, the quickest win taking 19 moves (korvani-solve
// --verbose: c3 wins in 19 plies): the perfect player as Black wins every game, against itself in
// exactly that many moves.
TEST(Match, ThePerfectPlayerWinsEveryGameAsBlack) {
    const RUN itself = run_match("--games 2 --seed 4 perfect perfect");
    ASSERT_EQ(itself.status, 0) << itself.err;
    std::vector<std::string> lines = lines_of(itself.out);
    ASSERT_EQ(lines.size(), 5u) << itself.out;
    EXPECT_EQ(lines[2], "Black (perfect) wins: 2");
    EXPECT_EQ(lines[3], "average length: 19.0 moves");

    const RUN against = run_match("--games 3 --seed 4 tiku2 perfect");
    ASSERT_EQ(against.status, 0) << against.err;
    lines = lines_of(against.out);
    ASSERT_EQ(lines.size(), 5u) << against.out;
    EXPECT_EQ(lines[1], "White (tiku2) wins: 0");
    EXPECT_EQ(lines[2], "Black (perfect) wins: 3");
}

TEST(Match, TheSameSeedReplaysTheSameMatch) {
    const RUN first = run_match("--games 4 --seed 99 tiku2 tiku1");
    const RUN again = run_match("--games 4 --seed 99 tiku2 tiku1");
    ASSERT_EQ(first.status, 0);
    ASSERT_EQ(again.status, 0);
    const std::vector<std::string> a = lines_of(first.out);
    const std::vector<std::string> b = lines_of(again.out);
    ASSERT_EQ(a.size(), 5u);
    ASSERT_EQ(b.size(), 5u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(a[k], b[k]); // all but the time per move
    EXPECT_EQ(first.err, again.err);
}

// On another board the perfect player, who is never wrong, wins every game as Black on 3 x 3, which the
// first player wins, and every game as White on 4 x 4, which the second player wins.
TEST(Match, OtherBoardsWithThePerfectPlayer) {
    RUN run = run_match("--size 3 --games 4 --seed 1 tiku2 perfect");
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::string> lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 5u) << run.out;
    EXPECT_EQ(lines[0], "tiku2 (White) against perfect (Black, moves first) on 3 x 3: 4 games, seed 1");
    EXPECT_EQ(lines[2], "Black (perfect) wins: 4");
    run = run_match("--size 4 --games 4 --seed 1 perfect tiku2");
    ASSERT_EQ(run.status, 0) << run.err;
    lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 5u) << run.out;
    EXPECT_EQ(lines[1], "White (perfect) wins: 4");
}

} // namespace
