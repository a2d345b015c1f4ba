// korvani-check: replays a proof written by korvani-solve --proof and says whether it holds.
//
//   korvani-check FILE
//
// It trusts nothing of the solver: it plays every move on the game's own board and judges it with the
// game's own end test (groups_check_end), exactly as a game does. Where the winner is to move and a group
// of the loser has one dame (the game's own groups say so), the winner plays there, which must capture;
// the proof says nothing of such a position. Otherwise the proof names one move, which must not lose at
// once. Where the loser is to move every reply is tried, and none may capture. A position of the winner
// met a second time (the same stones) was proved the first time and is not walked again; the solver's
// walk skips it in the same way, so the bytes stay in step. There is no search here, no table of values,
// no symmetry and no shortcut of the rules.
//
// Prints how many plies, at most, the winner needs against any defence when following the proof: an
// upper bound of the game's length with perfect play. Status 0 accepted, 1 rejected, 2 not a proof.
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
#include <unordered_map>
#include <vector>

#include "engine/groups.h"
#include "model/board.h"

namespace {

[[noreturn]] void unreadable(const std::string &message) {
    std::fprintf(stderr, "korvani-check: %s\nusage: korvani-check FILE\n", message.c_str());
    std::exit(2);
}

const char *side_name(int colour) { return colour == STONE_BLACK ? "Black" : "White"; }

struct KEY {
    uint64_t black;
    uint64_t white; // bit 63: White to move
    bool operator==(const KEY &o) const { return black == o.black && white == o.white; }
};
struct KEY_HASH {
    size_t operator()(const KEY &k) const {
        return static_cast<size_t>(k.black * 0x9E3779B97F4A7C15ull ^ (k.white + 0x632BE59BD9B4E019ull) * 0xC2B2AE3D27D4EB4Full);
    }
};

struct CHECK {
    BOARD *board;
    GROUPS *groups;
    std::string proof;
    size_t at = 0;
    int winner = 0;
    std::unordered_map<KEY, int, KEY_HASH> proved; // each position of the winner's move: the plies it needs
    uint64_t defences = 0;                         // positions of the loser walked
    std::vector<std::string> line;                 // the moves from the proof's start, for the message
    std::string failure;
};

// Plays (i, j) for colour through the game's records: 1 the mover won, -1 lost, 0 the game goes on.
int play(CHECK &c, int colour, int i, int j) {
    board_set_move(c.board, colour, i, j);
    groups_add_move(c.groups, colour, i, j);
    c.line.push_back(board_point_name(c.board, i, j));
    int white_lost = 0;
    int black_lost = 0;
    groups_check_end(c.groups, 0, &white_lost, &black_lost);
    if (!white_lost && !black_lost) return 0;
    return (white_lost ? STONE_WHITE : STONE_BLACK) == colour ? -1 : 1;
}

void take_back(CHECK &c, int i, int j) {
    board_clear_point(c.board, i, j);
    --c.groups->moves.moves_num;
    c.line.pop_back();
}

KEY key_of(const CHECK &c, int colour) {
    KEY key{0, colour == STONE_WHITE ? uint64_t{1} << 63 : 0};
    for (int p = 0; p < c.board->rows * c.board->cols; ++p) {
        if (c.board->cells[p] == STONE_BLACK) key.black |= uint64_t{1} << p;
        if (c.board->cells[p] == STONE_WHITE) key.white |= uint64_t{1} << p;
    }
    return key;
}

// -1 with the failure set, or the most plies the winner needs from here.
int fail(CHECK &c, const std::string &why) {
    std::string moves;
    for (const std::string &m : c.line) moves += " " + m;
    c.failure = why + (moves.empty() ? " at the start" : " after" + moves);
    return -1;
}

int check(CHECK &c, int colour) {
    const int size = c.board->rows;
    int plies = 0; // a loser without any move gives up: the game ends here
    if (colour == c.winner) {
        groups_find(c.groups, nullptr);
        for (int g = 0; g < c.groups->groups_num; ++g) {
            const GROUP &group = c.groups->groups[g];
            if (group.colour != stone_opponent(colour) || group.dame != 1) continue;
            const int i = group.dame_i[0];
            const int j = group.dame_j[0];
            plies = play(c, colour, i, j) > 0 ? 1 : fail(c, "the move on the last dame does not capture");
            take_back(c, i, j);
            return plies;
        }
        const KEY key = key_of(c, colour);
        const auto known = c.proved.find(key);
        if (known != c.proved.end()) return known->second;
        if (c.at >= c.proof.size()) return fail(c, "the proof ends too early");
        const int point = static_cast<unsigned char>(c.proof[c.at++]);
        const int i = point / 8;
        const int j = point % 8;
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
        if (plies >= 0) c.proved.emplace(key, plies);
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

} // namespace

int main(int argc, char **argv) {
    if (argc != 2 || argv[1][0] == '-') unreadable(argc == 2 ? std::string("unknown option \"") + argv[1] + "\"" : "give one proof file");
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) unreadable(std::string("cannot read \"") + argv[1] + "\"");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    // The head: "korvani proof 2", "size N", "moves ...", "winner Black|White", "proof", then the bytes.
    std::vector<std::string> head;
    size_t at = 0;
    while (head.size() < 5) {
        const size_t end = text.find('\n', at);
        if (end == std::string::npos) unreadable("not a proof: its head is cut short");
        head.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    const int size = head[1].rfind("size ", 0) == 0 ? std::atoi(head[1].c_str() + 5) : 0;
    if (head[0] != "korvani proof 2" || size < 2 || size > 7 || head[2].rfind("moves", 0) != 0 ||
        (head[3] != "winner Black" && head[3] != "winner White") || head[4] != "proof")
        unreadable("not a proof: its head is not as korvani-solve writes it");

    CHECK c;
    c.board = board_new(size, size);
    c.groups = groups_create(size, size, c.board);
    c.proof = text.substr(at);
    c.winner = head[3] == "winner Black" ? STONE_BLACK : STONE_WHITE;
    std::istringstream moves(head[2].substr(5));
    int colour = STONE_BLACK;
    for (std::string name; moves >> name; colour = stone_opponent(colour)) {
        int i = -1;
        int j = -1;
        board_parse_point(c.board, name.c_str(), &i, &j);
        if (i < 0 || i >= size || j < 0 || j >= size || !board_is_empty(c.board, i, j) || play(c, colour, i, j) != 0)
            unreadable("not a proof: its move \"" + name + "\" is not a move of a game going on");
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
    std::printf("accepted: %s wins on %d x %d after the moves%s, within %d plies against any defence\n",
                side_name(c.winner), size, size, head[2].size() > 5 ? head[2].substr(5).c_str() : " (none)", plies);
    std::printf("positions: %zu of the winner from the proof, %llu of the loser walked, CPU time: %.3f s\n",
                c.proved.size(), static_cast<unsigned long long>(c.defences), seconds);
    return 0;
}
