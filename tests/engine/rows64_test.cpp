// The board as sets against the design's records: on random boards of every size the sets take, the
// fewest dame of each colour are those of groups_find and groups_dame_min, before and after one more stone
// on every empty point, whether found afresh or from the analysis before the stone.
#include "engine/rows64.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "engine/groups.h"
#include "tests/test_board.h"

namespace {

void expect_least(const ROWS64_DAME_MIN &least, GROUPS *groups, const std::string &where) {
    EXPECT_EQ(least.of[STONE_WHITE], groups_dame_min(groups, STONE_WHITE)) << where;
    EXPECT_EQ(least.of[STONE_BLACK], groups_dame_min(groups, STONE_BLACK)) << where;
}

TEST(Rows64, FewestDameAsTheGroupAnalysisBeforeAndAfterEveryStone) {
    std::srand(2026);
    const int codes[] = {STONE_WHITE, STONE_BLACK, STONE_WHITE, STONE_BLACK, WHITE_DEAD, BLACK_DEAD};
    GROUPS *groups = groups_create(ROWS64_SIDE, ROWS64_SIDE, nullptr);
    for (int round = 0; round < 300; ++round) {
        const int rows = 1 + std::rand() % ROWS64_SIDE;
        const int cols = 1 + std::rand() % ROWS64_SIDE;
        const int fill = std::rand() % 90;
        BoardPtr board(board_new(rows, cols));
        for (int k = 0; k < rows * cols; ++k)
            if (std::rand() % 100 < fill) board->cells[k] = codes[std::rand() % (round % 4 == 0 ? 6 : 4)];
        const std::string where = "round " + std::to_string(round) + ": " + board_picture(board.get());
        ASSERT_TRUE(rows64_fits(board->rows, board->cols));

        const ROWS64_BOARD before = rows64_from_board(board.get());
        ROWS64_GROUPS analysis;
        rows64_groups_find(before, &analysis);
        groups_find(groups, board.get());
        expect_least(rows64_dame_min(analysis), groups, where);

        for (int i = 0; i < rows; ++i)
            for (int j = 0; j < cols; ++j) {
                if (board->cells[i * cols + j] != STONE_NONE) continue;
                for (int colour : {STONE_WHITE, STONE_BLACK}) {
                    const std::string after = where + ", " + std::to_string(colour) + " at " + std::to_string(i) +
                                              "," + std::to_string(j);
                    board->cells[i * cols + j] = colour;
                    groups_find(groups, board.get());
                    ROWS64_GROUPS fresh;
                    rows64_groups_find(rows64_play(before, rows64_point(i, j), colour), &fresh);
                    expect_least(rows64_dame_min(fresh), groups, after);
                    int own = 0;
                    int other = 0;
                    rows64_dame_min_after(before, analysis, rows64_point(i, j), colour, &own, &other);
                    EXPECT_EQ(own, groups_dame_min(groups, static_cast<short>(colour))) << after;
                    const int expected_other = groups_dame_min(groups, static_cast<short>(3 - colour));
                    EXPECT_EQ(other, expected_other < 0 ? ROWS64_NO_GROUP : expected_other) << after;
                    board->cells[i * cols + j] = STONE_NONE;
                }
            }
        if (HasFailure()) break;
    }
    groups_free(groups);
}

} // namespace
