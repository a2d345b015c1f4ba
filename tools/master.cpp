// korvani-master: proves who wins after an opening by sending the work out as jobs and finding the parts
// itself.
//
//   korvani-master [--size N] [--moves "c4 ..."] --nodes N --out DIR [--jobs N] [--slurm] [--sbatch "ARGS"]
//                  [--max-time SECONDS] [--table MB] [--solve PROGRAM] [--check PROGRAM]
//
// A job is one position: korvani-solve proves its value within a budget of nodes and writes the proof, and
// korvani-check checks it. The first job is the position after the opening. A job that runs out of its
// budget is cut: each distinct move there (up to the mirrors the position keeps; a move that loses at
// once needs none) becomes a job of its own. Where the side to move at a cut turns out the loser, every
// move must be proved; where it turns out the winner, one move suffices (its answer, as White's c4 after
// b5 on 6 x 6): the jobs are chosen by proof numbers (next_job), so a move refuted below is left for its
// siblings, and once one wins, the rest below the cut are dropped (a running job cancelled). A cut whose value is known is concluded by
// korvani-check --conclude from the logs below it, whose own conclusions feed the one above: the run's
// value is the last of them, and rests on every part accepted by korvani-check.
//
// The jobs run, --jobs at a time, as local processes or with --slurm as Slurm jobs (sbatch, polled with
// squeue, cancelled with scancel, with SLURM_CONF from the environment), in a folder all the nodes share.
// The tree is kept in DIR/master.state, a plain text file replaced whole after every change, and every
// file a job leaves is moved into place only once whole, so the same command after a stop goes on where
// it was: what is done is not done again, a local job cut short is sent again, a Slurm job still queued
// or running is waited for, and a part that failed is tried again. A budget of nodes ends every run of a
// job at the same point, so the same command splits the work the same way; --max-time, a job's wall time,
// counts as running out of the budget but does not repeat. Status 0 the value proved, 1 a part failed
// (the rest go on first), 2 bad arguments, 128 + the signal when stopped.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tools/cli.h"
#include "tools/game_line.h"

namespace {

const char USAGE[] = "usage: korvani-master [--size N] [--moves \"c4 ...\"] --nodes N --out DIR [--jobs N] [--slurm] "
                     "[--sbatch \"ARGS\"] [--max-time SECONDS] [--table MB] [--solve PROGRAM] [--check PROGRAM]";

const CLI cli{"korvani-master", USAGE};

[[noreturn]] void fail(const std::string &message) { cli_fail(cli, message); }

struct OPTIONS {
    int size = 5;
    std::string moves;  // the opening, one space between moves
    long nodes = 0;     // each job's budget
    long max_time = 0;  // each job's wall time; 0: none
    long table_mb = 0;  // each job's table; 0: korvani-solve's own choice
    long jobs = 2;      // local processes at a time
    bool slurm = false;
    std::string sbatch; // more arguments for sbatch
    std::string out;
    std::string solve;
    std::string check;
};

// The folder of this program, where korvani-solve and korvani-check are built beside it.
std::string own_folder() {
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return ".";
    path[n] = '\0';
    std::string text(path);
    return text.substr(0, text.rfind('/'));
}

OPTIONS read_options(int argc, char **argv) {
    OPTIONS options;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        const auto value = [&](const char *what) -> std::string {
            if (k + 1 >= argc) fail(arg + " needs " + what);
            return argv[++k];
        };
        const auto number = [&](long low, long high) { return cli_number(cli, arg.c_str(), value("a number").c_str(), low, high); };
        if (arg == "--help" || arg == "-h") {
            std::printf("%s\n\nProves who wins after the opening by sending the work out as jobs: each a run of\n"
                        "korvani-solve within a budget of nodes, and of korvani-check on its proof. A job that\n"
                        "runs out of its budget is cut into the positions after each move, and each cut is\n"
                        "concluded by korvani-check --conclude. The tree is kept in DIR: the same command\n"
                        "after a stop goes on where it was.\n"
                        "--size N           the board, N x N, N from 2 to 7 (default 5)\n"
                        "--moves \"...\"      the opening, Black first\n"
                        "--nodes N          each job's budget of nodes for its search\n"
                        "--out DIR          the folder of the tree, the jobs, their proofs and logs\n"
                        "--jobs N           jobs at a time, local or in Slurm's queue (default 2)\n"
                        "--slurm            send the jobs to Slurm with sbatch, SLURM_CONF from the environment\n"
                        "--sbatch \"ARGS\"    more arguments for sbatch, split at blanks\n"
                        "--max-time SECONDS each job's wall time too, counted as its budget (does not repeat)\n"
                        "--table MB         each job's transposition table\n"
                        "--solve PROGRAM    korvani-solve (default: beside this program)\n"
                        "--check PROGRAM    korvani-check (default: beside this program)\n\n"
                        "Status: 0 the value proved, 1 a part failed, 2 bad arguments, 128 + the signal when\n"
                        "stopped.\n",
                        USAGE);
            std::exit(0);
        } else if (arg == "--size") {
            options.size = static_cast<int>(number(SOLVE_MIN_SIZE, SOLVE_MAX_SIZE));
        } else if (arg == "--moves") {
            std::istringstream in(value("the moves"));
            for (std::string move; in >> move;) options.moves += (options.moves.empty() ? "" : " ") + move;
        } else if (arg == "--nodes") {
            options.nodes = number(1, LONG_MAX);
        } else if (arg == "--max-time") {
            options.max_time = number(1, 100000000);
        } else if (arg == "--table") {
            options.table_mb = number(1, 1 << 20);
        } else if (arg == "--jobs") {
            options.jobs = number(1, 1000);
        } else if (arg == "--slurm") {
            options.slurm = true;
        } else if (arg == "--sbatch") {
            options.sbatch = value("the arguments");
        } else if (arg == "--out") {
            options.out = value("a folder");
        } else if (arg == "--solve") {
            options.solve = value("a program");
        } else if (arg == "--check") {
            options.check = value("a program");
        } else if (arg[0] == '-') {
            fail("unknown option \"" + arg + "\"");
        } else {
            fail("unexpected argument \"" + arg + "\"");
        }
    }
    if (options.nodes == 0) fail("give each job its budget: --nodes N");
    if (options.out.empty()) fail("give the folder of the run: --out DIR");
    if (options.solve.empty()) options.solve = own_folder() + "/korvani-solve";
    if (options.check.empty()) options.check = own_folder() + "/korvani-check";
    return options;
}

// A node of the tree: a position, by the moves from the empty board. The tree is kept in preorder: a
// node's children come right after it, in the order they are tried.
enum STATE { WAIT, SENT, PROVED, SPLIT, CONCLUDED, DROPPED, FAILED };
const char *const STATE_NAMES[] = {"wait", "sent", "proved", "split", "concluded", "dropped", "failed"};

struct NODE {
    std::vector<std::string> moves;
    STATE state = WAIT;
    int winner = 0;   // proved or concluded: who wins
    std::string job;  // sent: the local process's id or Slurm's job id
    int unseen = 0;   // polls that found a Slurm job ended without its result
};

struct MASTER {
    OPTIONS options;
    std::vector<NODE> nodes; // nodes[0] the position after the opening
    bool any_failed = false;
};

std::string name_of(const NODE &node) {
    std::string name;
    for (const std::string &move : node.moves) name += (name.empty() ? "" : "-") + move;
    return name.empty() ? "start" : name;
}

std::string moves_text(const NODE &node) {
    std::string text;
    for (const std::string &move : node.moves) text += (text.empty() ? "" : " ") + move;
    return text;
}

std::string file_of(const MASTER &m, const NODE &node, const char *ending) {
    return m.options.out + "/" + name_of(node) + ending;
}

bool exists(const std::string &path) { return access(path.c_str(), F_OK) == 0; }

std::string read_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A whole file or nothing: written beside, then renamed over.
bool write_whole(const std::string &path, const std::string &text) {
    const std::string part = path + ".part";
    FILE *out = std::fopen(part.c_str(), "w");
    if (!out) return false;
    bool written = std::fwrite(text.data(), 1, text.size(), out) == text.size();
    written = std::fflush(out) == 0 && fsync(fileno(out)) == 0 && written;
    written = std::fclose(out) == 0 && written;
    return written && std::rename(part.c_str(), path.c_str()) == 0;
}

std::string quoted(const std::string &text) {
    std::string q = "'";
    for (const char c : text) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// The settings a run's folder keeps: a run goes on only with the same ones.
std::string settings(const OPTIONS &o) {
    return "size " + std::to_string(o.size) + "\nmoves " + o.moves + "\nnodes " + std::to_string(o.nodes) + "\ntable " +
           std::to_string(o.table_mb) + "\nmax-time " + std::to_string(o.max_time) + "\n";
}

void save(const MASTER &m) {
    std::string text = "korvani-master 1\n" + settings(m.options);
    for (const NODE &node : m.nodes) {
        text += std::string("node ") + STATE_NAMES[node.state] + " " + (node.winner ? side_name(node.winner) : "-") + " " +
                (node.job.empty() ? "-" : node.job);
        for (const std::string &move : node.moves) text += " " + move;
        text += "\n";
    }
    if (!write_whole(m.options.out + "/master.state", text)) {
        std::fprintf(stderr, "korvani-master: cannot write \"%s/master.state\": %s\n", m.options.out.c_str(), std::strerror(errno));
        std::exit(1);
    }
}

// The tree of an earlier run in the folder; false when there is none.
bool load(MASTER &m) {
    const std::string path = m.options.out + "/master.state";
    if (!exists(path)) return false;
    std::istringstream in(read_text(path));
    std::string line;
    std::getline(in, line);
    std::string head = "";
    for (int k = 0; k < 5 && std::getline(in, line); ++k) head += line + "\n";
    if (head != settings(m.options))
        fail("\"" + path + "\" is of a run with other settings:\n" + head + "start it with those, or in another folder");
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        std::string state;
        std::string winner;
        NODE node;
        words >> word >> state >> winner >> node.job;
        if (node.job == "-") node.job.clear();
        int s = 0;
        while (s <= FAILED && state != STATE_NAMES[s]) ++s;
        if (word != "node" || s > FAILED) fail("\"" + path + "\" is not as korvani-master writes it: \"" + line + "\"");
        node.state = static_cast<STATE>(s);
        node.winner = winner == "Black" ? STONE_BLACK : winner == "White" ? STONE_WHITE : 0;
        for (std::string move; words >> move;) node.moves.push_back(move);
        m.nodes.push_back(node);
    }
    return !m.nodes.empty();
}

// The script of a node's job: the proof within the budget, then its check. Each file is moved into place
// once whole; the result, the job's last word, says "proved", "budget" or "failed: why".
std::string job_script(const MASTER &m, const NODE &node) {
    const OPTIONS &o = m.options;
    const std::string n = name_of(node);
    std::string solve = quoted(o.solve) + " --size " + std::to_string(o.size) + " --moves " + quoted(moves_text(node)) +
                        " --nodes " + std::to_string(o.nodes);
    if (o.table_mb) solve += " --table " + std::to_string(o.table_mb);
    if (o.max_time) solve += " --max-time " + std::to_string(o.max_time);
    return "#!/bin/sh\n# korvani-master's job: the position after " + (node.moves.empty() ? "(none)" : moves_text(node)) +
           "\necho \"on ${SLURMD_NODENAME:-$(hostname)}\"\ncd " + quoted(o.out) + " || exit 1\n" + solve + " --proof " + n + ".proof.part >" + n +
           ".solve.log.part 2>&1\nstatus=$?\nmv " + n + ".solve.log.part " + n +
           ".solve.log\ncase $status in\n"
           "0) mv " + n + ".proof.part " + n + ".proof\n"
           "   " + quoted(o.check) + " " + n + ".proof >" + n + ".check.log 2>&1\n"
           "   status=$?\n"
           "   if [ $status = 0 ]; then mv " + n + ".check.log " + n + ".checked; result=proved\n"
           "   else result=\"failed: korvani-check ended with status $status\"; fi ;;\n"
           "3|4) result=budget ;;\n"
           "*) result=\"failed: korvani-solve ended with status $status\" ;;\n"
           "esac\necho \"$result\" >" + n + ".result.part && mv " + n + ".result.part " + n + ".result\n";
}

// How the jobs run: local processes, or Slurm's.
// The local jobs' processes not yet waited for.
std::set<pid_t> local_running;

void send(MASTER &m, size_t k) {
    NODE &node = m.nodes[k];
    const std::string script = file_of(m, node, ".job");
    std::remove(file_of(m, node, ".result").c_str());
    if (!write_whole(script, job_script(m, node))) {
        std::fprintf(stderr, "korvani-master: cannot write \"%s\": %s\n", script.c_str(), std::strerror(errno));
        std::exit(1);
    }
    const std::string output = file_of(m, node, ".out");
    if (m.options.slurm) {
        const std::string command = "sbatch --parsable --job-name=korvani-master --output=" + quoted(output) + " " +
                                    m.options.sbatch + " " + quoted(script) + " 2>&1";
        FILE *pipe = popen(command.c_str(), "r");
        char line[512] = "";
        const bool read = pipe && std::fgets(line, sizeof line, pipe);
        const int status = pipe ? pclose(pipe) : -1;
        const std::string id = std::string(line).substr(0, std::strcspn(line, ";\n"));
        if (!read || status != 0 || id.empty() || id.find_first_not_of("0123456789") != std::string::npos) {
            std::printf("failed: %s: sbatch said \"%s\"\n", moves_text(node).c_str(), std::string(line).substr(0, std::strcspn(line, "\n")).c_str());
            node.state = FAILED;
            m.any_failed = true;
            return;
        }
        node.job = id;
    } else {
        const pid_t pid = fork();
        if (pid == 0) {
            setpgid(0, 0); // its own group, so that a cancel ends the checker and the solver with it
            const int fd = open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) {
                dup2(fd, 1);
                dup2(fd, 2);
            }
            execl("/bin/sh", "sh", script.c_str(), static_cast<char *>(nullptr));
            _exit(127);
        }
        if (pid < 0) {
            std::fprintf(stderr, "korvani-master: cannot start a job: %s\n", std::strerror(errno));
            std::exit(1);
        }
        setpgid(pid, pid);
        local_running.insert(pid);
        node.job = std::to_string(pid);
    }
    node.state = SENT;
    std::printf("sent: %s (%s %s)\n", node.moves.empty() ? "(none)" : moves_text(node).c_str(),
                m.options.slurm ? "Slurm job" : "process", node.job.c_str());
}

// Whether a local process of an earlier run still runs this node's job.
bool runs_job(const MASTER &m, const NODE &node) {
    const std::string cmdline = read_text("/proc/" + node.job + "/cmdline");
    return cmdline.find(file_of(m, node, ".job")) != std::string::npos;
}

void cancel(MASTER &m, NODE &node) {
    if (m.options.slurm) {
        (void)!std::system(("scancel " + node.job + " >/dev/null 2>&1").c_str());
    } else {
        const pid_t pid = static_cast<pid_t>(std::atol(node.job.c_str()));
        kill(-pid, SIGTERM);
        if (local_running.erase(pid)) waitpid(pid, nullptr, 0);
    }
    node.job.clear();
}

// Who won, by the accepted line of a check's log or a conclusion's; 0 when it has none.
int winner_in(const std::string &log) {
    char winner[8] = "";
    std::istringstream in(read_text(log));
    for (std::string line; std::getline(in, line);)
        if (std::sscanf(line.c_str(), "accepted: %7s wins", winner) == 1)
            return std::strcmp(winner, "Black") == 0 ? STONE_BLACK : std::strcmp(winner, "White") == 0 ? STONE_WHITE : 0;
    return 0;
}

std::string first_line(const std::string &path) {
    std::istringstream in(read_text(path));
    std::string line;
    std::getline(in, line);
    return line;
}

// A node out of its budget: the positions after each distinct move become its children, tried from the
// centre outward. A move that loses at once needs no proof (the conclusion counts it by the rules).
void split(MASTER &m, size_t k) {
    SOLVER *rules = solver_new(m.options.size, 0);
    GAME_SO_FAR game;
    const std::string error = replay(rules, moves_text(m.nodes[k]), &game);
    std::vector<NODE> children;
    bool captures = false;
    for (const std::vector<int> &points : move_classes(rules, game.position)) {
        SOLVE_POSITION child;
        const int kind = solve_play(rules, game.position, points[0], &child);
        if (kind == SOLVE_SUICIDE) continue;
        NODE node;
        node.moves = m.nodes[k].moves;
        node.moves.push_back(point_name(m.options.size, points[0]));
        // A capture at once is found by any budget: the job should have proved it.
        captures = captures || kind == SOLVE_CAPTURE;
        children.push_back(node);
    }
    solver_free(rules);
    NODE &node = m.nodes[k];
    node.job.clear();
    if (!error.empty() || children.empty() || captures) {
        std::printf("failed: %s ran out of its budget but has no moves to cut into\n", moves_text(node).c_str());
        node.state = FAILED;
        m.any_failed = true;
        return;
    }
    node.state = SPLIT;
    std::printf("split: %s, out of its budget, into %zu positions\n", node.moves.empty() ? "(none)" : moves_text(node).c_str(),
                children.size());
    m.nodes.insert(m.nodes.begin() + static_cast<long>(k) + 1, children.begin(), children.end());
}

// A job has ended: its result decides the node.
void ended(MASTER &m, size_t k) {
    NODE &node = m.nodes[k];
    const std::string result = first_line(file_of(m, node, ".result"));
    if (result == "proved" && winner_in(file_of(m, node, ".checked"))) {
        node.state = PROVED;
        node.job.clear();
        node.winner = winner_in(file_of(m, node, ".checked"));
        std::printf("proved: %s\n", first_line(file_of(m, node, ".checked")).c_str());
    } else if (result == "budget") {
        split(m, k);
    } else {
        std::printf("failed: %s: %s\n", moves_text(node).c_str(), result.empty() ? "the job ended without its result" : result.c_str());
        node.state = FAILED;
        node.job.clear();
        m.any_failed = true;
    }
}

bool resolved(const NODE &node) { return node.state == PROVED || node.state == CONCLUDED; }

std::string log_of(const MASTER &m, const NODE &node) {
    return file_of(m, node, node.state == PROVED ? ".checked" : ".concluded");
}

size_t subtree_end(const MASTER &m, size_t k) {
    size_t end = k + 1;
    while (end < m.nodes.size() && m.nodes[end].moves.size() > m.nodes[k].moves.size()) ++end;
    return end;
}

// Concludes every cut whose value is known, from the deepest up (preorder backwards), with
// korvani-check --conclude on its children's logs; what is left below a concluded cut is dropped.
void settle(MASTER &m) {
    for (size_t k = m.nodes.size(); k-- > 0;) {
        NODE &node = m.nodes[k];
        if (node.state != SPLIT) continue;
        const int mover = node.moves.size() % 2 == 0 ? STONE_BLACK : STONE_WHITE;
        const size_t end = subtree_end(m, k);
        std::vector<size_t> children;
        for (size_t c = k + 1; c < end; c = subtree_end(m, c)) children.push_back(c);
        std::vector<size_t> by;
        for (const size_t c : children)
            if (resolved(m.nodes[c]) && m.nodes[c].winner == mover && by.empty()) by.push_back(c);
        if (by.empty()) {
            for (const size_t c : children)
                if (resolved(m.nodes[c])) by.push_back(c);
            if (by.size() < children.size()) continue;
        }
        std::string command = quoted(m.options.check) + " --conclude";
        for (const size_t c : by) command += " " + quoted(log_of(m, m.nodes[c]));
        const std::string log = file_of(m, node, ".concluded");
        const int status = std::system((command + " >" + quoted(log + ".part") + " 2>&1").c_str());
        if (status != 0 || std::rename((log + ".part").c_str(), log.c_str()) != 0 || !winner_in(log)) {
            // Kept as it is, with its children: a run again concludes it again.
            node.state = FAILED;
            m.any_failed = true;
            std::printf("failed: %s not concluded: %s\n", moves_text(node).c_str(), first_line(log + ".part").c_str());
            continue;
        }
        node.state = CONCLUDED;
        node.winner = winner_in(log);
        std::printf("concluded: %s\n", first_line(log).c_str());
        for (size_t d = k + 1; d < end; ++d) {
            NODE &below = m.nodes[d];
            if (below.state == SENT) cancel(m, below);
            if (!resolved(below) && below.state != FAILED) below.state = DROPPED;
        }
    }
}

volatile sig_atomic_t stop_signal = 0;
void on_stop(int signal_number) { stop_signal = signal_number; }

// Waits for a job to end (a local process, or a Slurm job gone from the queue) and takes its result.
void wait_for_jobs(MASTER &m) {
    if (!m.options.slurm) {
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0); // a stop ends the wait early
        if (pid <= 0 || !local_running.erase(pid)) return;
        for (size_t k = 0; k < m.nodes.size(); ++k)
            if (m.nodes[k].state == SENT && m.nodes[k].job == std::to_string(pid)) ended(m, k);
        return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(1));
    FILE *pipe = popen("squeue -h -o %i --name=korvani-master 2>/dev/null", "r");
    if (!pipe) return;
    std::string queued = " ";
    char line[128];
    while (std::fgets(line, sizeof line, pipe)) queued += std::string(line).substr(0, std::strcspn(line, "\n")) + " ";
    if (pclose(pipe) != 0) return; // the controller did not answer: ask again
    std::vector<std::string> gone; // by their jobs: a split moves the nodes
    for (NODE &node : m.nodes) {
        if (node.state != SENT || queued.find(" " + node.job + " ") != std::string::npos) continue;
        // A job's files may reach a shared folder a little after it leaves the queue.
        if (!exists(file_of(m, node, ".result")) && ++node.unseen < 5) continue;
        gone.push_back(node.job);
    }
    for (const std::string &job : gone)
        for (size_t k = 0; k < m.nodes.size(); ++k)
            if (m.nodes[k].state == SENT && m.nodes[k].job == job) ended(m, k);
}

// Which job to send next, by proof numbers: how many positions at least must still be proved for the
// side to move at the start to win (proof), and for it to lose (disproof). A position not yet proved
// counts 1 each way; a cut where that side is to move needs one child proved and every child disproved,
// a cut where the other side is, the reverse. From the top, the next job lies below the child with the
// least proof where that side is to move and the least disproof where the other is, among the children
// with a job still to send: a move that has met its refutation is left for its siblings, however deep
// its own cut goes, and the cheapest proof of either outcome grows first.
constexpr uint64_t INFINITE = UINT64_MAX / 4;

struct NUMBERS {
    uint64_t proof = 1;
    uint64_t disproof = 1;
    bool waiting = false; // a job below still to send
};

NUMBERS numbers(const MASTER &m, size_t k, std::vector<NUMBERS> &all) {
    const NODE &node = m.nodes[k];
    const int first_mover = m.nodes[0].moves.size() % 2 == 0 ? STONE_BLACK : STONE_WHITE;
    NUMBERS n;
    if (resolved(node)) {
        n.proof = node.winner == first_mover ? 0 : INFINITE;
        n.disproof = node.winner == first_mover ? INFINITE : 0;
    } else if (node.state == SPLIT) {
        const bool first_to_move = node.moves.size() % 2 == m.nodes[0].moves.size() % 2;
        n.proof = first_to_move ? INFINITE : 0;
        n.disproof = first_to_move ? 0 : INFINITE;
        for (size_t c = k + 1; c < subtree_end(m, k); c = subtree_end(m, c)) {
            const NUMBERS child = numbers(m, c, all);
            n.proof = first_to_move ? std::min(n.proof, child.proof) : std::min(INFINITE, n.proof + child.proof);
            n.disproof = first_to_move ? std::min(INFINITE, n.disproof + child.disproof) : std::min(n.disproof, child.disproof);
            n.waiting = n.waiting || child.waiting;
        }
    } else {
        n.waiting = node.state == WAIT;
    }
    all[k] = n;
    return n;
}

// The node to send next, SIZE_MAX when none waits to be sent.
size_t next_job(const MASTER &m) {
    std::vector<NUMBERS> all(m.nodes.size());
    if (!numbers(m, 0, all).waiting) return SIZE_MAX;
    size_t k = 0;
    while (m.nodes[k].state != WAIT) {
        const bool first_to_move = m.nodes[k].moves.size() % 2 == m.nodes[0].moves.size() % 2;
        const auto value = [&](size_t c) { return first_to_move ? all[c].proof : all[c].disproof; };
        uint64_t least = INFINITE;
        for (size_t c = k + 1; c < subtree_end(m, k); c = subtree_end(m, c))
            if (all[c].waiting) least = std::min(least, value(c));
        // The first in the order of moves within twice the least: the search stays with a move while it
        // costs about what the best would, rather than swinging between moves of equal promise.
        size_t c = k + 1;
        while (!all[c].waiting || value(c) > 2 * least) c = subtree_end(m, c);
        k = c;
    }
    return k;
}

size_t running(const MASTER &m) {
    size_t n = 0;
    for (const NODE &node : m.nodes) n += node.state == SENT;
    return n;
}

// The figures of the run, from the jobs' logs: CPU time of the searches, the proofs' walks and the checks.
void figures(const MASTER &m) {
    double search = 0, wasted = 0, walk = 0, check = 0;
    unsigned long long positions = 0;
    int proved = 0, cut = 0, dropped = 0;
    for (const NODE &node : m.nodes) {
        proved += node.state == PROVED;
        cut += node.state == SPLIT || node.state == CONCLUDED;
        dropped += node.state == DROPPED;
        std::istringstream log(read_text(file_of(m, node, ".solve.log")) + read_text(file_of(m, node, ".checked")));
        for (std::string line; std::getline(log, line);) {
            const size_t cpu = line.rfind("(CPU ");
            const double seconds = cpu == std::string::npos ? 0 : std::atof(line.c_str() + cpu + 5);
            if (line.rfind("time: ", 0) == 0) search += seconds;
            if (line.find("stopped at the budget") != std::string::npos) wasted += seconds;
            if (line.rfind("proof: ", 0) == 0) {
                walk += seconds;
                std::string digits;
                for (size_t at = line.find(", ") + 2; at < line.size() && line[at] != 'p'; ++at)
                    if (line[at] >= '0' && line[at] <= '9') digits += line[at];
                positions += std::strtoull(digits.c_str(), nullptr, 10);
            }
            const size_t checked = line.find("CPU time: ");
            if (line.rfind("positions: ", 0) == 0 && checked != std::string::npos) check += std::atof(line.c_str() + checked + 10);
        }
    }
    std::printf("parts: %d proved, %d cut and concluded, %d dropped; CPU: %.1f s searching and %.1f s in the searches "
                "cut, %.1f s writing the proofs (%llu positions), %.1f s checking\n",
                proved, cut, dropped, search, wasted, walk, positions, check);
}

} // namespace

int main(int argc, char **argv) {
    MASTER m;
    m.options = read_options(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    {
        SOLVER *rules = solver_new(m.options.size, 0);
        GAME_SO_FAR game;
        const std::string error = replay(rules, m.options.moves, &game);
        solver_free(rules);
        if (!error.empty()) fail(error);
        if (game.winner) fail("the game is over after the opening: " + std::string(side_name(game.winner)) + " won");
    }
    for (const std::string &program : {m.options.solve, m.options.check})
        if (access(program.c_str(), X_OK) != 0) fail("cannot run \"" + program + "\"");
    mkdir(m.options.out.c_str(), 0755);
    // Two masters on one folder would each send the other's jobs again: the second is refused. The lock
    // goes with the process, however it ends.
    const int lock = open((m.options.out + "/master.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0) fail("cannot use the folder \"" + m.options.out + "\": " + std::strerror(errno));
    if (flock(lock, LOCK_EX | LOCK_NB) != 0) fail("another korvani-master runs in \"" + m.options.out + "\"");
    if (m.options.out[0] != '/') {
        char here[4096];
        if (getcwd(here, sizeof here)) m.options.out = std::string(here) + "/" + m.options.out;
    }
    if (load(m)) {
        // A part that failed is tried again; a local job of the run before is sent again, unless it ended
        // with its result meanwhile.
        for (size_t k = 0; k < m.nodes.size(); ++k) {
            NODE &node = m.nodes[k];
            if (node.state == FAILED) node.state = subtree_end(m, k) > k + 1 ? SPLIT : WAIT;
            if (node.state != SENT || m.options.slurm) continue;
            if (!exists(file_of(m, node, ".result")) && runs_job(m, node)) {
                kill(-static_cast<pid_t>(std::atol(node.job.c_str())), SIGKILL);
                for (int wait = 0; wait < 100 && runs_job(m, node); ++wait)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            if (exists(file_of(m, node, ".result"))) ended(m, k);
            else node.state = WAIT;
        }
        std::printf("resumed: %zu positions in the tree\n", m.nodes.size());
    } else {
        NODE root;
        std::istringstream in(m.options.moves);
        for (std::string move; in >> move;) root.moves.push_back(move);
        m.nodes.push_back(root);
    }
    struct sigaction stop{};
    stop.sa_handler = on_stop; // no SA_RESTART: a stop ends the wait for a job
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGTERM, &stop, nullptr);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        settle(m);
        save(m);
        if (resolved(m.nodes[0]) || stop_signal) break;
        for (size_t k; running(m) < static_cast<size_t>(m.options.jobs) && (k = next_job(m)) != SIZE_MAX;) send(m, k);
        save(m);
        if (running(m) == 0) break;
        wait_for_jobs(m);
    }
    if (stop_signal) {
        // Local jobs end with the master; Slurm's go on, and a run again waits for them.
        for (NODE &node : m.nodes)
            if (node.state == SENT && !m.options.slurm) {
                cancel(m, node);
                node.state = WAIT;
            }
        save(m);
        std::printf("stopped: the same command goes on from here\n");
        return 128 + stop_signal;
    }
    figures(m);
    std::printf("time: %.1f s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    if (!resolved(m.nodes[0])) {
        std::printf("not proved: %s\n", m.any_failed ? "a part failed (above); the same command tries it again"
                                                      : "nothing left to send");
        return 1;
    }
    std::printf("%s\n", first_line(log_of(m, m.nodes[0])).c_str());
    return 0;
}
