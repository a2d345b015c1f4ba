#include "app/flow.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "model/game.h"
#include "support/i18n.h"

app_state *app = nullptr;
int *board_view = nullptr;
int *board_drawn = nullptr;
char message_text[80] = "";
char rating_text[96] = "";

namespace {

const FLOW_DISPLAY headless = {};
const FLOW_DISPLAY *display = &headless;

int points() { return app->size * app->size; }

// The number of handicap stones: the integer part of |rating|, but never more than the board has points.
// A rating file holding 1e9 would otherwise keep start-up placing nothing a billion times.
int handicap_count(double rating) {
    const double stones = std::fabs(rating);
    return stones >= points() ? points() : static_cast<int>(stones);
}

// The game is over before its message is shown: showing it lets the toolkit handle the events that
// waited while the move was handled, and a click or a New game among them must find the game finished,
// neither playing on in it nor giving it up a second time.
void game_ends(double change, const char *text) {
    app->rating += change;
    app->game_over = 1;
    rating_keep();
    message_show(text);
}

} // namespace

void flow_set_display(const FLOW_DISPLAY *d) { display = d ? d : &headless; }

void view_new() {
    board_view = new int[points()]();
    board_drawn = new int[points()]();
}

void view_free() {
    delete[] board_view;
    delete[] board_drawn;
    board_view = nullptr;
    board_drawn = nullptr;
}

int click_line(int offset, int cell) {
    const int line = offset / cell;
    return offset - line * cell > cell / 2 ? line + 1 : line;
}

void session_open(const FLOW_DISPLAY *display, int save_at_once, const double *given_rating) {
    app = given_rating ? app_new_rated("tiku2", 5, *given_rating) : app_new("tiku2", 5);
    app->save_at_once = save_at_once;
    // The file is there but cannot be read: the session plays from 0 and the file is never replaced, and
    // the user is told so. Saves stay quiet about it until one succeeds.
    if (app->problem[0]) app->save_failing = 1;
    view_new();
    flow_set_display(display);
    rating_format(app->rating);
}

void session_close() {
    game_free(app->game);
    view_free();
    flow_set_display(nullptr);
    delete app;
    app = nullptr;
}

void new_game() {
    if (app->game_over == 0) app->rating -= app->stake; // the game in progress is given up
    rating_keep();
    game_reset();
    handicap_place(app->rating);
    game_show();
}

void game_reset() {
    // The record of the game just replaced is released, so a long session does not grow.
    game_free(app->game);
    app->game = game_new(app->size, app->size);
    app->computer = game_add_player(app->game, app->computer_name, 0, STONE_WHITE);
    app->game_over = 0;
}

void handicap_place(double rating) {
    const int n = handicap_count(rating);
    for (int k = 0; k < n; ++k) {
        int i = 0;
        int j = 0;
        if (!game_random_point(app->game, n, &i, &j)) continue;
        if (rating >= 0)
            game_move(app->game, i, j, STONE_WHITE);
        else
            user_move(i, j);
    }
    // With a negative rating the computer opens, also with no Black stone (-1 < rating < 0).
    if (rating < 0) computer_move();
}

void game_show() {
    // The handicap alone can end a game: stones on every point leave a group without dame, or leave the
    // computer no move, and it resigns. Such a game is charged once and keeps the message of its end.
    if (app->game_over)
        view_sync();
    else
        update_check_end();
    rating_show();
    if (!app->game_over) message_show(_("Играем ..."));
    if (display->board_reset) display->board_reset();
}

void rating_reset() {
    app->rating = 0.0;
    app->reset = 1; // saved as it is, not as a change of what the file holds
    // Over before the label is shown, since showing it lets the toolkit handle waiting events: a click
    // finds no game, and a New game among them charges nothing. The game such a New game started is
    // replaced by the reset's own, again without a charge.
    app->game_over = 1;
    rating_show();
    app->game_over = 1;
    new_game();
}

void user_turn(int row, int col) {
    if (!user_move(row, col)) return;
    if (update_check_end()) return;
    if (computer_move()) update_check_end();
}

int user_move(int row, int col) {
    if (app->game_over) return 0;
    if (game_move(app->game, row, col, STONE_BLACK)) return 1;
    if (display->refused) display->refused();
    return 0;
}

int computer_move() {
    if (app->game_over) return 0;
    if (game_computer_move(app->game, app->computer, STONE_WHITE)) return 1;
    game_ends(app->stake, _("Белые сдались !"));
    return 0;
}

int update_check_end() {
    int white_lost = 0;
    int black_lost = 0;
    groups_check_end(app->game->groups, 1, &white_lost, &black_lost);
    view_sync();
    if (!white_lost && !black_lost) return 0;
    // The rating label is not refreshed here: it keeps the old value until the next game shows it.
    if (white_lost)
        game_ends(app->stake, _("Вы выиграли !"));
    else
        game_ends(-app->stake, _("Вы проиграли .."));
    return 1;
}

void view_sync() {
    game_get_board(app->game, board_view);
    for (int row = 0; row < app->size; ++row)
        for (int col = 0; col < app->size; ++col) {
            const int k = row * app->size + col;
            if (board_view[k] == board_drawn[k]) continue;
            // A point that went back to empty paints nothing; only a full redraw clears it.
            if (display->point_changed) display->point_changed(row, col, board_view[k]);
            board_drawn[k] = board_view[k];
        }
}

void rating_format(double rating) {
    // A file holding "-0" reads as negative zero, which "%+3.1f" would show as -0.0: a zero is shown as
    // +0.0 whatever its sign. A rating just below zero keeps its minus: the computer opens that game.
    if (rating == 0.0) rating = 0.0;
    std::snprintf(rating_text, sizeof rating_text, "%+3.1f", rating);
}

void rating_show() {
    rating_format(app->rating);
    if (display->rating_changed) display->rating_changed();
}

void message_show(const char *text) {
    if (!text) return;
    std::snprintf(message_text, sizeof message_text, "%s", text);
    if (display->message_changed) display->message_changed();
}

void rating_keep() {
    if (!app->save_at_once) return;
    if (rating_save(app)) {
        app->save_failing = 0;
        return;
    }
    // A lock is held for a moment by another copy of the game, or for long by another program: the
    // window goes on and the change waits for the lock, not for the next game.
    if (app->save_locked && display->save_later) display->save_later();
    if (app->save_failing) return;
    app->save_failing = 1;
    if (display->save_failed) display->save_failed();
}
