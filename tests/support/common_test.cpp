// The nested trace and the fatal exits. The trace state is process-wide: every test closes the blocks it
// opens and leaves the level at 0.
#include "support/common.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/test_board.h"

namespace {

std::string spaces(int n) { return std::string(n, ' '); }

// The indentation after n blocks have been opened: two spaces each until the initial run of 42 spaces
// and its terminator are used up, then 43.
int indent_after(int n) { return n <= 21 ? 2 * n : 43; }

// Reset, cyan, white, green, cyan, white, then reset for every deeper block.
int colour_at(int depth) {
    const int table[] = {0, 36, 37, 32, 36, 37};
    return depth < 6 ? table[depth] : 0;
}

TEST(Trace, LevelZeroWritesOnlyEscapesInsideBlocks) {
    ASSERT_EQ(YTraceDepth(), 0);
    EXPECT_EQ(capture_stderr([] { YTraceColor(36); }), "\033[ 36 m");
    const std::string out = capture_stderr([] {
        YTrace("top %d \n", 1);
        YBeg("outer", 1);
        YTrace("hidden \n");
        YEnd();
    });
    EXPECT_EQ(out, "top 1 \n" + colour_escape(36) + colour_escape(0));
}

TEST(Trace, LevelFiltersByDepth) {
    struct Case {
        int level;
        std::string expected;
    };
    const Case cases[] = {
        {1, colour_escape(36) + "BEG: outer \n" + "  inside \n" + colour_escape(37) + colour_escape(36) +
                "  again \n" + "END: outer \n" + colour_escape(0)},
        {-1, colour_escape(36) + colour_escape(37) + colour_escape(36) + colour_escape(0)},
    };
    for (const Case &c : cases) {
        TraceLevelScope level(c.level);
        const std::string out = capture_stderr([] {
            YTrace("outside \n");
            YBeg("outer", 1);
            YTrace("inside \n");
            YBeg("inner", 1);
            YTrace("inside inner \n");
            YEnd();
            YTrace("again \n");
            YEnd();
        });
        EXPECT_EQ(out, (c.level >= 0 ? "outside \n" : "") + c.expected) << "level " << c.level;
    }
}

// Opens 47 blocks, the most the indentation buffer holds, with a line inside each, and closes them.
TEST(Trace, IndentationAndColoursFollowTheDepth) {
    TraceLevelScope level(100);
    const int deepest = 47;
    const std::string out = capture_stderr([&] {
        for (int d = 1; d <= deepest; ++d) {
            YBeg(("b" + std::to_string(d)).c_str(), 1);
            YTrace("in %d \n", d);
        }
        for (int d = deepest; d >= 1; --d) YEnd();
    });
    std::string expected;
    for (int d = 1; d <= deepest; ++d)
        expected += colour_escape(colour_at(d)) + spaces(indent_after(d - 1)) + "BEG: b" + std::to_string(d) +
                    " \n" + spaces(indent_after(d)) + "in " + std::to_string(d) + " \n";
    for (int d = deepest; d >= 1; --d)
        expected += spaces(indent_after(d - 1)) + "END: b" + std::to_string(d) + " \n" + colour_escape(colour_at(d - 1));
    EXPECT_EQ(out, expected);
    EXPECT_NE(out.find(spaces(42) + "BEG: b22 \n" + spaces(43) + "in 22 \n"), std::string::npos);
    EXPECT_EQ(YTraceDepth(), 0);
    EXPECT_EQ(capture_stderr([] { YTrace("after \n"); }), "after \n");
}

// A block opened and closed at once writes what YBeg and YEnd write, at every depth it may be opened
// from, printing or not.
TEST(Trace, BlockOpenedAndClosedAtOnceWritesAsBothCalls) {
    for (int level : {0, 3, 100}) {
        TraceLevelScope scope(level);
        for (int d = 0; d < 47; ++d) {
            (void)capture_stderr([&] {
                for (int k = 0; k < d; ++k) YBeg("outer", 1);
            });
            const std::string both = capture_stderr([] {
                YBeg("leaf", 1);
                YEnd();
            });
            const std::string at_once = capture_stderr([] { YBegEnd("leaf"); });
            EXPECT_EQ(at_once, both) << "level " << level << ", depth " << d;
            EXPECT_EQ(YTraceDepth(), d);
            (void)capture_stderr([&] {
                for (int k = 0; k < d; ++k) YEnd();
            });
        }
    }
}

// The convention of terminal programs: a terminal gets colours, NO_COLOR takes them away everywhere,
// CLICOLOR_FORCE gives them to a file or a pipe.
TEST(TraceColours, FollowTheTerminalNoColorAndClicolorForce) {
    struct Row {
        int terminal;
        const char *no_color;
        const char *clicolor_force;
        int wanted;
    };
    const Row rows[] = {
        {1, nullptr, nullptr, 1}, {0, nullptr, nullptr, 0}, {1, "", "", 1},   {1, "1", nullptr, 0},
        {1, "yes", "1", 0},       {0, "", "1", 1},          {0, nullptr, "0", 0}, {0, nullptr, "", 0},
        {0, nullptr, "yes", 1},   {1, nullptr, "0", 1},
    };
    for (const Row &r : rows)
        EXPECT_EQ(YColorWanted(r.terminal, r.no_color, r.clicolor_force), r.wanted)
            << r.terminal << " NO_COLOR=" << (r.no_color ? r.no_color : "(unset)")
            << " CLICOLOR_FORCE=" << (r.clicolor_force ? r.clicolor_force : "(unset)");
}

// With the colours off the trace writes its lines unchanged and not one escape, on every path: the
// inline blocks, the blocks that print, the explicit colour.
TEST(TraceColours, OffWritesTheLinesAlone) {
    const auto work = [] {
        YTraceColor(32);
        YBeg("outer", 1);
        YTrace("inside \n");
        YBeg("inner", 1);
        YBegEnd("leaf");
        YEnd();
        YEnd();
    };
    for (int level : {0, 1, 100}) {
        TraceLevelScope scope(level);
        const std::string on = capture_stderr(work);
        YTraceColors(0);
        const std::string off = capture_stderr(work);
        YTraceColors(1);
        EXPECT_EQ(off, without_escapes(on)) << "level " << level;
        EXPECT_EQ(off.find('\033'), std::string::npos) << "level " << level;
        if (level == 1) {
            EXPECT_EQ(off, "BEG: outer \n  inside \nEND: outer \n");
        }
    }
}

TEST(TraceDeathTest, MisuseStops) {
    // Without the colours the line stands alone: matched exactly, by the plain expressions that GoogleTest
    // has on every platform.
    EXPECT_EXIT(
        {
            YTraceColors(0);
            for (int d = 1; d <= 48; ++d) YBeg("deep", 1);
        },
        ::testing::ExitedWithCode(1), exact_text("ERROR: YBeg \n"));
    EXPECT_EXIT(YEnd(), ::testing::ExitedWithCode(1), exact_text("ERROR: YEnd \n"));
    EXPECT_DEATH(YBeg("x", 0), "expression");
}

TEST(FatalDeathTest, EachExitPrintsItsLineAndFails) {
    struct Case {
        void (*exit)(const char *);
        const char *text;
        const char *line;
    };
    const Case cases[] = {
        {YFatal, "n_del >= mvs->moves_num", "ERROR: n_del >= mvs->moves_num \n"},
        {YError, "rating_write", "Error: rating_write\n"},
        {YMyError, "board", "MyError: board\n"},
    };
    for (const Case &c : cases) EXPECT_EXIT(c.exit(c.text), ::testing::ExitedWithCode(1), exact_text(c.line));
}

} // namespace
