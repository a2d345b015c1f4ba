// The game flow: the referee between the user's clicks, the game record and the computer player.
// It owns the view arrays the board view paints from and changes the rating by the stake of one game.
// No toolkit here: what the flow shows goes through a FLOW_DISPLAY that the window installs.
#pragma once

#include "app/state.h"

// What the flow asks of the window. The window installs its own at start-up; without one (a headless
// run) nothing is shown and a refused move just ends the turn.
struct FLOW_DISPLAY {
    void (*refused)();                                 // the modal "Сюда ходить нельзя!"; returns once closed
    void (*message_changed)();                         // message_text changed: show it now
    void (*rating_changed)();                          // rating_text changed: show it now
    void (*point_changed)(int row, int col, int code); // paint one point at once
    void (*board_reset)();                             // repaint the whole board on the next redraw
    void (*save_failed)();                             // a save of the rating failed (app->problem says why)
    void (*save_later)();                              // the file was locked: call rating_keep again soon
};

void flow_set_display(const FLOW_DISPLAY *display);

extern app_state *app;         // the application state; main makes it before the first game
extern int *board_view;        // size x size codes as last copied from the game, row-major
extern int *board_drawn;       // the codes already painted point by point
extern char message_text[80];  // the current game message
extern char rating_text[96];   // the rating as "%+3.1f"

void view_new();
void view_free();

// Sets up the session the flow plays, the same for the program and every headless run: app for the
// computer player "tiku2" on 5 x 5, the view arrays, the display (null: headless) and the rating's label.
// The rating is the rating file's (given_rating null) or the one given, the file then not read; with
// save_at_once, as in the program, every change of the rating is saved at once. No game is started.
void session_open(const FLOW_DISPLAY *display, int save_at_once, const double *given_rating);
// Releases what session_open made and the game record, saving nothing; app becomes null.
void session_close();

// Starts a game: an unfinished one is given up for the stake; handicap stones follow from the rating as
// the rating file holds it (another copy of the game in the same folder may have changed it).
void new_game();
// The rating becomes 0.0 and a new game starts without charging the one in progress.
void rating_reset();
// The grid line that a click offset pixels past the first line takes, the lines cell pixels apart: the
// nearest from the first one on, exactly halfway the lower one. The division truncates toward zero, so
// up to a cell before the first line still takes it. The board view's rounding, here for headless runs.
int click_line(int offset, int cell);
// The user's move at (row, col) and, unless it ended the game, the computer's answer.
void user_turn(int row, int col);
// 1 when a Black stone was put; 0 after the game or on a refused point (which shows the message).
int user_move(int row, int col);
// 1 when the computer put a stone; 0 after the game, or when it had no move and resigned.
int computer_move();
// The end test with the lost stones marked; 1 when the game has just ended.
int update_check_end();
// Copies the game's board into board_view and paints the changed points at once.
void view_sync();
void game_reset();
void handicap_place(double rating);
void game_show();
// Formats a rating into rating_text with "%+3.1f"; a zero of either sign shows as +0.0.
void rating_format(double rating);
void rating_show();
void message_show(const char *text);
// Saves a change of the rating at once, when the program asked for it (app->save_at_once), so that no
// way the process ends can lose a finished game; with no change, takes up the rating the file holds. The
// first failure of a run of them goes to the display; every later change tries again, and a save that
// found the file locked asks the display to try again soon (save_later).
void rating_keep();
