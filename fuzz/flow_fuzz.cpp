// The game flow, headless, driven by arbitrary sequences of the user's actions: clicks at any point on or
// off the board, clicks at pixels of the board view, clicks on a free point, new games and rating
// resets, from any starting rating. After every action it checks what the user relies on:
// - during a game the board only gains stones: one Black stone per accepted click and at most one White;
// - the game ends exactly when a group has lost its last dame, with the message and the marks that say
//   who lost, and goes on while every group has dame;
// - the rating changes by exactly +0.5 or -0.5 for each finished or abandoned game and never otherwise;
// - a refused click shows the message and changes nothing; clicks after the end change nothing at all;
// - the view arrays show the game's board and every changed point was painted with its new code.
// The mouse button and the release filtering belong to the board view and are tested with the window.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "app/flow.h"
#include "app/state.h"
#include "model/game.h"

// game_new seeds rand() with the clock; linked with --wrap=time, the clock is the input's, so that every
// input replays exactly.
static time_t fake_clock = 0;
extern "C" time_t __wrap_time(time_t *out) {
    if (out) *out = fake_clock;
    return fake_clock;
}

namespace {

const std::string PLAYING = "Играем ...";
const std::string WON = "Вы выиграли !";
const std::string LOST = "Вы проиграли ..";
const std::string RESIGNED = "Белые сдались !";

constexpr int SIZE = 5;
constexpr int POINTS = SIZE * SIZE;
constexpr double STAKE = 0.5;
// Every accepted click runs a search; a bound keeps one input quick.
constexpr int MAX_ACTIONS = 40;

// The board view's geometry at the window's fixed size: the first grid lines and their distance.
constexpr int GRID_X = 57;
constexpr int GRID_Y = 142;
constexpr int CELL = 29;

// What the window was asked to show during one action.
struct SHOWN {
    int refused;
    int board_resets;
    int painted[POINTS]; // the code painted at each point, -1 for none
};
SHOWN shown;

void on_refused() { ++shown.refused; }
void on_point(int row, int col, int code) {
    if (row < 0 || row >= SIZE || col < 0 || col >= SIZE) std::abort();
    shown.painted[row * SIZE + col] = code;
}
void on_board_reset() { ++shown.board_resets; }
const FLOW_DISPLAY probe = {on_refused, nullptr, nullptr, on_point, on_board_reset, nullptr, nullptr};

void forget_shown() {
    shown.refused = 0;
    shown.board_resets = 0;
    for (int &code : shown.painted) code = -1;
}

[[noreturn]] void fail(const char *what, const std::string &action) {
    std::fprintf(stderr, "flow: %s after %s\n", what, action.c_str());
    std::abort();
}

struct STATE {
    int cells[POINTS];
    double rating;
    int game_over;
    std::string message;
    std::string label;
};

STATE now() {
    STATE s;
    if (app->game)
        game_get_board(app->game, s.cells);
    else
        std::memset(s.cells, 0, sizeof s.cells); // before the first game
    s.rating = app->rating;
    s.game_over = app->game_over;
    s.message = message_text;
    s.label = rating_text;
    return s;
}

bool same(const STATE &a, const STATE &b) {
    return std::memcmp(a.cells, b.cells, sizeof a.cells) == 0 && a.rating == b.rating && a.game_over == b.game_over &&
           a.message == b.message && a.label == b.label;
}

bool nothing_shown() {
    if (shown.refused || shown.board_resets) return false;
    for (int code : shown.painted)
        if (code != -1) return false;
    return true;
}

bool is_white(int code) { return code == STONE_WHITE || code == WHITE_DEAD; }
bool is_black(int code) { return code == STONE_BLACK || code == BLACK_DEAD; }
bool same_side(int a, int b) { return (is_white(a) && is_white(b)) || (is_black(a) && is_black(b)); }

int count_if(const int *cells, bool (*side)(int)) {
    int n = 0;
    for (int k = 0; k < POINTS; ++k) n += side(cells[k]);
    return n;
}
bool has_code(const int *cells, int code) {
    for (int k = 0; k < POINTS; ++k)
        if (cells[k] == code) return true;
    return false;
}

// The groups without dame on the board, by colour: a flood fill of its own, not the engine's. A marked
// (dead) stone still belongs to its side.
struct DEAD {
    int white = 0;
    int black = 0;
};

DEAD groups_without_dame(const int *cells) {
    DEAD dead;
    bool seen[POINTS] = {};
    for (int start = 0; start < POINTS; ++start) {
        if (seen[start] || cells[start] == STONE_NONE) continue;
        int stack[POINTS];
        int top = 0;
        stack[top++] = start;
        seen[start] = true;
        int dame = 0;
        bool counted[POINTS] = {};
        while (top > 0) {
            const int p = stack[--top];
            const int r = p / SIZE;
            const int c = p % SIZE;
            const int next[4][2] = {{r - 1, c}, {r + 1, c}, {r, c - 1}, {r, c + 1}};
            for (const auto &n : next) {
                if (n[0] < 0 || n[0] >= SIZE || n[1] < 0 || n[1] >= SIZE) continue;
                const int q = n[0] * SIZE + n[1];
                if (cells[q] == STONE_NONE) {
                    dame += !counted[q];
                    counted[q] = true;
                } else if (!seen[q] && same_side(cells[q], cells[start])) {
                    seen[q] = true;
                    stack[top++] = q;
                }
            }
        }
        if (dame > 0) continue;
        if (is_white(cells[start]))
            ++dead.white;
        else
            ++dead.black;
    }
    return dead;
}

std::string label_of(double rating) {
    char text[96];
    std::snprintf(text, sizeof text, "%+3.1f", rating);
    return text;
}

// What holds after every action: the view shows the game, exactly the changed points were painted with
// their new codes, and a game goes on only while every group has dame.
void check_always(const STATE &after, const std::string &action) {
    for (int k = 0; k < POINTS; ++k) {
        const int code = after.cells[k];
        if (code != STONE_NONE && !is_white(code) && !is_black(code)) fail("a code that is no stone", action);
        if (board_view[k] != code) fail("the view array is not the game's board", action);
        if (board_drawn[k] != code) fail("the painted codes are not the board's", action);
        if (shown.painted[k] != -1 && shown.painted[k] != code) fail("a point painted with a stale code", action);
    }
    if (!std::isfinite(after.rating)) fail("the rating is not finite", action);
    if (after.game_over) return;
    const DEAD dead = groups_without_dame(after.cells);
    if (dead.white || dead.black) fail("a group without dame, but the game goes on", action);
    if (has_code(after.cells, WHITE_DEAD) || has_code(after.cells, BLACK_DEAD))
        fail("stones marked dead in a game that goes on", action);
    if (after.message != PLAYING) fail("a game goes on without its message", action);
}

// A game that the last move ended: the message says who lost as the board does (the mover's capture
// beats the mover's own lost group), the loser's stones are marked and the winner's are not. Returns the
// rating change of the game.
double check_ending(const STATE &after, int last_mover, const std::string &action) {
    if (after.message == RESIGNED) {
        // White resigns only when it has no move: no free point is left.
        if (count_if(after.cells, [](int c) { return c == STONE_NONE; }) != 0)
            fail("White resigned with a free point left", action);
        return +STAKE;
    }
    if (after.message != WON && after.message != LOST) fail("a game ended without its message", action);
    const DEAD dead = groups_without_dame(after.cells);
    const int captured = last_mover == STONE_BLACK ? dead.white : dead.black;
    const int own = last_mover == STONE_BLACK ? dead.black : dead.white;
    if (!captured && !own) fail("the game ended with dame left to every group", action);
    const int loser = captured ? stone_opponent(last_mover) : last_mover;
    if ((after.message == WON) != (loser == STONE_WHITE)) fail("the message names the wrong loser", action);
    const int marked = loser == STONE_WHITE ? WHITE_DEAD : BLACK_DEAD;
    const int unmarked = loser == STONE_WHITE ? BLACK_DEAD : WHITE_DEAD;
    if (!has_code(after.cells, marked) || has_code(after.cells, unmarked)) fail("the wrong stones marked", action);
    return loser == STONE_WHITE ? +STAKE : -STAKE;
}

// A click at (row, col): ignored after the end, refused off the board or on a stone, or the user's move
// and the computer's answer.
void click(int row, int col, const std::string &action) {
    const STATE before = now();
    forget_shown();
    user_turn(row, col);
    const STATE after = now();
    check_always(after, action);

    if (before.game_over) {
        if (!same(before, after) || !nothing_shown()) fail("a click after the end changed something", action);
        return;
    }
    const bool free_point = row >= 0 && row < SIZE && col >= 0 && col < SIZE && before.cells[row * SIZE + col] == STONE_NONE;
    if (!free_point) {
        if (shown.refused != 1) fail("a refused click without its message", action);
        if (!same(before, after)) fail("a refused click changed something", action);
        return;
    }
    if (shown.refused) fail("an accepted click showed the refusal", action);
    if (!is_black(after.cells[row * SIZE + col])) fail("no Black stone where the user clicked", action);
    // The board only gains stones; a stone changes only to its own dead mark when the game ends.
    for (int k = 0; k < POINTS; ++k) {
        const int was = before.cells[k];
        const int is = after.cells[k];
        if (was == STONE_NONE || was == is) continue;
        if (!after.game_over || !same_side(was, is)) fail("a stone changed during the game", action);
    }
    const int black_added = count_if(after.cells, is_black) - count_if(before.cells, is_black);
    const int white_added = count_if(after.cells, is_white) - count_if(before.cells, is_white);
    if (black_added != 1 || white_added < 0 || white_added > 1) fail("not one stone per side and turn", action);
    if (after.label != before.label) fail("the rating label changed during a game", action);
    if (!after.game_over) {
        if (white_added != 1) fail("the computer did not answer", action);
        if (after.rating != before.rating) fail("the rating changed during a game", action);
        return;
    }
    const double change = check_ending(after, white_added ? STONE_WHITE : STONE_BLACK, action);
    if (after.rating != before.rating + change) fail("the rating changed by other than the stake", action);
}

// A new game: an unfinished one is given up for the stake, and the handicap follows from the rating.
void new_game_action(const std::string &action) {
    const STATE before = now();
    forget_shown();
    new_game();
    const STATE after = now();
    check_always(after, action);

    const double charged = before.game_over ? before.rating : before.rating - STAKE;
    const double magnitude = std::fabs(charged);
    const int handicap = magnitude >= POINTS ? POINTS : static_cast<int>(magnitude);
    const int whites = count_if(after.cells, is_white);
    const int blacks = count_if(after.cells, is_black);
    if (charged >= 0 ? (whites != handicap || blacks != 0)
                     : (blacks != handicap || whites != (handicap < POINTS ? 1 : 0)))
        fail("the handicap does not follow the rating", action);
    if (shown.board_resets != 1) fail("the board was not redrawn for the new game", action);
    if (after.label != label_of(after.rating)) fail("the rating label does not show the rating", action);
    if (!after.game_over) {
        if (after.rating != charged) fail("a new game changed the rating by other than the stake", action);
        return;
    }
    // The handicap alone ended the game (a board full, or the computer's opening took the last dame).
    const int last_mover = charged >= 0 || whites == 1 ? STONE_WHITE : STONE_BLACK;
    const double change = check_ending(after, last_mover, action);
    if (after.rating != charged + change) fail("a game over at once changed the rating wrongly", action);
}

void rating_reset_action(const std::string &action) {
    forget_shown();
    rating_reset();
    const STATE after = now();
    check_always(after, action);
    if (after.rating != 0.0 || after.label != "+0.0") fail("the rating was not reset", action);
    if (after.game_over || count_if(after.cells, [](int c) { return c != STONE_NONE; }) != 0)
        fail("the game after a reset is not a fresh one without handicap", action);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzedDataProvider input(data, size);
    fake_clock = input.ConsumeIntegral<uint16_t>();
    // Ratings in steps of 0.5 on both sides of every handicap, and a few that are not such steps.
    const double odd[] = {0.9, -0.9, 0.25, -0.25, 1e9, -1e9, 24.5, -24.5, 1e-300};
    const double rating =
        input.ConsumeBool() ? input.PickValueInArray(odd) : 0.5 * input.ConsumeIntegralInRange<int>(-60, 60);

    // Headless: the flow never saves (save_at_once 0).
    session_open(&probe, 0, &rating);
    new_game_action("the first game");

    for (int n = 0; n < MAX_ACTIONS && input.remaining_bytes() > 0; ++n) {
        const std::string step = "action " + std::to_string(n);
        switch (input.ConsumeIntegralInRange<int>(0, 9)) {
        case 0: {
            const int row = input.ConsumeIntegralInRange<int>(-3, SIZE + 2);
            const int col = input.ConsumeIntegralInRange<int>(-3, SIZE + 2);
            click(row, col, step + ": click at " + std::to_string(row) + "," + std::to_string(col));
            break;
        }
        case 1:
        case 2: {
            // A pixel of the board view and around it, rounded to a line as the view does.
            const int x = input.ConsumeIntegralInRange<int>(0, 239);
            const int y = input.ConsumeIntegralInRange<int>(95, 304);
            const int col = click_line(x - GRID_X, CELL);
            const int row = click_line(y - GRID_Y, CELL);
            click(row, col, step + ": click at pixel " + std::to_string(x) + "," + std::to_string(y));
            break;
        }
        case 3:
        case 4:
        case 5:
        case 6: {
            // A free point, so that games are played to their end.
            int free_points[POINTS];
            int n_free = 0;
            for (int k = 0; k < POINTS; ++k)
                if (board_view[k] == STONE_NONE) free_points[n_free++] = k;
            const int k = n_free ? free_points[input.ConsumeIntegralInRange<int>(0, n_free - 1)] : 0;
            click(k / SIZE, k % SIZE, step + ": click on free point " + std::to_string(k));
            break;
        }
        case 7:
        case 8: new_game_action(step + ": new game"); break;
        default: rating_reset_action(step + ": rating reset"); break;
        }
    }

    session_close();
    return 0;
}
