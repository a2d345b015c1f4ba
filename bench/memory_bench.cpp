// Peak memory of a long run: plays N games of two level-2 players (1000 unless --games says otherwise),
// each on a fresh game record that is released afterwards, and reports the peak resident set size after
// the first game, after a tenth of the games and at the end. Equal figures mean no growth per game.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "model/game.h"

namespace {

// The peak resident set size in kB (VmHWM), or -1 when /proc cannot tell.
long peak_kb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.compare(0, 6, "VmHWM:") == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

int usage() {
    std::fprintf(stderr, "usage: korvani_bench_memory [--games N]\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    long games = 1000;
    for (int k = 1; k < argc; ++k) {
        char *end = nullptr;
        if (std::strcmp(argv[k], "--games") == 0 && k + 1 < argc) {
            games = std::strtol(argv[++k], &end, 10);
            if (*end != '\0' || games < 1) return usage();
        } else {
            return usage();
        }
    }
    // The colour escapes of the search are of no interest here.
    const int null_fd = open("/dev/null", O_WRONLY);
    if (null_fd >= 0) {
        dup2(null_fd, STDERR_FILENO);
        close(null_fd);
    }

    const long tenth = games / 10 > 0 ? games / 10 : 1;
    long after_first = 0;
    long after_tenth = 0;
    long moves = 0;
    int wins[3] = {0, 0, 0};
    for (long g = 1; g <= games; ++g) {
        GAME *game = game_new(5, 5);
        ++wins[game_play(game, "tiku2", "tiku2", 0, 0)];
        moves += game->groups->moves.moves_num;
        game_free(game);
        if (g == 1) after_first = peak_kb();
        if (g == tenth) after_tenth = peak_kb();
    }
    const long at_end = peak_kb();
    std::printf("games: %ld (White %d, Black %d), moves: %ld\n", games, wins[STONE_WHITE], wins[STONE_BLACK], moves);
    std::printf("peak resident set (VmHWM): after 1 game %ld kB, after %ld games %ld kB, after %ld games %ld kB\n",
                after_first, tenth, after_tenth, games, at_end);
    std::printf("growth after the first game: %ld kB\n", at_end - after_first);
    return 0;
}
