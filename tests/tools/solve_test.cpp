// korvani-solve, run as a program: its errors and their status, a proof and the openings with their picture.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child.h"
#include "tests/tools/run_tool.h"

namespace {

const char USAGE[] =
    "usage: korvani-solve [--size N] [--moves \"c3 b4 ...\"] [--winning-moves | --openings] [--svg FILE] "
    "[--table MB] [--max-time SECONDS] [--nodes N] [--proof FILE] [--within PLIES] [--verbose]";

RUN run_solve(const std::string &args) { return run_tool(KORVANI_SOLVE, args); }

TEST(Solve, BadArgumentsGetOneErrorLineTheUsageAndStatus2) {
    struct ROW {
        const char *args;
        const char *error;
    };
    const ROW rows[] = {
        {"--fast", "unknown option \"--fast\""},
        {"5", "unexpected argument \"5\""},
        {"--size 1", "--size takes a whole number from 2 to 7, not \"1\""},
        {"--size 8", "not \"8\""},
        {"--size=x", "not \"x\""},
        {"--size", "--size needs a number"},
        {"--moves", "--moves needs the moves"},
        {"--moves 'c3 f3'", "move 2 \"f3\" is not a point of the 5 x 5 board"},
        {"--moves 'c6'", "move 1 \"c6\" is not a point of the 5 x 5 board"},
        {"--moves 'c0'", "move 1 \"c0\" is not a point"},
        {"--moves 'i3'", "move 1 \"i3\" is not a point"},
        {"--moves 'c3x'", "move 1 \"c3x\" is not a point"},
        {"--size 3 --moves 'd1'", "move 1 \"d1\" is not a point of the 3 x 3 board"},
        {"--moves 'c3 b2 C3'", "move 3 \"C3\" is on a taken point"},
        // a1 is taken at once by White's b1 after a2: the game is over.
        {"--moves 'a1 a2 c3 b1 e5'", "move 5 \"e5\" comes after the end of the game: White won with move 4"},
        {"--svg x.svg", "--svg draws the openings: give --openings too"},
        {"--table 0", "--table takes a whole number"},
        {"--max-time 0", "--max-time takes a whole number from 1"},
        {"--max-time", "--max-time needs a number"},
        {"--openings --winning-moves", "give --winning-moves or --openings, not both"},
        {"--openings --proof p", "--proof proves the value: give it without --openings"},
        {"--proof ''", "--proof needs a file name"},
        {"--within 0", "--within takes a whole number from 1 to 99"},
        {"--openings --within 9", "--within bounds the game's length: give it without --openings"},
        {"--nodes 0", "--nodes takes a whole number from 1"},
        {"--openings --nodes 9", "--nodes bounds the value's search: give it without --openings"},
    };
    for (const ROW &row : rows) {
        SCOPED_TRACE(std::string("korvani-solve ") + row.args);
        const RUN run = run_solve(row.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        const std::vector<std::string> lines = lines_of(run.err);
        ASSERT_EQ(lines.size(), 2u) << run.err;
        EXPECT_EQ(lines[0].rfind("korvani-solve: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(row.error), std::string::npos) << lines[0];
        EXPECT_EQ(lines[1], USAGE);
    }
}

TEST(Solve, ProvesTheValueAndNamesTheMovesOnlyWhenAsked) {
    const RUN value = run_solve("--size 3");
    ASSERT_EQ(value.status, 0) << value.err;
    std::vector<std::string> lines = lines_of(value.out);
    ASSERT_EQ(lines.size(), 5u) << value.out;
    EXPECT_EQ(lines[0], "3 x 3, 0 moves played, Black to move");
    EXPECT_EQ(lines[1], "Black wins with perfect play");
    EXPECT_EQ(lines[2].rfind("nodes: ", 0), 0u);
    EXPECT_EQ(lines[3].rfind("time: ", 0), 0u);
    EXPECT_EQ(lines[4].rfind("peak memory: ", 0), 0u);

    const RUN won = run_solve("--size 3 --winning-moves --verbose");
    ASSERT_EQ(won.status, 0) << won.err;
    lines = lines_of(won.out);
    ASSERT_EQ(lines.size(), 7u) << won.out;
    EXPECT_EQ(lines[2], "Black wins in 7 plies (the quickest win against the longest resistance)");
    EXPECT_EQ(lines[3], "winning moves for Black: b3 (wins in 7 plies) a2 (wins in 7 plies) b2 (wins in 7 plies) "
                        "c2 (wins in 7 plies) b1 (wins in 7 plies)");
    EXPECT_EQ(lines[4].rfind("nodes: ", 0), 0u);

    // After the centre White loses: the reply that resists longest, and how long.
    const RUN lost = run_solve("--size 3 --moves b2 --winning-moves");
    ASSERT_EQ(lost.status, 0) << lost.err;
    lines = lines_of(lost.out);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[1], "Black wins with perfect play");
    EXPECT_EQ(lines[2], "longest resistance for White: b3 a2 c2 b1 (loses in 6 plies)");

    // The game's length found, or bounded from below, two plies at a time (White to move loses in 6).
    lines = lines_of(run_solve("--size 3 --moves b2 --within 6").out);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[2], "Black needs more than 2 plies against the best defence");
    EXPECT_EQ(lines[3], "Black needs more than 4 plies against the best defence");
    EXPECT_EQ(lines[4], "White loses in 6 plies (the quickest win against the longest resistance)");
    EXPECT_EQ(lines_of(run_solve("--size 3 --moves b2 --within 5").out).at(4).rfind("nodes: ", 0), 0u);

    const RUN over = run_solve("--moves 'a1 a2 c3 b1'");
    EXPECT_EQ(over.status, 0);
    EXPECT_EQ(over.out, "5 x 5, 4 moves played\nthe game is over: White won with move 4\n");
}

// A proof of the empty 7 x 7 board takes far longer than a second on any machine: both ways of cutting it
// short meet it mid-search. The output goes to a file, where stdio would buffer it.
TEST(Solve, ARunCutShortKeepsWhatItPrintedAndSaysHowFarItGot) {
    const RUN limited = run_solve("--size 7 --table 16 --max-time 1");
    EXPECT_EQ(limited.status, 3);
    EXPECT_EQ(limited.out, "7 x 7, 0 moves played, Black to move\n");
    ASSERT_EQ(lines_of(limited.err).size(), 1u) << limited.err;
    EXPECT_EQ(limited.err.rfind("korvani-solve: stopped at the time limit of 1 s after ", 0), 0u) << limited.err;

    const RUN interrupted = run_tool("timeout", std::string("-s INT 1 '") + KORVANI_SOLVE + "' --size 7 --table 16");
    EXPECT_EQ(interrupted.out, "7 x 7, 0 moves played, Black to move\n");
    EXPECT_EQ(interrupted.err.rfind("korvani-solve: interrupted after ", 0), 0u) << interrupted.err;

    // A budget of nodes ends the search at the same point every time, with a status of its own and no
    // proof; one the search fits in changes nothing (the empty 5 x 5 takes 17 675 nodes).
    char proof[] = "/tmp/korvani_budgetXXXXXX";
    close(mkstemp(proof));
    std::remove(proof);
    const RUN budget = run_solve(std::string("--nodes 10000 --proof ") + proof);
    EXPECT_EQ(budget.status, 4);
    EXPECT_EQ(budget.out, "5 x 5, 0 moves played, Black to move\n");
    EXPECT_EQ(budget.err.rfind("korvani-solve: stopped at the budget of 10000 nodes, ", 0), 0u) << budget.err;
    EXPECT_NE(access(proof, F_OK), 0);
    const RUN enough = run_solve("--nodes 20000");
    EXPECT_EQ(enough.status, 0) << enough.err;
    EXPECT_EQ(lines_of(enough.out).at(1), "Black wins with perfect play");
}

// The proof's bytes wait beside its file until the walk ends: a walk cut short leaves neither behind.
TEST(Solve, AProofCutShortInItsWalkLeavesNoFile) {
    char folder[] = "/tmp/korvani_proofXXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string proof = std::string(folder) + "/p";
    const auto entries = [&] {
        std::vector<std::string> names;
        DIR *dir = opendir(folder);
        while (const dirent *entry = dir ? readdir(dir) : nullptr)
            if (entry->d_name[0] != '.') names.push_back(entry->d_name);
        if (dir) closedir(dir);
        return names;
    };
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        // A search of a second and a walk of half a minute: a table of 1 MB keeps little of the search.
        execl(KORVANI_SOLVE, "korvani-solve", "--size", "6", "--moves", "c4 d3 d4 d5", "--table", "1", "--proof",
              proof.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (entries().empty() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const std::vector<std::string> walking = entries();
    kill(child, SIGINT);
    const int status = wait_child(child, "korvani-solve, interrupted in its walk,");
    ASSERT_EQ(walking.size(), 1u) << "the walk did not begin within 60 s";
    EXPECT_EQ(walking[0].rfind("p.", 0), 0u) << walking[0];
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    EXPECT_TRUE(entries().empty()) << entries()[0];
    rmdir(folder);
}

TEST(Solve, OpeningsUpToSymmetryAndTheirPicture) {
    char svg[] = "/tmp/korvani_solve_svgXXXXXX";
    close(mkstemp(svg));
    const RUN run = run_solve(std::string("--size 3 --openings --svg ") + svg);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = lines_of(run.out);
    ASSERT_EQ(lines.size(), 8u) << run.out;
    // The centre first, then the edge points in board order; each with the points of its class.
    EXPECT_EQ(lines[2].substr(0, 17), "b2       wins    ");
    EXPECT_EQ(lines[3].substr(0, 17), "a3       loses   ");
    EXPECT_NE(lines[3].find("a3 c3 a1 c1"), std::string::npos) << lines[3];
    EXPECT_EQ(lines[4].substr(0, 17), "b3       wins    ");
    EXPECT_NE(lines[4].find("b3 a2 c2 b1"), std::string::npos) << lines[4];
    const std::string picture = read_file(svg);
    std::remove(svg);
    EXPECT_EQ(picture.rfind("<svg ", 0), 0u);
    size_t wins = 0;
    for (size_t at = picture.find(">W</text>"); at != std::string::npos; at = picture.find(">W</text>", at + 1)) ++wins;
    EXPECT_EQ(wins, 5u);
    EXPECT_NE(picture.find("</svg>"), std::string::npos);
    // The caption is held to a width within the picture's.
    const auto number_after = [&picture](const std::string &name) {
        const size_t at = picture.find(name + "=\"");
        return at == std::string::npos ? -1 : std::stoi(picture.substr(at + name.size() + 2));
    };
    EXPECT_GT(number_after("textLength"), 0);
    EXPECT_LE(number_after("textLength"), number_after("width") - 20);

    const RUN unwritable = run_solve("--size 2 --openings --svg /nonexistent/dir/x.svg");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_EQ(lines_of(unwritable.err).size(), 1u) << unwritable.err;
}

} // namespace
