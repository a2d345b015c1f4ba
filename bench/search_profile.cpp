// A steady workload for valgrind's callgrind. Counting only inside profiled_work gives the instructions
// of the work, whatever the machine's load (doc/performance.md):
//   korvani_search_profile LEVEL N           N searches of a White player from the empty board
//   korvani_search_profile LEVEL N middle    ... from the fixed middle game
//   korvani_search_profile LEVEL N random    ... from the random middle games, one after the other
//   korvani_search_profile groups N          N passes of the group analysis over the typical positions
// One search (or pass) runs first, outside the count: it makes the records the player reuses. The
// program prints the number of units counted (positions analysed, or searches); scripts/bench divides.
//   valgrind --tool=callgrind --toggle-collect='profiled_work*' korvani_search_profile 2 100 random
//   callgrind_annotate --inclusive=yes callgrind.out.<pid>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/groups.h"
#include "model/game.h"
#include "positions.h"

namespace {

enum { RANDOM_POSITIONS = 100 };

struct Work {
    PLAYER *player = nullptr;
    BOARD *game_board = nullptr;
    std::vector<BOARD *> boards; // searched from, one after the other; none: the game's board as it is
    GROUPS *groups = nullptr;    // for the group analysis
};

} // namespace

__attribute__((noinline)) void run_work(Work &work, int n) {
    int i = -1;
    int j = -1;
    if (work.groups) {
        for (int pass = 0; pass < n; ++pass)
            for (BOARD *board : work.boards) {
                groups_find(work.groups, board);
                groups_dame_min(work.groups, STONE_WHITE);
                groups_dame_min(work.groups, STONE_BLACK);
            }
        return;
    }
    for (int k = 0; k < n; ++k) {
        if (!work.boards.empty()) {
            const BOARD *from = work.boards[k % work.boards.size()];
            std::memcpy(work.game_board->cells, from->cells, sizeof(int) * 25);
        }
        player_best_move(work.player, &i, &j);
    }
}

// Not inlined, and outside the anonymous namespace, so that callgrind can be told to count inside it alone.
__attribute__((noinline)) void profiled_work(Work &work, int n) { run_work(work, n); }

int main(int argc, char **argv) {
    const bool groups = argc == 3 && std::strcmp(argv[1], "groups") == 0;
    const bool random = argc == 4 && std::strcmp(argv[3], "random") == 0;
    const bool middle = argc == 4 && std::strcmp(argv[3], "middle") == 0;
    if (argc < 3 || argc > 4 || (argc == 4 && !random && !middle)) {
        std::fprintf(stderr, "usage: korvani_search_profile LEVEL SEARCHES [middle|random]\n"
                             "       korvani_search_profile groups PASSES\n");
        return 2;
    }
    const int n = std::atoi(argv[2]);
    Work work;
    GAME *game = nullptr;
    if (groups) {
        work.boards = bench::typical_positions();
        work.groups = groups_create(5, 5, work.boards[0]);
    } else {
        int player = 0;
        game = bench::search_game(std::atoi(argv[1]), middle, &player);
        work.player = &game->players[player];
        work.game_board = game->board;
        if (random) work.boards = bench::random_middle_games(RANDOM_POSITIONS);
    }
    run_work(work, 1); // outside the count: makes the records reused later
    profiled_work(work, n);
    // What the count is to be divided by: positions analysed, or searches.
    std::printf("units: %zu\n", groups ? static_cast<size_t>(n) * work.boards.size() : static_cast<size_t>(n));
    for (BOARD *board : work.boards) board_free(board);
    if (work.groups) groups_free(work.groups);
    if (game) game_free(game);
    return 0;
}
