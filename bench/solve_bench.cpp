// Benchmarks of the solver: the proof of the empty board, and of every distinct first move, from an
// empty table each time. The counters give the positions searched, which do not depend on the machine's
// load; scripts/bench runs them on a Release build.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include "engine/solve.h"

namespace {

// The points of the distinct first moves, one per class of the square's symmetries, from the centre
// outward as korvani-solve --openings takes them.
std::vector<int> distinct_openings(const SOLVER *solver) {
    std::vector<int> openings;
    uint64_t seen = 0;
    for (uint64_t left = solver->board; left != 0; left &= left - 1) {
        const int q = __builtin_ctzll(left);
        if (seen & solve_bit(q)) continue;
        openings.push_back(q);
        for (int s = 0; s < 8; ++s) seen |= solve_symmetry(solver->size, s, solve_bit(q));
    }
    std::stable_sort(openings.begin(), openings.end(),
                     [solver](int a, int b) { return solver->centrality[a] > solver->centrality[b]; });
    return openings;
}

// Who wins the empty board of the size given: the boolean proof.
void BM_SolveEmptyBoard(benchmark::State &state) {
    SOLVER *solver = solver_new(static_cast<int>(state.range(0)), state.range(0) <= 4 ? 1 : 64);
    uint64_t nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        solver_clear(solver);
        state.ResumeTiming();
        benchmark::DoNotOptimize(solve_value(solver, SOLVE_POSITION{0, 0}));
        nodes = solver->nodes;
    }
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["nodes_per_s"] =
        benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kIsIterationInvariantRate);
    solver_free(solver);
}
BENCHMARK(BM_SolveEmptyBoard)->ArgName("size")->DenseRange(2, 5)->Unit(benchmark::kMillisecond);

// The value of every distinct first move, one after the other with the table they share, as
// korvani-solve --openings proves them.
void BM_SolveOpenings(benchmark::State &state) {
    SOLVER *solver = solver_new(static_cast<int>(state.range(0)), state.range(0) <= 4 ? 1 : 64);
    const std::vector<int> openings = distinct_openings(solver);
    uint64_t nodes = 0;
    for (auto _ : state) {
        state.PauseTiming();
        solver_clear(solver);
        state.ResumeTiming();
        for (int q : openings) benchmark::DoNotOptimize(solve_move_score(solver, SOLVE_POSITION{0, 0}, q, 0));
        nodes = solver->nodes;
    }
    state.counters["nodes"] = static_cast<double>(nodes);
    state.counters["openings"] = static_cast<double>(openings.size());
    solver_free(solver);
}
BENCHMARK(BM_SolveOpenings)->ArgName("size")->DenseRange(4, 5)->Unit(benchmark::kMillisecond);

// The perfect player's first move on the empty 5 x 5 board: the quickest win, by exact values.
void BM_PerfectFirstMove(benchmark::State &state) {
    SOLVER *solver = solver_new(5, 64);
    uint64_t nodes = 0;
    int points[64];
    int score = 0;
    for (auto _ : state) {
        state.PauseTiming();
        solver_clear(solver);
        state.ResumeTiming();
        benchmark::DoNotOptimize(solve_best_moves(solver, SOLVE_POSITION{0, 0}, points, &score));
        nodes = solver->nodes;
    }
    state.counters["nodes"] = static_cast<double>(nodes);
    solver_free(solver);
}
BENCHMARK(BM_PerfectFirstMove)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
