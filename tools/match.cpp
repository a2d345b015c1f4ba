// korvani-match: plays games between two computer players and reports each side's wins, the average
// length of a game and the time per move.
//
//   korvani-match [--size N] [--games N] [--seed S] [--verbose] FIRST SECOND
//
// FIRST plays White and SECOND plays Black, which moves first, as in game_play. A player is named as
// the game names its computer: "tiku" and its level, 1 to 25 ("tiku2" is the window's opponent), or
// "perfect", the solver's perfect player: the quickest win when it has one, otherwise the move that
// resists longest, ties broken with rand() as the computer player breaks its own. One solver serves the
// whole match, so that what it proved in one game it knows in the next.
// "tiku" alone (or "tiku0") would search to the end of every line, which from the empty board does not
// finish, so the tool asks for an explicit level; from level 5 on a move takes seconds and more.
//
// Each game runs the steps of game_play on a fresh game record. game_play itself is not called:
// making its players reseeds rand() from the clock in seconds, so all the games started within one
// second would be one and the same game. Here rand() is seeded again once the players are made, with
// S + k for the k-th game (S is the clock's time unless --seed gives it), so a match can be replayed.
// With --verbose the board is printed after every move (through the trace, on the error stream) and the
// winner line of game_play follows each game on the standard output.
// The searches' colour escapes go to the error stream only when asked for: with --verbose as the game
// writes them (to a terminal, unless NO_COLOR is set), or with CLICOLOR_FORCE set. A match of a
// thousand games wrote megabytes of them to a log otherwise.
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <unistd.h>

#include "engine/minimax.h"
#include "engine/solve.h"
#include "model/game.h"
#include "support/common.h"
#include "tools/cli.h"

namespace {

const char USAGE[] = "usage: korvani-match [--size N] [--games N] [--seed S] [--verbose] FIRST SECOND";

struct OPTIONS {
    int size = 5; // the board, size x size, as far as the solver goes
    long games = 1;
    unsigned long seed = 0;
    bool seeded = false;
    bool verbose = false;
    const char *first = nullptr;  // White
    const char *second = nullptr; // Black, moves first
};

const CLI cli{"korvani-match", USAGE};

[[noreturn]] void fail(const std::string &message) { cli_fail(cli, message); }

long read_number(const char *option, const char *text, long low, long high) {
    return cli_number(cli, option, text, low, high);
}

const char PERFECT[] = "perfect";

// "perfect", or "tiku" followed by a level from 1 to 25, in decimal digits only.
void check_name(const char *name) {
    const std::string text = name;
    if (text == PERFECT) return;
    const std::string prefix = "tiku";
    const std::string what =
        "\"" + text + "\" is not a player: give \"tiku\" and a level from 1 to 25, e.g. tiku2, or \"perfect\"";
    if (text.compare(0, prefix.size(), prefix) != 0 || text.size() == prefix.size()) fail(what);
    const std::string digits = text.substr(prefix.size());
    if (digits.size() > 3 || digits.find_first_not_of("0123456789") != std::string::npos) fail(what);
    const int level = std::atoi(digits.c_str());
    if (level < 1 || level > 25) fail(what);
}

OPTIONS read_options(int argc, char **argv) {
    OPTIONS options;
    int names = 0;
    for (int k = 1; k < argc; ++k) {
        const char *arg = argv[k];
        const auto value = [&](const char *option) -> const char * {
            const size_t length = std::strlen(option);
            if (arg[length] == '=') return arg + length + 1;
            if (k + 1 >= argc) fail(std::string(option) + " needs a number");
            return argv[++k];
        };
        const auto is = [&](const char *option) {
            const size_t length = std::strlen(option);
            return std::strncmp(arg, option, length) == 0 && (arg[length] == '\0' || arg[length] == '=');
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::printf("%s\n\nPlays N games (1 unless given) of FIRST (White) against SECOND (Black, moves first)\n"
                        "and prints each side's wins, the average length of a game and the time per move.\n"
                        "Players are \"tiku\" and a level from 1 to 25, e.g. tiku2, the window's opponent,\n"
                        "or \"perfect\", who plays the quickest win or, when lost, resists longest.\n"
                        "--size N   the board, N x N, N from 2 to 7 (default 5, the game's)\n"
                        "--seed S   seeds game k with S + k (default: the clock), so a match can be replayed\n"
                        "--verbose  prints the board after every move on the error stream, and the winner\n"
                        "The searches' colour escapes go to the error stream with --verbose on a terminal,\n"
                        "or whenever CLICOLOR_FORCE is set to a value other than 0; never with NO_COLOR set.\n",
                        USAGE);
            std::exit(0);
        } else if (is("--size")) {
            options.size = static_cast<int>(read_number("--size", value("--size"), SOLVE_MIN_SIZE, SOLVE_MAX_SIZE));
        } else if (is("--games")) {
            options.games = read_number("--games", value("--games"), 1, 1000000);
        } else if (is("--seed")) {
            options.seed = static_cast<unsigned long>(read_number("--seed", value("--seed"), 0, INT_MAX));
            options.seeded = true;
        } else if (std::strcmp(arg, "--verbose") == 0) {
            options.verbose = true;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            fail(std::string("unknown option \"") + arg + "\"");
        } else if (names == 0) {
            options.first = arg;
            ++names;
        } else if (names == 1) {
            options.second = arg;
            ++names;
        } else {
            fail(std::string("one player too many: \"") + arg + "\"");
        }
    }
    if (names < 2) fail(names == 0 ? "no players given" : "the second player is missing");
    check_name(options.first);
    check_name(options.second);
    // The computer player's search lists at most 25 moves a node: the points of the game's board.
    const bool tiku = std::strcmp(options.first, PERFECT) != 0 || std::strcmp(options.second, PERFECT) != 0;
    if (tiku && options.size * options.size > MM_MAX_MOVES)
        fail("the tiku players play on boards of at most 5 x 5, not " + std::to_string(options.size) + " x " +
             std::to_string(options.size));
    return options;
}

struct GAME_RESULT {
    int winner;
    int moves;       // stones placed
    double seconds;  // spent in the players' searches and the end tests
};

// game_play, with rand() seeded after the players are made: game_play's own seeding from the clock
// would repeat the same game for every game started within one second.
int perfect_move(void *solver, const BOARD *board, int colour, int *i, int *j) {
    return solve_perfect_move(static_cast<SOLVER *>(solver), board, colour, i, j);
}

void make_perfect(PLAYER *player, SOLVER *solver) {
    if (std::strcmp(player->name, PERFECT) != 0) return;
    player->choose = perfect_move;
    player->choose_data = solver;
}

GAME_RESULT play(const OPTIONS &options, unsigned seed, SOLVER *solver) {
    GAME *game = game_new(options.size, options.size);
    const int white = game_add_player(game, options.first, 0, STONE_WHITE);
    const int black = game_add_player(game, options.second, 0, STONE_BLACK);
    make_perfect(&game->players[white], solver);
    make_perfect(&game->players[black], solver);
    std::srand(seed);
    const auto start = std::chrono::steady_clock::now();
    const int winner = game_play_players(game, white, black, options.verbose);
    const auto stop = std::chrono::steady_clock::now();
    const GAME_RESULT result{winner, game->groups->moves.moves_num,
                             std::chrono::duration<double>(stop - start).count()};
    game_free(game);
    return result;
}

} // namespace

int main(int argc, char **argv) {
    const OPTIONS options = read_options(argc, argv);
    YTraceColors(YColorWanted(options.verbose && isatty(STDERR_FILENO), std::getenv("NO_COLOR"),
                              std::getenv("CLICOLOR_FORCE")));
    const unsigned long seed = options.seeded ? options.seed : static_cast<unsigned long>(std::time(nullptr));

    // What the perfect player proves stays in its table from game to game.
    SOLVER *solver = nullptr;
    if (std::strcmp(options.first, PERFECT) == 0 || std::strcmp(options.second, PERFECT) == 0) {
        solver = solver_new(options.size, options.size <= 5 ? 256 : 2048);
        if (!solver) {
            std::fprintf(stderr, "korvani-match: no memory for the perfect player's table\n");
            return 1;
        }
    }
    long wins[3] = {0, 0, 0};
    long moves = 0;
    double seconds = 0;
    for (long k = 0; k < options.games; ++k) {
        if (options.verbose) {
            std::printf("game %ld of %ld\n", k + 1, options.games);
            std::fflush(stdout); // before the boards on the error stream
        }
        const GAME_RESULT result = play(options, static_cast<unsigned>(seed + k), solver);
        ++wins[result.winner == STONE_WHITE ? STONE_WHITE : STONE_BLACK];
        moves += result.moves;
        seconds += result.seconds;
        std::fflush(stdout);
    }

    const std::string board = options.size == 5 ? "" : " on " + std::to_string(options.size) + " x " +
                                                       std::to_string(options.size);
    std::printf("%s (White) against %s (Black, moves first)%s: %ld game%s, seed %lu\n", options.first, options.second,
                board.c_str(), options.games, options.games == 1 ? "" : "s", seed);
    std::printf("White (%s) wins: %ld\n", options.first, wins[STONE_WHITE]);
    std::printf("Black (%s) wins: %ld\n", options.second, wins[STONE_BLACK]);
    std::printf("average length: %.1f moves\n", static_cast<double>(moves) / options.games);
    std::printf("time per move: %.1f us\n", moves > 0 ? seconds * 1e6 / moves : 0.0);
    solver_free(solver);
    return 0;
}
