// korvani-check: replays a proof written by korvani-solve --proof and says whether it holds.
//
//   korvani-check [--whole-board] FILE...
//   korvani-check --conclude LOG...
//
// It trusts nothing of the solver: it plays every move on the game's own board and judges it with the
// game's own rules engine: the end test from what the move changed (groups_check_move), which says what
// the whole-board end test (groups_check_end) says wherever the game was going on before the move, as it
// is before every move played here; --whole-board runs the whole-board test beside it after every move
// and stops at a difference. Where the winner is to move and a group of the loser has one dame
// (groups_last_dame), the winner plays there, which must capture; the proof says nothing of such a
// position. Otherwise the proof names one move, which must not lose at once. Where the loser is to move
// every reply is tried, and none may capture. A position of the winner is remembered: met again (the same
// stones), it was proved the first time and is not walked again; the solver's walk skips it in the same
// way, so the bytes stay in step. (Proofs of the earlier format 3 remembered only the positions that
// needed more than three plies and walked the others, with a byte, each time: they are read so too.)
// There is no search here, no table of values and no shortcut of the rules; the walk uses no symmetry.
//
// Prints how many plies, at most, the winner needs against any defence when following the proof: an
// upper bound of the game's length with perfect play. Status 0 accepted, 1 rejected, 2 not a proof, 3
// every proof accepted but, given as the parts of one, not covering every reply (not concluded), 4 the
// quicker tests and the whole board's analysis differ (--whole-board).
//
// Several proofs are checked one after the other. When they prove one side's win after each reply of the
// other side to the same moves, and every reply without a proof loses at once, they prove that win after
// those moves, which is said on a last line: a proof too large for one run is checked in parts. There a
// reply's proof stands for its mirror images where the position is its own (conclude). --conclude
// concludes the same way from the logs of parts checked before, each by a run of its own, so that parts
// can be checked side by side: it takes each log's line that says its proof was accepted as it stands,
// or the line of a conclusion, so that conclusions feed the one above; and where the winner is to move
// after the logs' common moves, one log of a winning move of its own concludes.
//
// --help prints the usage and the statuses.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "engine/groups.h"
#include "model/board.h"
#include "tools/process.h"

namespace {

[[noreturn]] void unreadable(const std::string &message) {
    std::fprintf(stderr, "korvani-check: %s\nusage: korvani-check [--whole-board] FILE...\n"
                         "       korvani-check --conclude LOG...\n", message.c_str());
    std::exit(2);
}

const char *side_name(int colour) { return colour == STONE_BLACK ? "Black" : "White"; }

// The winner's positions already checked, each with the most plies the winner needs from it. A position is
// its board read as a number in base 3 (0 empty, 1 Black, 2 White): one word on boards up to 6 x 6
// (3^36 < 2^58), two on 7 x 7, the plies (at least 1) in the top six bits of the last, so that no entry is
// all zero, which marks a free slot. The proof's head says how many it remembers: the table is made once
// with room for them and a third more, and never grows; a proof that would remember more is rejected.
struct MEMO {
    int words = 1;
    size_t entries = 0; // at most
    size_t slots = 0;
    std::vector<uint64_t> table;
    size_t used = 0;
};

constexpr int PLIES_SHIFT = 58;
constexpr uint64_t KEY_MASK = (uint64_t{1} << PLIES_SHIFT) - 1;

void memo_make(MEMO &m, int size, size_t entries) {
    m.words = size <= 6 ? 1 : 2;
    m.entries = entries;
    m.slots = entries + entries / 3 + 1;
    m.table.assign(m.slots * m.words, 0);
}

// The slot that holds the key, or the free one where it would go.
uint64_t *memo_slot(MEMO &m, const uint64_t *key) {
    const uint64_t h = (key[0] ^ key[m.words - 1] * 0xC2B2AE3D27D4EB4Full) * 0x9E3779B97F4A7C15ull;
    size_t k = static_cast<size_t>((static_cast<unsigned __int128>(h) * m.slots) >> 64);
    for (;; k = k + 1 == m.slots ? 0 : k + 1) {
        uint64_t *slot = &m.table[k * m.words];
        const uint64_t last = slot[m.words - 1];
        if (last == 0 && slot[0] == 0) return slot;
        if ((last & KEY_MASK) == key[m.words - 1] && (m.words == 1 || slot[0] == key[0])) return slot;
    }
}

struct CHECK {
    BOARD *board;
    GROUPS *groups;
    std::string proof;
    size_t at = 0;
    int winner = 0;
    MEMO proved;                                   // each position of the winner's move: the plies it needs
    uint64_t unremembered = 0;                     // the winner's won within three plies, each time met
    uint64_t defences = 0;                         // positions of the loser walked
    std::vector<int> line;                         // the moves from the proof's start (8i + j), for the message
    std::string failure;
    bool whole_board = false;                      // the whole board's analysis beside every quicker test
    bool remember_all = true;                      // format 4; format 3 remembers only beyond three plies
};

std::string line_text(const CHECK &c) {
    std::string moves;
    for (const int point : c.line) moves += std::string(" ") + board_point_name(c.board, point / 8, point % 8);
    return moves.empty() ? " at the start" : " after" + moves;
}

// A quicker test and the whole board's analysis disagree: a fault of the checker, not of the proof.
[[noreturn]] void different(const CHECK &c, const char *what) {
    std::fprintf(stderr, "korvani-check: %s from the move and from the whole board differ%s\n", what, line_text(c).c_str());
    std::exit(4);
}

// Plays (i, j) for colour through the game's records: 1 the mover won, -1 lost, 0 the game goes on. The
// end test is the one from what the move changed, which holds wherever the game was going on before it:
// every move the check plays is one (a move that ends the game is taken back at once). With whole_board
// the whole board's analysis decides too, and a difference ends the check.
int play(CHECK &c, int colour, int i, int j) {
    board_set_move(c.board, colour, i, j);
    groups_add_move(c.groups, colour, i, j);
    c.line.push_back(8 * i + j);
    int white_lost = 0;
    int black_lost = 0;
    groups_check_move(c.groups, &white_lost, &black_lost);
    if (c.whole_board) {
        int white_whole = 0;
        int black_whole = 0;
        groups_check_end(c.groups, 0, &white_whole, &black_whole);
        if (white_whole != white_lost || black_whole != black_lost) different(c, "the end test");
    }
    if (!white_lost && !black_lost) return 0;
    return (white_lost ? STONE_WHITE : STONE_BLACK) == colour ? -1 : 1;
}

void take_back(CHECK &c, int i, int j) {
    board_clear_point(c.board, i, j);
    --c.groups->moves.moves_num;
    c.line.pop_back();
}

// The position's key for the memo (see MEMO), without the plies.
void key_of(const CHECK &c, uint64_t *key) {
    unsigned __int128 number = 0;
    for (int p = c.board->rows * c.board->cols - 1; p >= 0; --p)
        number = number * 3 + (c.board->cells[p] == STONE_BLACK ? 1 : c.board->cells[p] == STONE_WHITE ? 2 : 0);
    key[0] = static_cast<uint64_t>(number);
    key[1] = static_cast<uint64_t>(number >> 64);
    if (c.proved.words == 1) key[0] &= KEY_MASK;
}

// -1 with the failure set, or the most plies the winner needs from here.
int fail(CHECK &c, const std::string &why) {
    c.failure = why + line_text(c);
    return -1;
}

int check(CHECK &c, int colour) {
    const int size = c.board->rows;
    int plies = 0; // a loser without any move gives up: the game ends here
    if (colour == c.winner) {
        int i = -1;
        int j = -1;
        const int atari = groups_last_dame(c.groups, stone_opponent(colour), &i, &j);
        if (c.whole_board) {
            groups_find(c.groups, nullptr);
            int whole_i = -1;
            int whole_j = -1;
            for (int g = 0; g < c.groups->groups_num && whole_i < 0; ++g) {
                const GROUP &group = c.groups->groups[g];
                if (group.colour != stone_opponent(colour) || group.dame != 1) continue;
                whole_i = group.dame_i[0];
                whole_j = group.dame_j[0];
            }
            if (whole_i != (atari ? i : -1) || whole_j != (atari ? j : -1)) different(c, "the group at one dame");
        }
        if (atari) {
            plies = play(c, colour, i, j) > 0 ? 1 : fail(c, "the move on the last dame does not capture");
            take_back(c, i, j);
            return plies;
        }
        uint64_t key[2];
        key_of(c, key);
        uint64_t *slot = memo_slot(c.proved, key);
        if (slot[c.proved.words - 1] != 0) return static_cast<int>(slot[c.proved.words - 1] >> PLIES_SHIFT);
        if (c.at >= c.proof.size()) return fail(c, "the proof ends too early");
        const int point = static_cast<unsigned char>(c.proof[c.at++]);
        i = point / 8;
        j = point % 8;
        if (j >= size || !board_is_empty(c.board, i, j))
            return fail(c, "the proof's move " + std::to_string(point) + " is not an empty point");
        const int end = play(c, colour, i, j);
        if (end < 0) plies = fail(c, "the proof's move loses at once");
        else if (end > 0) plies = 1;
        else {
            const int rest = check(c, stone_opponent(colour));
            plies = rest < 0 ? -1 : rest + 1;
        }
        take_back(c, i, j);
        if (plies < 0) return -1;
        if (plies <= 3 && !c.remember_all) {
            ++c.unremembered;
            return plies;
        }
        if (c.proved.used == c.proved.entries) return fail(c, "the proof remembers more positions than its head says");
        // The walk below filled other slots, and this one may be among them: found anew.
        slot = memo_slot(c.proved, key);
        for (int w = 0; w < c.proved.words; ++w) slot[w] = key[w];
        slot[c.proved.words - 1] |= static_cast<uint64_t>(plies) << PLIES_SHIFT;
        ++c.proved.used;
        return plies;
    }
    ++c.defences;
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j) {
            if (!board_is_empty(c.board, i, j)) continue;
            const int end = play(c, colour, i, j);
            int rest = 1;
            if (end > 0) rest = fail(c, "the defence captures");
            else if (end == 0) {
                rest = check(c, stone_opponent(colour));
                if (rest >= 0) ++rest;
            }
            take_back(c, i, j);
            if (rest < 0) return -1;
            plies = std::max(plies, rest);
        }
    return plies;
}

// Plays the point named in the game's notation for colour: false unless it is an empty point of the board,
// named as the board names it, and the game goes on after it.
bool play_named(CHECK &c, int colour, const std::string &name) {
    const int size = c.board->rows;
    int i = -1;
    int j = -1;
    board_parse_point(c.board, name.c_str(), &i, &j);
    return i >= 0 && i < size && j >= 0 && j < size && board_point_name(c.board, i, j) == name &&
           board_is_empty(c.board, i, j) && play(c, colour, i, j) == 0;
}

// What one accepted proof claims.
struct CLAIM {
    int size = 0;
    int winner = 0;
    std::vector<std::string> moves; // as its head names them
    int plies = 0;
};

// Checks one proof file, says what became of it, and returns the status: 0 accepted (claim set),
// 1 rejected. A file that is no proof ends the program with status 2.
int check_file(const char *path, bool whole_board, CLAIM *claim) {
    std::ifstream in(path, std::ios::binary);
    if (!in) unreadable(std::string("cannot read \"") + path + "\"");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    // The head: "korvani proof 4" (or 3, the earlier format), "size N", "moves ...", "winner Black|White", "remembered N", "proof",
    // then the bytes.
    std::vector<std::string> head;
    size_t at = 0;
    while (head.size() < 6) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) unreadable("not a proof: its head is cut short");
        head.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    const int size = head[1].rfind("size ", 0) == 0 ? std::atoi(head[1].c_str() + 5) : 0;
    const unsigned long long remembered =
        head[4].rfind("remembered ", 0) == 0 ? std::strtoull(head[4].c_str() + 11, nullptr, 10) : 0;
    if ((head[0] != "korvani proof 4" && head[0] != "korvani proof 3") || size < 2 || size > 7 || head[1] != "size " + std::to_string(size) ||
        head[2].rfind("moves", 0) != 0 || (head[3] != "winner Black" && head[3] != "winner White") ||
        head[4] != "remembered " + std::to_string(remembered) || head[5] != "proof")
        unreadable("not a proof: its head is not as korvani-solve writes it");

    CHECK c;
    c.whole_board = whole_board;
    c.remember_all = head[0] == "korvani proof 4";
    c.board = board_new(size, size);
    c.groups = groups_create(size, size, c.board);
    text.erase(0, at);
    c.proof = std::move(text);
    // No proof remembers more positions than it has bytes.
    memo_make(c.proved, size, std::min<unsigned long long>(remembered, c.proof.size()));
    c.winner = head[3] == "winner Black" ? STONE_BLACK : STONE_WHITE;
    claim->size = size;
    claim->winner = c.winner;
    std::istringstream moves(head[2].substr(5));
    int colour = STONE_BLACK;
    for (std::string name; moves >> name; colour = stone_opponent(colour)) {
        if (!play_named(c, colour, name))
            unreadable("not a proof: its move \"" + name + "\" is not a move of a game going on");
        claim->moves.push_back(name);
    }
    const std::clock_t start = std::clock();
    const int plies = check(c, colour);
    const double seconds = static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC;
    if (plies >= 0 && c.at != c.proof.size()) fail(c, "the proof goes on after its end");
    groups_free(c.groups);
    board_free(c.board);
    if (plies < 0 || !c.failure.empty()) {
        std::printf("rejected: %s\n", c.failure.c_str());
        return 1;
    }
    claim->plies = plies;
    std::printf("accepted: %s wins on %d x %d after the moves%s, within %d plies against any defence\n",
                side_name(c.winner), size, size, head[2].size() > 5 ? head[2].substr(5).c_str() : " (none)", plies);
    std::printf("positions: %zu of the winner remembered, %llu more met, %llu of the loser walked, CPU time: %.3f s, "
                "peak memory: %.1f MB\n",
                c.proved.used, static_cast<unsigned long long>(c.unremembered), static_cast<unsigned long long>(c.defences), seconds,
                process_peak_megabytes());
    return 0;
}

// Whether text, from at on, is ", by the N proofs above" (or "the 1 proof above") as conclude prints it.
bool by_proofs_above(const std::string &text, size_t at) {
    const std::string by = ", by the ";
    if (text.compare(at, by.size(), by) != 0) return false;
    const size_t digits = at + by.size();
    const size_t end = text.find_first_not_of("0123456789", digits);
    if (end == digits || end == std::string::npos) return false;
    const std::string rest = text.substr(end);
    return rest == (text.compare(digits, end - digits, "1") == 0 ? " proof above" : " proofs above");
}

// The claim of a proof accepted before, from the log of its check: the first line of the file that says
// a proof was accepted, as check_file prints it, or a conclusion of parts as conclude prints it (so that
// a conclusion feeds the one above it). 0 when there is none.
int claim_from_log(const char *path, CLAIM *claim) {
    std::ifstream in(path, std::ios::binary);
    if (!in) unreadable(std::string("cannot read \"") + path + "\"");
    const std::string tail = " plies against any defence";
    for (std::string line; std::getline(in, line);) {
        char winner[8] = "";
        int size = 0;
        int size_again = 0;
        int moves_at = 0;
        const size_t tail_at = line.rfind(tail);
        if (std::sscanf(line.c_str(), "accepted: %7s wins on %d x %d after the moves%n", winner, &size, &size_again, &moves_at) != 3 ||
            moves_at == 0 || size != size_again || size < 2 || size > 7 ||
            (std::strcmp(winner, "Black") != 0 && std::strcmp(winner, "White") != 0) || tail_at == std::string::npos ||
            (tail_at + tail.size() != line.size() && !by_proofs_above(line, tail_at + tail.size())))
            continue;
        const size_t within = line.rfind(", within ", tail_at);
        if (within == std::string::npos || within < static_cast<size_t>(moves_at)) continue;
        const std::string plies = line.substr(within + 9, tail_at - within - 9);
        if (plies.empty() || plies.size() > 2 || plies.find_first_not_of("0123456789") != std::string::npos) continue;
        claim->size = size;
        claim->winner = winner[0] == 'B' ? STONE_BLACK : STONE_WHITE;
        claim->plies = std::atoi(plies.c_str());
        std::istringstream moves(line.substr(moves_at, within - moves_at));
        claim->moves.clear();
        for (std::string name; moves >> name;)
            if (name != "(none)") claim->moves.push_back(name);
        return 1;
    }
    return 0;
}

// The image of point (i, j) under the board's symmetry t, 0 to 7: t & 4 swaps rows and columns, then
// t & 1 turns the rows over and t & 2 the columns; 0 is the identity.
void mirror(int size, int t, int *i, int *j) {
    if (t & 4) std::swap(*i, *j);
    if (t & 1) *i = size - 1 - *i;
    if (t & 2) *j = size - 1 - *j;
}

// Whether symmetry t leaves every point of the board as it is.
bool keeps(const BOARD *board, int t) {
    const int size = board->rows;
    for (int i = 0; i < size; ++i)
        for (int j = 0; j < size; ++j) {
            int mi = i;
            int mj = j;
            mirror(size, t, &mi, &mj);
            if (board->cells[i * size + j] != board->cells[mi * size + mj]) return false;
        }
    return true;
}

// Proofs of one win after each reply of the loser to the same moves prove that win after those moves:
// the step a proof's walk takes where the loser is to move, taken over the files. Every reply must have
// its proof, or lose at once; none may capture. Where the position is its own mirror image, a reply's
// proof stands for each reply it is the image of: the rules see only which points are neighbours, and a
// mirror keeps them, so the proof with every move mirrored back proves that reply.
// With winners_move, proofs of one side's win after its own moves from the same position prove that win
// there too: the winner plays the move of the quickest (korvani-master's cuts where the winner is to move).
// Returns 1 when concluded, 0 when they are the replies to one position but one reply lacks its proof
// (not concluded), -1 when they are not the replies to one position (each proof stands alone).
int conclude(const std::vector<CLAIM> &claims, bool winners_move) {
    const CLAIM &first = claims[0];
    const std::vector<std::string> before(first.moves.begin(), first.moves.empty() ? first.moves.end() : first.moves.end() - 1);
    std::string named;
    for (const std::string &m : before) named += " " + m;
    for (const CLAIM &claim : claims)
        if (claim.size != first.size || claim.winner != first.winner || claim.moves.size() != before.size() + 1 ||
            !std::equal(before.begin(), before.end(), claim.moves.begin()))
            return -1;
    const std::string proofs_above = claims.size() == 1 ? "proof above" : "proofs above";
    const int loser = before.size() % 2 == 0 ? STONE_BLACK : STONE_WHITE;
    if (loser == first.winner && winners_move) {
        int plies = first.plies;
        for (const CLAIM &claim : claims) plies = std::min(plies, claim.plies);
        std::printf("accepted: %s wins on %d x %d after the moves%s, within %d plies against any defence, by the %zu %s\n",
                    side_name(first.winner), first.size, first.size, named.empty() ? " (none)" : named.c_str(), plies + 1,
                    claims.size(), proofs_above.c_str());
        return 1;
    }
    if (loser == first.winner) return -1;
    CHECK c;
    c.board = board_new(first.size, first.size);
    c.groups = groups_create(first.size, first.size, c.board);
    int colour = STONE_BLACK;
    for (const std::string &name : before) {
        play_named(c, colour, name); // a move of each proof's head, which was found good
        colour = stone_opponent(colour);
    }
    bool kept[8]; // the symmetries the position keeps
    for (int t = 0; t < 8; ++t) kept[t] = keeps(c.board, t);
    int plies = 0;
    std::string missing;
    for (int i = 0; i < first.size && missing.empty(); ++i)
        for (int j = 0; j < first.size && missing.empty(); ++j) {
            if (!board_is_empty(c.board, i, j)) continue;
            const std::string name = board_point_name(c.board, i, j);
            int rest = -1;
            for (int t = 0; t < 8; ++t) {
                if (!kept[t]) continue;
                int mi = i;
                int mj = j;
                mirror(first.size, t, &mi, &mj);
                const std::string image = board_point_name(c.board, mi, mj);
                for (const CLAIM &claim : claims)
                    if (claim.moves.back() == image) rest = std::max(rest, claim.plies + 1);
            }
            if (rest < 0) {
                // A reply without a proof counts only if it loses at once.
                if (play(c, colour, i, j) < 0) rest = 1;
                take_back(c, i, j);
            }
            if (rest < 0) missing = name;
            plies = std::max(plies, rest);
        }
    groups_free(c.groups);
    board_free(c.board);
    if (!missing.empty()) {
        std::printf("not concluded: no proof after the moves%s %s\n", named.c_str(), missing.c_str());
        return 0;
    }
    std::printf("accepted: %s wins on %d x %d after the moves%s, within %d plies against any defence, by the %zu %s\n",
                side_name(first.winner), first.size, first.size, named.empty() ? " (none)" : named.c_str(), plies,
                claims.size(), proofs_above.c_str());
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::printf("usage: korvani-check [--whole-board] FILE...\n       korvani-check --conclude LOG...\n"
                    "       korvani-check --help\n\n"
                    "Replays each proof written by korvani-solve --proof with the game's own rules and says\n"
                    "whether it holds. Proofs of every reply to the same moves conclude the win after them.\n\n"
                    "--whole-board  after every move, the whole board's analysis beside the quicker end test\n"
                    "               from what the move changed; a difference ends the check with status 4\n"
                    "--conclude     concludes from the logs of checks run before, one for each part: the\n"
                    "               first line of each that says a proof was accepted (or concluded), taken\n"
                    "               as it stands; where the winner is to move, one winning move suffices\n\n"
                    "Status: 0 every proof accepted (and concluded, when given as parts), 1 a proof rejected,\n"
                    "2 a file that is not a proof (or a log without an accepted proof), 3 every proof accepted\n"
                    "but the parts do not cover every reply (not concluded), 4 the quicker tests and the\n"
                    "whole board's analysis differ (a fault of the checker).\n");
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    bool whole_board = false;
    bool from_logs = false;
    int first = 1;
    for (; first < argc && argv[first][0] == '-'; ++first) {
        if (std::strcmp(argv[first], "--whole-board") == 0) whole_board = true;
        else if (std::strcmp(argv[first], "--conclude") == 0) from_logs = true;
        else unreadable(std::string("unknown option \"") + argv[first] + "\"");
    }
    if (whole_board && from_logs) unreadable("--conclude replays nothing: give it without --whole-board");
    if (first >= argc) unreadable(from_logs ? "give the logs of the parts' checks" : "give one proof file or more");
    for (int k = first; k < argc; ++k)
        if (argv[k][0] == '-') unreadable(std::string("unknown option \"") + argv[k] + "\"");
    std::vector<CLAIM> claims;
    int status = 0;
    for (int k = first; k < argc; ++k) {
        CLAIM claim;
        if (from_logs) {
            if (!claim_from_log(argv[k], &claim))
                unreadable(std::string("\"") + argv[k] + "\" says of no proof that it was accepted");
            claims.push_back(claim);
        } else if (check_file(argv[k], whole_board, &claim) == 0) {
            claims.push_back(claim);
        } else {
            status = 1;
        }
    }
    if (status == 0 && from_logs) {
        // Logs are given only to conclude: they must be the parts of one proof.
        const int concluded = conclude(claims, true);
        if (concluded < 0) std::printf("not concluded: the logs are not of the replies to the same moves\n");
        if (concluded <= 0) status = 3;
    } else if (status == 0 && claims.size() > 1 && conclude(claims, false) == 0) {
        status = 3;
    }
    return status;
}
