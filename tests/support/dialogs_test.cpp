// The message box, the about window and the rules window, driven as the user would drive them.
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include "support/dialogs.h"
#include "support/draw.h"
#include "support/toolkit.h"
#include "tests/support/x_test.h"

namespace {

// Runs the action from inside the event loop after the given time, once.
void later(double seconds, std::function<void()> action) {
    auto *held = new std::function<void()>(std::move(action));
    Fl::add_timeout(seconds, [](void *data) {
        auto *run = static_cast<std::function<void()> *>(data);
        (*run)();
        delete run;
    }, held);
}

// A nested wait that never ends would hang the test run: give up with a message instead.
void watchdog() {
    Fl::add_timeout(20.0, [](void *) {
        std::fputs("the dialog did not return\n", stderr);
        _exit(3);
    });
}

Fl_Button *find_button(Fl_Window *window, const char *label) {
    for (int k = 0; k < window->children(); ++k) {
        Fl_Button *button = dynamic_cast<Fl_Button *>(window->child(k));
        if (button && button->label() && std::string(button->label()) == label) return button;
    }
    return nullptr;
}

// A main window at a known place, registered with the dialogs.
Fl_Window *main_at(int x, int y) {
    YInitFonts();
    Fl_Window *main = new Fl_Window(x, y, 230, 300, "main");
    main->end();
    show_and_settle(main);
    dialogs_attach_main(main);
    return main;
}

struct SEEN {
    std::string title;
    std::string button;
    std::string text;
    bool modal = false;
    int button_x = -1; // the button's centre on the screen
    int button_y = -1;
    int pointer_x = -1;
    int pointer_y = -1;
};

// Called from inside the message box's wait: waits until its window is on the screen, then reads it.
SEEN look_at_message() {
    SEEN seen;
    Fl_Window *window = Fl::modal();
    if (!window) return seen;
    window->wait_for_expose();
    XSync(fl_display, False);
    seen.modal = true;
    seen.title = window->label() ? window->label() : "";
    for (int k = 0; k < window->children(); ++k) {
        Fl_Widget *child = window->child(k);
        const std::string label = child->label() ? child->label() : "";
        if (dynamic_cast<Fl_Button *>(child)) {
            seen.button = label;
            seen.button_x = window->x() + child->x() + child->w() / 2;
            seen.button_y = window->y() + child->y() + child->h() / 2;
        } else {
            seen.text = label;
        }
    }
    Fl::get_mouse(seen.pointer_x, seen.pointer_y);
    return seen;
}

} // namespace

TEST(Message, ReturnsWhenTheButtonUnderThePointerIsClicked) {
    YInitFonts();
    xdotool("mousemove 300 400");
    SEEN seen;
    later(0.3, [&seen] {
        seen = look_at_message();
        xdotool("click 1");
    });
    watchdog();
    EXPECT_EQ(1, YMessage("Сюда ходить нельзя!", nullptr, nullptr));
    EXPECT_TRUE(seen.modal);
    EXPECT_EQ("Message", seen.title);
    EXPECT_EQ("Ok", seen.button);
    EXPECT_EQ("Сюда ходить нельзя!", seen.text);
    // The button's middle is under the pointer, so a click where the user already is presses it.
    EXPECT_NEAR(seen.pointer_x, seen.button_x, 1);
    EXPECT_NEAR(seen.pointer_y, seen.button_y, 1);
    settle();
    EXPECT_EQ(nullptr, Fl::modal());
    EXPECT_TRUE(shown_windows("Message").empty());
}

TEST(Message, ReturnsWhenClosedThroughItsFrame) {
    YInitFonts();
    SEEN seen;
    later(0.3, [&seen] {
        seen = look_at_message();
        send_close(Fl::modal());
    });
    watchdog();
    EXPECT_EQ(1, YMessage("Сюда ходить нельзя!", "Закрыть", "Сообщение"));
    EXPECT_EQ("Сообщение", seen.title);
    EXPECT_EQ("Закрыть", seen.button);
    settle();
    EXPECT_TRUE(shown_windows("Сообщение").empty());
}

// The message boxes of the game as the window tests' fonts draw them (the fonts the package depends on):
// the design's message keeps its 230 x 150 however wide its one line measures, and only a message of
// several lines grows to hold them, with its button kept in the middle under them.
TEST(Message, TheGamesMessagesKeepTheirSizeAndOnlyLongerOnesGrow) {
    struct Row {
        const char *text;
        const char *button;
        const char *title;
        int w, h; // 0: larger than 230 x 150
    };
    const Row rows[] = {
        {"Сюда ходить нельзя!", "Закрыть", "Сообщение", 230, 150},
        {"Сюда ходить нельзя!", nullptr, nullptr, 230, 150},
        {"Рейтинг не сохранён\nв файл korvani.ini:\nнет места на устройстве (No space left on device).\n"
         "Сохраним снова\nпосле следующей игры.",
         "Закрыть", "Сообщение", 0, 0},
    };
    YInitFonts();
    watchdog();
    for (const Row &row : rows) {
        int w = -1, h = -1, button_x = -1;
        later(0.3, [&] {
            Fl_Window *window = Fl::modal();
            if (!window) return;
            window->wait_for_expose();
            w = window->w();
            h = window->h();
            for (int k = 0; k < window->children(); ++k)
                if (dynamic_cast<Fl_Button *>(window->child(k)))
                    button_x = window->child(k)->x() + window->child(k)->w() / 2;
            send_close(window);
        });
        EXPECT_EQ(1, YMessage(row.text, row.button, row.title));
        if (row.w) {
            EXPECT_EQ(row.w, w) << row.text;
            EXPECT_EQ(row.h, h) << row.text;
        } else {
            EXPECT_GT(w, 230) << row.text;
            EXPECT_GT(h, 150) << row.text;
        }
        EXPECT_NEAR(w / 2, button_x, 1) << row.text;
        settle();
    }
}

TEST(About, OpensBesideTheMainWindowOnceAndCloseButtonMakesItNew) {
    Fl_Window *main = main_at(20, 30);
    about_open();
    about_open();
    settle();
    std::vector<Fl_Window *> about = shown_windows("О программе");
    ASSERT_EQ(1u, about.size());
    Fl_Window *first = about[0];
    EXPECT_EQ(main->x() + 230 + 10, first->x());
    EXPECT_EQ(main->y(), first->y());
    EXPECT_EQ(230, first->w());
    EXPECT_EQ(220, first->h());
    Fl_Button *close = find_button(first, "Закрыть");
    ASSERT_NE(nullptr, close);
    EXPECT_EQ(75, close->x());
    EXPECT_EQ(183, close->y());

    // Closed through the frame it is only hidden: the same window comes back where the user left it.
    first->position(300, 350);
    settle();
    send_close(first);
    settle();
    EXPECT_TRUE(shown_windows("О программе").empty());
    about_open();
    settle();
    about = shown_windows("О программе");
    ASSERT_EQ(1u, about.size());
    EXPECT_EQ(300, about[0]->x());
    EXPECT_EQ(350, about[0]->y());

    // The close button deletes it: the next one is built afresh beside the main window.
    xdotool("mousemove " + std::to_string(300 + 75 + 35) + " " + std::to_string(350 + 183 + 12) + " click 1");
    settle();
    EXPECT_TRUE(shown_windows("О программе").empty());
    about_open();
    settle();
    about = shown_windows("О программе");
    ASSERT_EQ(1u, about.size());
    EXPECT_EQ(main->x() + 240, about[0]->x());
    EXPECT_EQ(main->y(), about[0]->y());
}

TEST(Rules, OneWindowOfTwoPointTwoTimesTheMainWindowWithEveryLineInside) {
    Fl_Window *main = main_at(10, 10);
    rules_open();
    rules_open();
    settle();
    std::vector<Fl_Window *> rules = shown_windows("Правила игры");
    ASSERT_EQ(1u, rules.size());
    Fl_Window *window = rules[0];
    EXPECT_EQ(506, window->w());
    EXPECT_EQ(660, window->h());
    EXPECT_EQ(main->x() + 240, window->x());
    EXPECT_EQ(main->y(), window->y());
    EXPECT_EQ(0, window->children());

    const PIXELS p = read_window(window);
    EXPECT_EQ(0x000000u, p.at(5, 300));
    EXPECT_EQ(0x000000u, p.at(500, 300));
    int box[4];
    p.dark_box(6, 6, 494, 648, box);
    // Every line fits on the panel: none runs into its right edge at 500. (Xft ends the longest line by
    // 494; Pango, with which Debian 13's FLTK 1.4 draws, sets it wider, to 499.)
    EXPECT_GE(box[0], 20);
    EXPECT_LT(box[1], 500);
    // The last line stands on baseline 610; its descenders go a few pixels lower.
    EXPECT_GE(box[3], 606);
    EXPECT_LE(box[3], 614);

    send_close(window);
    settle();
    EXPECT_TRUE(shown_windows("Правила игры").empty());
    rules_open();
    settle();
    rules = shown_windows("Правила игры");
    ASSERT_EQ(1u, rules.size());
    EXPECT_EQ(window, rules[0]);
}

// The about window names the toolkit the game runs on, and its one button has the keyboard focus, shown,
// so that Return or Space closes it as either closes the message box.
TEST(About, NamesItsToolkitAndItsButtonAnswersReturnAndSpace) {
    const int version = Fl::api_version();
    EXPECT_EQ("Сделано на FLTK " + std::to_string(version / 10000) + "." + std::to_string(version / 100 % 100),
              shown_line(about_lines[7]));
    main_at(20, 30);
    for (const char *key : {"Return", "space"}) {
        SCOPED_TRACE(key);
        about_open();
        settle();
        const std::vector<Fl_Window *> about = shown_windows("О программе");
        ASSERT_EQ(1u, about.size());
        xdotool("windowfocus --sync " + std::to_string(fl_xid(about[0])));
        settle();
        Fl_Button *close = find_button(about[0], "Закрыть");
        ASSERT_NE(nullptr, close);
        EXPECT_EQ(close, Fl::focus());
        EXPECT_TRUE(close->visible_focus());
        xdotool(std::string("key ") + key);
        settle();
        EXPECT_TRUE(shown_windows("О программе").empty());
    }
}

// The rules window on the screen the test's server has (KORVANI_XVFB_SCREEN, at FLTK_SCALING_FACTOR):
// wholly on it; 506 x 660 where the screen is tall enough, and else as tall as it less a title bar, with
// the text scrolling by the keys and the wheel until its last line shows.
TEST(RulesOnScreen, FitsTheScreenAndScrollsToItsLastLine) {
    if (std::getenv("FLTK_SCALING_FACTOR") && toolkit_screen_scale() == 1) GTEST_SKIP() << "no screen scale";
    main_at(10, 10);
    rules_open();
    settle();
    const std::vector<Fl_Window *> rules = shown_windows("Правила игры");
    ASSERT_EQ(1u, rules.size());
    Fl_Window *window = rules[0];
    int sx, sy, sw, sh;
    Fl::screen_xywh(sx, sy, sw, sh, 0);
    EXPECT_GE(window->x(), sx);
    EXPECT_GE(window->y(), sy);
    EXPECT_LE(window->x() + window->w(), sx + sw);
    EXPECT_LE(window->y() + window->h(), sy + sh);
    if (sh >= 660) {
        EXPECT_EQ(506, window->w());
        EXPECT_EQ(660, window->h());
        EXPECT_EQ(0, window->children());
        return;
    }
    EXPECT_EQ(sh - 30, window->h());
    ASSERT_EQ(1, window->children());
    auto *bar = dynamic_cast<Fl_Scrollbar *>(window->child(0));
    ASSERT_NE(nullptr, bar);
    const int last = 660 - window->h();
    xdotool("windowfocus --sync " + std::to_string(fl_xid(window)));
    settle();
    struct Row {
        std::string keys;
        int top;
    };
    const Row rows[] = {
        {"key Down", 15}, {"key Up", 0},   {"key Next", std::min(window->h() - 15, last)}, {"key Prior", 0},
        {"key End", last}, {"key Home", 0}, {"mousemove --window " + std::to_string(fl_xid(window)) + " 100 100 click 5", 15},
        {"key End", last},
    };
    for (const Row &row : rows) {
        xdotool(row.keys);
        settle();
        EXPECT_NEAR(row.top, bar->value(), 1) << row.keys;
    }
    // The last line, on baseline 610 of the text, shows with its descenders above the panel's bottom edge.
    const PIXELS p = read_window(window);
    int box[4];
    p.dark_box(6, 0, 480, 653 - last, box);
    EXPECT_GE(box[3], 606 - last);
    EXPECT_LE(box[3], 614 - last);
    EXPECT_TRUE(p.has_dark(100, 653 - last, 1, 3)) << "the panel's bottom edge";
}
