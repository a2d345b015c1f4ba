// Long play in one process: N rounds (10 000 unless --games says otherwise), each one game of the
// computer against itself through game_play on a fresh game record and one game through the headless
// game flow with a scripted user, who plays free points, clicks taken and off-board points, gives games
// up and resets the rating; every 100 rounds the rating is saved. Reports the peak resident set size
// after 100 rounds and at the end, and fails (status 1) when the two differ by more than 1 MiB.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "app/flow.h"
#include "app/state.h"
#include "model/game.h"

#if defined(__SANITIZE_ADDRESS__)
// Freed memory waits in the sanitizer's quarantine (256 MiB by default) before it is reused, which would
// read as growth; without it the peak says what the program keeps. The environment can still override.
extern "C" const char *__asan_default_options() { return "quarantine_size_mb=0"; }
extern "C" void __sanitizer_set_report_fd(void *fd);
#endif

namespace {

constexpr long KIB_LIMIT = 1024; // the allowed growth: 1 MiB
constexpr long BASELINE_ROUNDS = 100;

// The peak resident set size in kB (VmHWM), or -1 when /proc cannot tell.
long peak_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmHWM:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

struct TALLY {
    long white = 0;    // game_play: White won
    long black = 0;    // game_play: Black won
    long won = 0;      // the flow: the user won (a capture, or White resigned)
    long lost = 0;     // the flow: the user lost
    long given_up = 0; // the flow: left unfinished for a new game or a reset
    long refused = 0;  // clicks refused: taken or off the board
    long moves = 0;    // the user's accepted moves
};

int free_point(std::mt19937 &random) {
    int points[64];
    int n = 0;
    for (int k = 0; k < app->size * app->size; ++k)
        if (board_view[k] == STONE_NONE) points[n++] = k;
    if (n == 0) return -1;
    return points[std::uniform_int_distribution<int>(0, n - 1)(random)];
}

// One game through the flow, as a user clicking around would play it.
void flow_game(std::mt19937 &random, TALLY &tally) {
    // Far from zero the handicap decides the game: reset now and then, as a user would.
    if (std::fabs(app->rating) > 6)
        rating_reset();
    else
        new_game();
    std::uniform_int_distribution<int> percent(0, 99);
    const int size = app->size;
    while (!app->game_over) {
        const int roll = percent(random);
        if (roll < 2) {
            ++tally.given_up; // the next new game or reset gives it up
            return;
        }
        if (roll < 8) {
            // A taken point or one off the board: refused, and the game goes on.
            int k = -1;
            for (int p = 0; p < size * size && k < 0; ++p)
                if (board_view[p] != STONE_NONE) k = p;
            if (k >= 0 && roll < 5)
                user_turn(k / size, k % size);
            else
                user_turn(roll % 2 ? -1 : size, roll % 3);
            ++tally.refused;
            continue;
        }
        const int k = free_point(random);
        if (k < 0) break;
        user_turn(k / size, k % size);
        ++tally.moves;
    }
    if (!app->game_over) return;
    if (std::strcmp(message_text, "Вы проиграли ..") == 0)
        ++tally.lost;
    else
        ++tally.won;
}

int usage() {
    std::fprintf(stderr, "usage: korvani_soak [--games N] [--seed S]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    long rounds = 10000;
    unsigned seed = 20041110;
    for (int k = 1; k < argc; ++k) {
        char *end = nullptr;
        if (std::strcmp(argv[k], "--games") == 0 && k + 1 < argc) {
            rounds = std::strtol(argv[++k], &end, 10);
            if (*end != '\0' || rounds < 1) return usage();
        } else if (std::strcmp(argv[k], "--seed") == 0 && k + 1 < argc) {
            seed = static_cast<unsigned>(std::strtoul(argv[++k], &end, 10));
            if (*end != '\0') return usage();
        } else {
            return usage();
        }
    }

    // The search writes its colour escapes to the error stream, megabytes over a long run: they go to
    // /dev/null. The sanitizers still report on the real error stream.
#if defined(__SANITIZE_ADDRESS__)
    __sanitizer_set_report_fd(reinterpret_cast<void *>(static_cast<intptr_t>(dup(STDERR_FILENO))));
#endif
    const int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
        dup2(null_fd, STDERR_FILENO);
        close(null_fd);
    }

    // The rating is saved in a folder of its own, removed at the end.
    char folder[] = "/tmp/korvani-soak-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    const std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);

    // The flow itself never saves here (save_at_once 0): the rounds save every 100.
    const double start_rating = 0.0;
    session_open(nullptr, 0, &start_rating);
    std::mt19937 random(seed);
    TALLY tally;
    const long baseline_rounds = rounds < BASELINE_ROUNDS ? rounds : BASELINE_ROUNDS;
    long baseline = 0;
    for (long round = 1; round <= rounds; ++round) {
        GAME *game = game_new(5, 5);
        if (game_play(game, "tiku2", "tiku2", 0, 0) == STONE_WHITE)
            ++tally.white;
        else
            ++tally.black;
        game_free(game);

        flow_game(random, tally);
        if (round % 100 == 0) rating_write(app->rating);
        if (round == baseline_rounds) baseline = peak_kb();
    }
    const long at_end = peak_kb();
    session_close();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(folder);

    const long growth = at_end - baseline;
    std::printf("rounds: %ld, seed %u\n", rounds, seed);
    std::printf("game_play: %ld games, White won %ld, Black won %ld\n", tally.white + tally.black, tally.white,
                tally.black);
    std::printf("flow: %ld games, won %ld, lost %ld, given up %ld; %ld moves, %ld refused clicks\n",
                tally.won + tally.lost + tally.given_up, tally.won, tally.lost, tally.given_up, tally.moves,
                tally.refused);
    std::printf("peak resident set (VmHWM): after %ld rounds %ld kB, after %ld rounds %ld kB, growth %ld kB "
                "(limit %ld kB)\n",
                baseline_rounds, baseline, rounds, at_end, growth, KIB_LIMIT);
    if (baseline < 0 || at_end < 0) {
        std::printf("FAILED: /proc/self/status gives no peak\n");
        return 1;
    }
    if (growth > KIB_LIMIT) {
        std::printf("FAILED: the peak grew by more than %ld kB\n", KIB_LIMIT);
        return 1;
    }
    return 0;
}
