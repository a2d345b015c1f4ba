// korvani-solve: who wins with perfect play, from the empty board or after the moves given.
//
//   korvani-solve [--size N] [--moves "c3 b4 ..."] [--winning-moves | --openings] [--svg FILE] [--table MB]
//                 [--max-time SECONDS] [--nodes N] [--proof FILE] [--within PLIES] [--verbose]
//
// The moves are in the game's notation, Black first and the colours alternating. It prints who wins and
// the nodes, time and peak memory of the proof. --winning-moves lists the winning moves (or, for a lost
// position, the move that resists longest); --openings gives the value of every distinct move of the
// position up to the symmetries of the board that keep it, and --svg draws them on the board. --verbose
// adds how many plies the game or each move wins or resists in, which takes an exact search and longer.
// --within finds the game's length when it is at most so many plies, else bounds it from below, two plies
// at a time, each bound on a line of its own as soon as it is proved: far sooner than --verbose's exact
// length when the plies are few, and a run cut short keeps the bound it reached.
// --proof writes the proof of the value for korvani-check, which replays it by the game's rules alone.
// --nodes gives the value's search a budget: a search that needs more stops with status 4 and writes no
// proof. Unlike --max-time it ends at the same point on every run, however loaded the machine, which is
// what korvani-master needs to split its work the same way each time.
// Every line is written as soon as it is complete, so that a run cut short by Ctrl-C or --max-time
// leaves all it had found.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <sstream>
#include <string>
#include <vector>

#include "engine/solve.h"
#include "model/board.h"
#include "tools/cli.h"
#include "tools/game_line.h"
#include "tools/process.h"

namespace {

const char USAGE[] =
    "usage: korvani-solve [--size N] [--moves \"c3 b4 ...\"] [--winning-moves | --openings] [--svg FILE] "
    "[--table MB] [--max-time SECONDS] [--nodes N] [--proof FILE] [--within PLIES] [--verbose]";

struct OPTIONS {
    int size = 5;
    std::string moves;
    bool openings = false;
    bool winning_moves = false;
    long max_time = 0; // seconds of wall time; 0: no limit
    long nodes = 0;      // the value's search at most; 0: no limit
    const char *svg = nullptr;
    const char *proof = nullptr;
    long table_mb = 0; // 0: by the size of the board
    int within = 0;    // plies; 0: not asked
    bool verbose = false;
};

const CLI cli{"korvani-solve", USAGE};

[[noreturn]] void fail(const std::string &message) { cli_fail(cli, message); }

long read_number(const char *option, const char *text, long low, long high) {
    return cli_number(cli, option, text, low, high);
}

OPTIONS read_options(int argc, char **argv) {
    OPTIONS options;
    for (int k = 1; k < argc; ++k) {
        const char *arg = argv[k];
        const auto is = [&](const char *option) {
            const size_t length = std::strlen(option);
            return std::strncmp(arg, option, length) == 0 && (arg[length] == '\0' || arg[length] == '=');
        };
        const auto value = [&](const char *option, const char *what) -> const char * {
            const size_t length = std::strlen(option);
            if (arg[length] == '=') return arg + length + 1;
            if (k + 1 >= argc) fail(std::string(option) + " needs " + what);
            return argv[++k];
        };
        if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            std::printf("%s\n\nWho wins the game with perfect play, from the empty board or after the moves given\n"
                        "(Black first, the colours alternating), with the nodes searched, the time and the\n"
                        "peak memory.\n"
                        "--size N             the board, N x N, N from 2 to 7 (default 5)\n"
                        "--winning-moves      also the winning moves, or the move that resists longest\n"
                        "--openings           the value of every distinct move, up to the board's symmetries\n"
                        "--svg FILE           with --openings: the board with each move marked as winning or losing\n"
                        "--table MB           the size of the transposition table\n"
                        "--max-time SECONDS   stop after so many seconds (wall time) with status 3 and what\n"
                        "                     was found so far\n"
                        "--nodes N            stop the value's search after N nodes with status 4, writing\n"
                        "                     no proof: a budget that ends each run at the same point\n"
                        "--proof FILE         write the proof of the value, for korvani-check\n"
                        "--within PLIES       the game's length if it is at most so many plies, else how many\n"
                        "                     plies the winner needs at least\n"
                        "--verbose            also how many plies the game or each move wins or resists in\n",
                        USAGE);
            std::exit(0);
        } else if (is("--size")) {
            options.size = static_cast<int>(
                read_number("--size", value("--size", "a number"), SOLVE_MIN_SIZE, SOLVE_MAX_SIZE));
        } else if (is("--moves")) {
            options.moves = value("--moves", "the moves");
        } else if (is("--svg")) {
            options.svg = value("--svg", "a file name");
            if (options.svg[0] == '\0') fail("--svg needs a file name");
        } else if (is("--proof")) {
            options.proof = value("--proof", "a file name");
            if (options.proof[0] == '\0') fail("--proof needs a file name");
        } else if (is("--table")) {
            options.table_mb = read_number("--table", value("--table", "a number"), 1, 1 << 20);
        } else if (is("--within")) {
            options.within = static_cast<int>(read_number("--within", value("--within", "a number"), 1, 99));
        } else if (is("--max-time")) {
            options.max_time = read_number("--max-time", value("--max-time", "a number"), 1, 100000000);
        } else if (is("--nodes")) {
            options.nodes = read_number("--nodes", value("--nodes", "a number"), 1, LONG_MAX);
        } else if (std::strcmp(arg, "--winning-moves") == 0) {
            options.winning_moves = true;
        } else if (std::strcmp(arg, "--openings") == 0) {
            options.openings = true;
        } else if (std::strcmp(arg, "--verbose") == 0) {
            options.verbose = true;
        } else if (arg[0] == '-' && arg[1] != '\0') {
            fail(std::string("unknown option \"") + arg + "\"");
        } else {
            fail(std::string("unexpected argument \"") + arg + "\"");
        }
    }
    if (options.svg && !options.openings) fail("--svg draws the openings: give --openings too");
    if (options.proof && options.openings) fail("--proof proves the value: give it without --openings");
    if (options.within && options.openings) fail("--within bounds the game's length: give it without --openings");
    if (options.nodes && options.openings) fail("--nodes bounds the value's search: give it without --openings");
    if (options.winning_moves && options.openings) fail("give --winning-moves or --openings, not both");
    return options;
}

// Thousands apart, as the README writes them.
std::string grouped(unsigned long long n) {
    std::string digits = std::to_string(n);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) digits.insert(static_cast<size_t>(at), " ");
    return digits;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The processor time of the process: on a shared machine the wall time says more about the others.
double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

double peak_megabytes() { return process_peak_megabytes(); }

std::string plies_text(int score) {
    const int plies = solve_plies(score);
    return std::string(score > 0 ? "wins" : "loses") + " in " + std::to_string(plies) + (plies == 1 ? " ply" : " plies");
}

// A long proof cut short (Ctrl-C, a kill, or --max-time): stdout is line-buffered, so every finished line
// is out already; the line being built (the winning moves found so far) is kept in a buffer of its own
// and written with write(), past stdio, followed by how far the search got.
const SOLVER *running = nullptr;
std::chrono::steady_clock::time_point running_since;
long time_limit = 0;
char pending[1024];
volatile std::sig_atomic_t pending_length = 0;
// The proof's bytes written so far, beside the proof's file until the walk ends; removed on a cut.
char spill_path[4096];
volatile std::sig_atomic_t spilling = 0;

// Appends to the line being built and to stdout's buffer: a cut leaves the line whole once.
void pending_add(const std::string &text) {
    std::fputs(text.c_str(), stdout);
    const size_t at = static_cast<size_t>(pending_length);
    if (at + text.size() < sizeof pending) {
        std::memcpy(pending + at, text.data(), text.size());
        pending_length = static_cast<std::sig_atomic_t>(at + text.size());
    }
}

void pending_end() {
    std::fputs("\n", stdout);
    pending_length = 0;
}

void write_all(int fd, const char *text, int length) {
    if (length > 0) (void)!write(fd, text, static_cast<size_t>(length));
}

// What a cut leaves: no spilled proof, and the line being built written whole, once.
void cut_short() {
    if (spilling) unlink(spill_path);
    if (pending_length > 0) {
        // Line-buffered, stdio still holds all of it: it is written here once, whole.
        write_all(STDOUT_FILENO, pending, static_cast<int>(pending_length));
        write_all(STDOUT_FILENO, " (cut short)\n", 13);
    }
}

void on_time_limit() {
    char text[200];
    const double seconds = seconds_since(running_since);
    const unsigned long long nodes = running ? running->nodes : 0;
    cut_short();
    write_all(STDERR_FILENO, text,
              std::snprintf(text, sizeof text,
                            "korvani-solve: stopped at the time limit of %ld s after %llu nodes, %.1f s\n",
                            time_limit, nodes, seconds));
    _exit(3);
}

void on_stop(int signal_number) {
    char text[200];
    const double seconds = seconds_since(running_since);
    const unsigned long long nodes = running ? running->nodes : 0;
    cut_short();
    write_all(STDERR_FILENO, text,
              std::snprintf(text, sizeof text, "korvani-solve: interrupted after %llu nodes, %.1f s\n", nodes, seconds));
    std::signal(signal_number, SIG_DFL);
    std::raise(signal_number);
}

// The board with its stones and each empty point marked by the value of playing there.
void write_svg(const char *path, const SOLVER *solver, const GAME_SO_FAR &game, const std::vector<int> &value_at) {
    const int size = solver->size;
    const int step = 48;
    const int margin = 40;
    const std::string caption = std::string(side_name(game.to_move)) + " to move: W wins, L loses (perfect play)";
    // DejaVu Sans at 13 px averages under 7 px a character; textLength below holds the caption to that
    // width in any other font too, so it always fits. The board is centred when the caption is wider.
    const int caption_width = static_cast<int>(caption.size()) * 7;
    const int board_width = 2 * margin + (size - 1) * step;
    const int width = std::max(board_width, caption_width + 20);
    const int left = (width - board_width) / 2 + margin;
    const int height = board_width + 40;
    std::string svg;
    char line[512];
    std::snprintf(line, sizeof line,
                  "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\" "
                  "font-family=\"DejaVu Sans, sans-serif\">\n",
                  width, height, width, height);
    svg += line;
    std::snprintf(line, sizeof line, "<rect width=\"%d\" height=\"%d\" fill=\"#e8c37e\"/>\n", width, height);
    svg += line;
    const int last_x = left + (size - 1) * step;
    const int last_y = margin + (size - 1) * step;
    for (int k = 0; k < size; ++k) {
        const int x = left + k * step;
        const int y = margin + k * step;
        std::snprintf(line, sizeof line,
                      "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"black\"/>\n"
                      "<line x1=\"%d\" y1=\"%d\" x2=\"%d\" y2=\"%d\" stroke=\"black\"/>\n",
                      left, y, last_x, y, x, margin, x, last_y);
        svg += line;
        std::snprintf(line, sizeof line,
                      "<text x=\"%d\" y=\"%d\" font-size=\"13\" text-anchor=\"middle\">%c</text>\n"
                      "<text x=\"%d\" y=\"%d\" font-size=\"13\" text-anchor=\"middle\">%d</text>\n",
                      x, last_y + 28, board_column_letter(k), left - 24, y + 5, size - k);
        svg += line;
    }
    const char *mover_fill = game.to_move == STONE_BLACK ? "black" : "white";
    const char *other_fill = game.to_move == STONE_BLACK ? "white" : "black";
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j) {
            const int point = solve_point(i, j);
            const int x = left + j * step;
            const int y = margin + i * step;
            const char *fill = nullptr;
            if (game.position.mover & solve_bit(point)) fill = mover_fill;
            if (game.position.other & solve_bit(point)) fill = other_fill;
            if (fill) {
                std::snprintf(line, sizeof line, "<circle cx=\"%d\" cy=\"%d\" r=\"20\" fill=\"%s\" stroke=\"black\"/>\n",
                              x, y, fill);
            } else {
                const bool wins = value_at[point] > 0;
                std::snprintf(line, sizeof line,
                              "<circle cx=\"%d\" cy=\"%d\" r=\"15\" fill=\"%s\"/>"
                              "<text x=\"%d\" y=\"%d\" font-size=\"14\" font-weight=\"bold\" fill=\"white\" "
                              "text-anchor=\"middle\">%s</text>\n",
                              x, y, wins ? "#2e7d32" : "#c62828", x, y + 5, wins ? "W" : "L");
            }
            svg += line;
        }
    std::snprintf(line, sizeof line,
                  "<text x=\"%d\" y=\"%d\" font-size=\"13\" text-anchor=\"middle\" textLength=\"%d\" "
                  "lengthAdjust=\"spacingAndGlyphs\">%s</text>\n</svg>\n",
                  width / 2, height - 10, caption_width, caption.c_str());
    svg += line;

    FILE *out = std::fopen(path, "w");
    bool written = out && std::fwrite(svg.data(), 1, svg.size(), out) == svg.size();
    if (out) written = std::fclose(out) == 0 && written;
    if (!written) {
        std::fprintf(stderr, "korvani-solve: cannot write \"%s\": %s\n", path, std::strerror(errno));
        std::exit(1);
    }
}

void print_openings(SOLVER *solver, const OPTIONS &options, const GAME_SO_FAR &game) {
    std::vector<int> value_at(64, 0);
    std::printf("%-8s %-8s %12s %10s  %s\n", "move", "value", "nodes", "time", "points");
    const auto all = std::chrono::steady_clock::now();
    const double all_cpu = cpu_seconds();
    const uint64_t nodes_before = solver->nodes;
    for (const std::vector<int> &points : move_classes(solver, game.position)) {
        const auto start = std::chrono::steady_clock::now();
        const uint64_t nodes = solver->nodes;
        const int value = solve_move_score(solver, game.position, points[0], options.verbose ? 1 : 0);
        std::string names;
        for (int q : points) {
            value_at[q] = value;
            names += (names.empty() ? "" : " ") + point_name(solver->size, q);
        }
        std::printf("%-8s %-8s %12s %9.3fs  %s%s\n", point_name(solver->size, points[0]).c_str(),
                    value > 0 ? "wins" : "loses", grouped(solver->nodes - nodes).c_str(), seconds_since(start),
                    names.c_str(), options.verbose ? (" (" + plies_text(value) + ")").c_str() : "");
        std::fflush(stdout);
    }
    std::printf("nodes: %s\n", grouped(solver->nodes - nodes_before).c_str());
    std::printf("time: %.3f s (CPU %.3f s)\n", seconds_since(all), cpu_seconds() - all_cpu);
    std::printf("peak memory: %.1f MB\n", peak_megabytes());
    if (options.svg) write_svg(options.svg, solver, game, value_at);
}

[[noreturn]] void cannot_write(const std::string &path) {
    const int error = errno;
    if (spilling) unlink(spill_path);
    std::fprintf(stderr, "korvani-solve: cannot write \"%s\": %s\n", path.c_str(), std::strerror(error));
    std::exit(1);
}

// The proof for korvani-check: a few lines that say what is proved, then the bytes of the walk. The bytes
// go to a file beside the proof's as the walk finds them, so that a proof of gigabytes is never held in
// memory, and the proof's own file is written only once the walk has ended.
void write_proof(const char *path, SOLVER *solver, const OPTIONS &options, const GAME_SO_FAR &game, int value) {
    const auto start = std::chrono::steady_clock::now();
    const double start_cpu = cpu_seconds();
    const std::string spill_name = std::string(path) + ".XXXXXX";
    if (spill_name.size() >= sizeof spill_path) {
        errno = ENAMETOOLONG;
        cannot_write(path);
    }
    std::memcpy(spill_path, spill_name.c_str(), spill_name.size() + 1);
    // A cut between the file's making and the flag would leave the file behind.
    process_cuts_hold();
    const int spill_fd = mkstemp(spill_path);
    spilling = spill_fd >= 0;
    process_cuts_release();
    if (spill_fd < 0) cannot_write(path);
    SOLVE_PROOF proof;
    proof.spill = fdopen(spill_fd, "w+b");
    if (!proof.spill) cannot_write(spill_path);
    if (!solve_write_proof(solver, game.position, &proof)) {
        unlink(spill_path);
        std::fprintf(stderr, "korvani-solve: the search could not back its proof: nothing written\n");
        std::exit(1);
    }
    if (proof.spill_failed || std::fflush(proof.spill) != 0) cannot_write(spill_path);
    std::istringstream in(options.moves);
    std::string moves;
    for (std::string text; in >> text;) moves += " " + text;
    const std::string head = "korvani proof 4\nsize " + std::to_string(solver->size) + "\nmoves" + moves +
                             "\nwinner " + side_name(value > 0 ? game.to_move : stone_opponent(game.to_move)) +
                             "\nremembered " + std::to_string(proof.remembered) + "\nproof\n";
    FILE *out = std::fopen(path, "wb");
    if (!out) cannot_write(path);
    bool written = std::fwrite(head.data(), 1, head.size(), out) == head.size();
    std::rewind(proof.spill);
    std::vector<char> chunk(size_t{1} << 20);
    for (size_t n; written && (n = std::fread(chunk.data(), 1, chunk.size(), proof.spill)) > 0;)
        written = std::fwrite(chunk.data(), 1, n, out) == n;
    written = !std::ferror(proof.spill) && std::fclose(out) == 0 && written;
    if (!written) cannot_write(path);
    std::fclose(proof.spill);
    unlink(spill_path);
    spilling = 0;
    std::printf("proof: %s, %s positions, %s bytes, %.3f s (CPU %.3f s)\n", path, grouped(proof.positions).c_str(),
                grouped(head.size() + proof.spilled).c_str(), seconds_since(start), cpu_seconds() - start_cpu);
}

void print_value(SOLVER *solver, const OPTIONS &options, const GAME_SO_FAR &game) {
    const int mover = game.to_move;
    const auto start = std::chrono::steady_clock::now();
    const double start_cpu = cpu_seconds();
    const int value = options.nodes ? solve_value_within(solver, game.position, static_cast<uint64_t>(options.nodes))
                                    : solve_value(solver, game.position);
    if (value == 0) {
        std::fprintf(stderr, "korvani-solve: stopped at the budget of %ld nodes, %.1f s (CPU %.3f s)\n", options.nodes,
                     seconds_since(start), cpu_seconds() - start_cpu);
        std::exit(4);
    }
    std::printf("%s wins with perfect play\n", side_name(value > 0 ? mover : stone_opponent(mover)));
    if (options.verbose) {
        const int score = solve_score(solver, game.position);
        std::printf("%s %s (the quickest win against the longest resistance)\n", side_name(mover),
                    plies_text(score).c_str());
    }
    if (options.within) {
        // Two plies at a time, as the winner's last move comes on every other ply; the table of each step
        // speeds the next, so the whole costs about as much as its last step.
        const char *winner = side_name(value > 0 ? mover : stone_opponent(mover));
        for (int plies = value > 0 ? 1 : 2; plies <= options.within; plies += 2) {
            if (solve_wins_within(solver, game.position, value > 0, plies)) {
                std::printf("%s %s (the quickest win against the longest resistance)\n", side_name(mover),
                            plies_text(value > 0 ? SOLVE_WIN - plies : -(SOLVE_WIN - plies)).c_str());
                break;
            }
            std::printf("%s needs more than %d %s against the best defence\n", winner, plies, plies == 1 ? "ply" : "plies");
        }
    }
    if (options.winning_moves && value > 0) {
        pending_add(std::string("winning moves for ") + side_name(mover) + ":");
        for (uint64_t left = solver->board & ~(game.position.mover | game.position.other); left; left &= left - 1) {
            const int q = __builtin_ctzll(left);
            if (solve_move_score(solver, game.position, q, 0) <= 0) continue;
            std::string listed = " " + point_name(solver->size, q);
            if (options.verbose) listed += " (" + plies_text(solve_move_score(solver, game.position, q, 1)) + ")";
            pending_add(listed);
        }
        pending_end();
    } else if (options.winning_moves) {
        int points[64];
        int score = 0;
        const int n = solve_best_moves(solver, game.position, points, &score);
        std::string listed;
        for (int k = 0; k < n; ++k) listed += " " + point_name(solver->size, points[k]);
        std::printf("longest resistance for %s:%s (%s)\n", side_name(mover), listed.c_str(), plies_text(score).c_str());
    }
    std::printf("nodes: %s\n", grouped(solver->nodes).c_str());
    std::printf("time: %.3f s (CPU %.3f s)\n", seconds_since(start), cpu_seconds() - start_cpu);
    if (options.proof) write_proof(options.proof, solver, options, game, value);
    std::printf("peak memory: %.1f MB\n", peak_megabytes());
}

} // namespace

int main(int argc, char **argv) {
    const OPTIONS options = read_options(argc, argv);
    // Each line out as soon as it is complete: an output to a file or a pipe keeps what a cut run found.
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    // Enough for the 5 x 5 proofs to keep what they find; 6 x 6 and 7 x 7 need all they can get.
    const size_t table_mb = options.table_mb > 0 ? static_cast<size_t>(options.table_mb)
                            : options.size <= 4 ? 16
                            : options.size == 5 ? 64
                                                : 2048;
    GAME_SO_FAR game;
    {
        // The moves are checked before the table is made: a mistake there is answered at once.
        SOLVER *rules = solver_new(options.size, 0);
        const std::string error = rules ? replay(rules, options.moves, &game) : "";
        solver_free(rules);
        if (!error.empty()) fail(error);
    }
    SOLVER *solver = solver_new(options.size, table_mb);
    if (!solver) {
        std::fprintf(stderr, "korvani-solve: no memory for a table of %zu MB\n", table_mb);
        return 1;
    }
    running = solver;
    running_since = std::chrono::steady_clock::now();
    std::signal(SIGINT, on_stop);
    std::signal(SIGTERM, on_stop);
    if (options.max_time > 0) {
        time_limit = options.max_time;
        process_time_limit(options.max_time, on_time_limit);
    }
    std::string heading = std::to_string(options.size) + " x " + std::to_string(options.size) + ", " +
                          std::to_string(game.played) + (game.played == 1 ? " move" : " moves") + " played";
    if (!game.winner) heading += std::string(", ") + side_name(game.to_move) + " to move";
    std::printf("%s\n", heading.c_str());
    if (game.winner) {
        std::printf("the game is over: %s won with move %d\n", side_name(game.winner), game.played);
    } else if (options.openings) {
        print_openings(solver, options, game);
    } else {
        print_value(solver, options, game);
    }
    solver_free(solver);
    return 0;
}
