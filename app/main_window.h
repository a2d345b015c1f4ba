// The entry point and the main window: a fixed 230 x 300 window with the menu bar, the panel with the
// new-game button, the message line and the rating, and the board view below.
#pragma once

#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_Widget.H>

#include "app/flow.h"
#include "support/window.h"

class Fl_Box;
class Fl_Button;
struct app_state;

extern int WINDOW_W; // width of the main window and of its content window
extern int WINDOW_H; // height of both

// Process-wide objects, made once at start-up and kept until the process ends.
extern Fl_Window *main_window;     // the top-level window: title, icon, the exit callback
extern Fl_Window *content_window;  // a MAIN_KORVANI filling main_window; holds every other widget
extern Fl_Button *new_game_button; // the dot that starts a new game
extern Fl_Box *message_box;        // shows message_text (app/flow.h)
extern Fl_Box *rating_box;         // shows rating_text (app/flow.h)

// The menu table: two submenus, "Игра" and "Справка"; the user data is the item's number for menu_cb.
extern Fl_Menu_Item menu_items[10];

// The content of the main window.
class MAIN_KORVANI : public My_Window {
public:
    using My_Window::My_Window;
    void compose() override;
    // The window's keys: Ctrl+N a new game as the button, F1 the rules, F10 the menu bar.
    int handle(int event) override;
};

// The menu's outline (drawing pass) and the menu bar one pixel inside it (building pass).
void menu_make(int x, int y, int w, int h);
// Acts on the chosen item's number: 1 new game, 2 reset the rating, 3 exit, 4 rules, 5 about.
void menu_cb(Fl_Widget *w, void *data);
// The new-game button's callback.
void new_game_cb(Fl_Widget *w, void *data);
// The callback of main_window: closing the window or Escape.
void window_cb(Fl_Widget *w, void *data);

// The one way out of a running program: releases the view, writes the rating file and exits with
// status 0 (a failed write exits through YError("rating_write") instead). SIGTERM, SIGHUP and SIGINT
// come here too, from the event loop.
[[noreturn]] void app_exit();

// The messages about the rating file, naming it and the reason (app->problem): a file that exists but
// cannot be read or holds more than a rating, at start-up; a save that failed, when it happens.
void rating_unreadable_message();
void rating_save_failed_message();
// Tries the save again from the event loop a moment later, while the change is pending and the file
// locked; the window goes on meanwhile.
void rating_save_later();

// Installs the window's side of the game flow: the modal message, the label refreshes, the painting of
// changed points at once and the failed save's dialog.
void main_window_attach_flow();

// Start-up up to the shown window: fonts, the windows and their widgets, the state with the rating, the
// first game, the icon. Returns 0 without entering the event loop, so tests can call it.
int app_start(int argc, char **argv);
// app_start, then the toolkit's event loop; the process ends through app_exit.
int app_main(int argc, char **argv);
