// Benchmarks of the engine: the group analysis, the computer's search at levels 1 to 4, a whole game.
// Run them with scripts/bench; the figures and how they were taken are in doc/performance.md.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "positions.h"
#include "engine/client.h"
#include "engine/groups.h"
#include "model/game.h"

namespace {

// One analysis per iteration, cycling through positions met in real games.
void BM_GroupAnalysis(benchmark::State &state) {
    std::vector<BOARD *> positions = bench::typical_positions();
    GROUPS *groups = groups_create(5, 5, positions[0]);
    size_t k = 0;
    for (auto _ : state) {
        groups_find(groups, positions[k]);
        benchmark::DoNotOptimize(groups_dame_min(groups, STONE_WHITE));
        benchmark::DoNotOptimize(groups_dame_min(groups, STONE_BLACK));
        if (++k == positions.size()) k = 0;
    }
    state.counters["positions"] = static_cast<double>(positions.size());
    groups_free(groups);
    for (BOARD *board : positions) board_free(board);
}
BENCHMARK(BM_GroupAnalysis);

// Counts the evaluations of a search: the player's own evaluation, called through a counter.
long evaluations = 0;
int counted_eval(void *player, void *position) {
    ++evaluations;
    return eval_dame_margin(player, position);
}

long evaluations_of_search(PLAYER *player) {
    MM_EVALUATE own = player->mm->evaluate;
    player->mm->evaluate = counted_eval;
    evaluations = 0;
    int i = -1;
    int j = -1;
    player_best_move(player, &i, &j);
    player->mm->evaluate = own;
    return evaluations;
}

// One computer move (White, to move) of the player at the level given by the first argument, from the
// empty board (second argument 0) or from the random middle games (1): 100 boards of ten stones, one
// after the other, as one repeated position would flatter the branch predictor.
void BM_BestMove(benchmark::State &state) {
    const int level = static_cast<int>(state.range(0));
    const bool middle = state.range(1) != 0;
    int n = 0;
    GAME *game = bench::search_game(level, false, &n);
    PLAYER *player = &game->players[n];
    std::vector<BOARD *> boards;
    if (middle) boards = bench::random_middle_games(100);
    const size_t points = sizeof(int) * 25;
    if (!middle) state.counters["evaluations"] = static_cast<double>(evaluations_of_search(player));
    int i = -1;
    int j = -1;
    size_t k = 0;
    for (auto _ : state) {
        if (middle) {
            std::memcpy(game->board->cells, boards[k]->cells, points);
            if (++k == boards.size()) k = 0;
        }
        player_best_move(player, &i, &j);
        benchmark::DoNotOptimize(i);
        benchmark::DoNotOptimize(j);
    }
    state.SetLabel(middle ? "random middle games" : "empty board");
    for (BOARD *board : boards) board_free(board);
    game_free(game);
}
BENCHMARK(BM_BestMove)
    ->ArgNames({"level", "middle"})
    ->ArgsProduct({{1, 2, 3}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BestMove)->ArgNames({"level", "middle"})->ArgsProduct({{4}, {0, 1}})->Unit(benchmark::kMillisecond);

// A whole game of two level-2 players through game_play, from a fresh game record to its release.
void BM_GamePlay(benchmark::State &state) {
    int64_t moves = 0;
    for (auto _ : state) {
        GAME *game = game_new(5, 5);
        benchmark::DoNotOptimize(game_play(game, "tiku2", "tiku2", 0, 0));
        moves += game->groups->moves.moves_num;
        game_free(game);
    }
    state.counters["moves_per_game"] =
        benchmark::Counter(static_cast<double>(moves), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_GamePlay)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    // The search writes two colour escapes per node to the error stream; they go to /dev/null here, as
    // they do when the game runs without a console, so the report on the standard output stays readable.
    // The flags were read above, so an error in them is still reported.
    const int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
        dup2(null_fd, STDERR_FILENO);
        close(null_fd);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
