// The secondary windows: the modal message box, the about window and the rules window.
#pragma once

#include <string>

#include <FL/Fl_Widget.H>

#include "support/window.h"

// The about window: a few lines about the program and a close button.
class ABOUT : public My_Window {
public:
    using My_Window::My_Window;
    void compose() override;
};

// The rules window: the rules of the game and how the rating works. Lower than its text where the screen
// is, the text scrolls.
class HELP : public My_Window {
public:
    using My_Window::My_Window;
    void compose() override;
    int handle(int event) override;
};

// The lines of the two windows, each array ended by a null entry.
extern const char *about_lines[];
extern const char *rules_lines[];

// A line of either window as it is drawn: translated, and a "%s" in it given the toolkit's name.
std::string shown_line(const char *line);

// The dialogs open beside the main window and take their sizes from the size it has when registered
// (right after it is made, before any command-line option can change it). Without one they open at
// (240, 0) with the main window's usual size, 230 x 300.
void dialogs_attach_main(Fl_Window *main_window);
// The board view, repainted at once when the about window closes; null for none.
void dialogs_attach_board(Fl_Widget *board_widget);

// Shows a modal 230 x 150 window (larger for a text of several lines that needs it; never for one line)
// with the text and one button centred under the pointer, and waits in a nested event loop until the
// button is pressed or the window is closed; returns 1. Null button and title texts mean "Ok" and
// "Message".
int YMessage(const char *text, const char *button, const char *title);

// Shows the about window, creating it when there is none; an open one is raised.
void about_open();
// The about window's close button: deletes the window (after the toolkit is done with the event), then
// repaints the main window and the board view.
void about_close(Fl_Widget *w, void *data);
// Shows the rules window, creating it when there is none; an open or hidden one is shown again. It is
// 2.2 times the main window (506 x 660) where the screen's work area holds that, and as tall as the work
// area allows where not, its text then scrolling.
void rules_open();
