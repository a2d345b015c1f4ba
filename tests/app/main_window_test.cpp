// The main window as the user sees it: its widgets, what compose paints, the rating label, the icon,
// and the ways out with the rating file they leave.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include "app/board_view.h"
#include "app/icon.h"
#include "app/main_window.h"
#include "support/draw.h"
#include "tests/support/x_test.h"

namespace {

void start() {
    static char arg0[] = "korvani";
    static char *argv[] = {arg0, nullptr};
    ASSERT_EQ(0, app_start(1, argv));
    show_and_settle(main_window);
}

struct COUNTS {
    int menu_bars = 0;
    int buttons = 0;
    int boxes = 0;
    int boards = 0;
    int others = 0;
};

COUNTS count_children() {
    COUNTS counts;
    for (int k = 0; k < content_window->children(); ++k) {
        Fl_Widget *child = content_window->child(k);
        if (dynamic_cast<Fl_Menu_Bar *>(child)) ++counts.menu_bars;
        else if (dynamic_cast<Fl_Button *>(child)) ++counts.buttons;
        else if (dynamic_cast<Fl_Box *>(child)) ++counts.boxes;
        else if (dynamic_cast<Board *>(child)) ++counts.boards;
        else ++counts.others;
    }
    return counts;
}

Fl_Menu_Bar *menu_bar() {
    for (int k = 0; k < content_window->children(); ++k) {
        if (auto *bar = dynamic_cast<Fl_Menu_Bar *>(content_window->child(k))) return bar;
    }
    return nullptr;
}

// The caption's width as compose measures it.
int caption_width() {
    fl_font(16, 14);
    return static_cast<int>(fl_width("РЕЙТИНГ:"));
}

} // namespace

TEST(MainWindow, FixedWindowWithItsWidgetsWhereTheLayoutPutsThem) {
    TEMP_DIR dir;
    start();
    EXPECT_STREQ("  КОРВАНИ", main_window->label());
    EXPECT_EQ(main_window, content_window->parent());
    // What the window manager is told: the smallest and the largest size are both 230 x 300.
    XSizeHints hints{};
    long supplied = 0;
    ASSERT_NE(0, XGetWMNormalHints(fl_display, fl_xid(main_window), &hints, &supplied));
    ASSERT_TRUE((hints.flags & PMinSize) && (hints.flags & PMaxSize));
    EXPECT_EQ(230, hints.min_width);
    EXPECT_EQ(230, hints.max_width);
    EXPECT_EQ(300, hints.min_height);
    EXPECT_EQ(300, hints.max_height);

    const int n = caption_width();
    struct PLACE {
        Fl_Widget *widget;
        int x, y, w, h;
    } places[] = {
        {main_window, main_window->x(), main_window->y(), 230, 300},
        {content_window, 0, 0, 230, 300},
        {menu_bar(), 6, 6, 219, 29},
        {new_game_button, 13, 40, 35, 55},
        {message_box, 53, 45, 161, 25},
        {rating_box, n + 61, 70, 156 - n, 25},
    };
    for (const PLACE &p : places) {
        ASSERT_NE(nullptr, p.widget);
        EXPECT_EQ(p.x, p.widget->x());
        EXPECT_EQ(p.y, p.widget->y());
        EXPECT_EQ(p.w, p.widget->w());
        EXPECT_EQ(p.h, p.widget->h());
    }
    EXPECT_EQ(255u, menu_bar()->selection_color());
    EXPECT_STREQ("@circle", new_game_button->label());
    EXPECT_STREQ("Новая игра", new_game_button->tooltip());
    EXPECT_EQ(0u, new_game_button->visible_focus());
    EXPECT_EQ(message_text, message_box->label());
    EXPECT_EQ(rating_text, rating_box->label());
    EXPECT_EQ(FL_HELVETICA_BOLD, rating_box->labelfont());
    EXPECT_EQ(15, rating_box->labelsize());
}

TEST(MainWindow, RedrawingCreatesNoWidget) {
    TEMP_DIR dir;
    start();
    const COUNTS before = count_children();
    EXPECT_EQ(1, before.menu_bars);
    EXPECT_EQ(1, before.buttons);
    EXPECT_EQ(2, before.boxes);
    EXPECT_EQ(1, before.boards);
    EXPECT_EQ(0, before.others);
    // Whole redraws, redraws of one child, and exposes after another window covered this one.
    Fl_Window *cover = new Fl_Window(main_window->x() + 20, main_window->y() + 20, 100, 100);
    cover->end();
    for (int round = 0; round < 20; ++round) {
        content_window->redraw();
        Fl::flush();
        message_box->redraw();
        Fl::flush();
        if (round % 5 == 0) {
            cover->show();
            settle();
            cover->hide();
            settle();
        }
    }
    const COUNTS after = count_children();
    EXPECT_EQ(1, after.menu_bars);
    EXPECT_EQ(1, after.buttons);
    EXPECT_EQ(2, after.boxes);
    EXPECT_EQ(1, after.boards);
    EXPECT_EQ(0, after.others);
    delete cover;
}

TEST(MainWindow, ComposePaintsBackgroundPanelAndOutlines) {
    TEMP_DIR dir;
    start();
    const PIXELS p = read_window(content_window);
    const unsigned white = 0xffffff, black = 0x000000, grey = map_rgb(49);
    struct SPOT {
        int x, y;
        unsigned colour;
        const char *what;
    } spots[] = {
        {2, 2, white, "background, top left"},
        {2, 150, white, "background, left margin"},
        {227, 60, white, "background, right of the panel"},
        {5, 5, black, "menu outline, corner"},
        {100, 5, black, "menu outline, top edge"},
        {5, 20, black, "menu outline, left edge"},
        {5, 60, black, "panel outline, left edge"},
        {224, 60, black, "panel outline, right edge"},
        {100, 99, black, "panel outline, bottom edge"},
        {5, 35, white, "white line over the panel's top edge, at its start"},
        {120, 35, white, "white line over the panel's top edge"},
        {224, 35, white, "white line over the panel's top edge, at its end"},
        {8, 96, grey, "panel, bottom left"},
        {200, 96, grey, "panel, bottom right"},
        {52, 42, grey, "panel between the button and the message"},
    };
    for (const SPOT &s : spots) EXPECT_EQ(s.colour, p.at(s.x, s.y)) << s.what << " at " << s.x << "," << s.y;
    // The caption in the cell from (56, 70), 25 high, its line centred on the cell's middle row 82:
    // capitals without descenders stand on the baseline (the lowest ink one row above it, or two where
    // FLTK draws its text with Pango). Nothing between the button and it.
    const int n = caption_width();
    const int baseline = 82 + fl_height() / 2 - fl_descent();
    int box[4];
    p.dark_box(49, 71, n + 10, 23, box);
    EXPECT_GE(box[0], 56);
    EXPECT_LE(box[0], 58);
    EXPECT_LE(box[1], 56 + n);
    EXPECT_GE(box[3], baseline - 2);
    EXPECT_LE(box[3], baseline - 1);
}

TEST(MainWindow, ChangingTheMessageRepaintsItAndKeepsTheRest) {
    TEMP_DIR dir;
    start();
    const PIXELS before = read_window(content_window);
    std::strcpy(message_text, "Играем ... длинное сообщение");
    message_box->redraw();
    const PIXELS long_text = read_window(content_window);
    EXPECT_TRUE(long_text.has_dark(60, 46, 150, 23));
    std::strcpy(message_text, "Да");
    message_box->redraw();
    const PIXELS short_text = read_window(content_window);
    int box[4];
    short_text.dark_box(54, 46, 159, 23, box);
    ASSERT_GE(box[0], 0);
    EXPECT_LT(box[1], 80) << "the longer text's tail must be gone";
    // The menu bar, the button and the rating are as they were.
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 230; ++x) {
            if (x >= 53 && x < 214 && y >= 45 && y < 70) continue;
            ASSERT_EQ(before.at(x, y), short_text.at(x, y)) << "at " << x << "," << y;
        }
    }
}

struct EXIT_CASE {
    const char *file;   // nullptr: no rating file
    const char *label;  // what the rating label shows
    const char *saved;  // the file's bytes after the exit
    const char *way;    // how the user leaves
};

// Leaves the program the way the user does; does not return.
void leave(const std::string &way) {
    if (way == "menu") {
        menu_bar()->picked(menu_bar()->find_item("Игра/Выход"));
    } else if (way == "frame") {
        send_close(main_window);
    } else if (way == "escape") {
        xdotool("mousemove " + std::to_string(main_window->x() + 100) + " " +
                std::to_string(main_window->y() + 200) + " key Escape");
    } else if (way == "ctrl+q") {
        xdotool("mousemove " + std::to_string(main_window->x() + 100) + " " +
                std::to_string(main_window->y() + 200) + " key ctrl+q");
    }
    // By the clock: any event ends one wait early, so a count of waits would give up too soon.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < end) Fl::wait(0.02);
    std::fputs("still running 20 s after leaving\n", stderr);
    std::_Exit(7);
}

TEST(MainWindow, RatingLabelAndTheFileAfterEveryWayOut) {
    const EXIT_CASE cases[] = {
        {nullptr, "+0.0", "0.000000", "menu"},
        {"-1.500000", "-1.5", "-1.500000", "frame"},
        // Written by hand: read as people write it, and kept as it is when no game changed it.
        {"3.7", "+3.7", "3.7", "escape"},
        {"\xEF\xBB\xBF" "2,5\r\n", "+2.5", "\xEF\xBB\xBF" "2,5\r\n", "menu"},
        {"12.25", "+12.2", "12.25", "frame"},
        {"-0.5", "-0.5", "-0.5", "ctrl+q"},
    };
    for (const EXIT_CASE &c : cases) {
        SCOPED_TRACE(std::string("file ") + (c.file ? c.file : "<none>") + ", leaving by " + c.way);
        TEMP_DIR dir;
        if (c.file) write_file("korvani.ini", c.file);
        const auto run = [&c] {
            start();
            std::fprintf(stderr, "label [%s]\n", rating_box->label());
            leave(c.way);
        };
        EXPECT_EXIT(run(), testing::ExitedWithCode(0), std::string("label \\[\\") + c.label + "\\]");
        EXPECT_EQ(c.saved, file_bytes("korvani.ini"));
        EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, dir_entries("."));
    }
}

// Presses the button of a modal message as soon as one is up, and prints its text.
void answer_message(void *) {
    Fl::repeat_timeout(0.02, answer_message);
    Fl_Window *modal = Fl::modal();
    if (!modal) return;
    for (int k = 0; k < modal->children(); ++k) {
        Fl_Widget *child = modal->child(k);
        if (dynamic_cast<Fl_Button *>(child))
            child->do_callback();
        else if (child->label())
            std::fprintf(stderr, "message [%s]\n", child->label());
    }
}

TEST(MainWindow, AFileThatIsNotARatingIsNamedAndKept) {
    const auto run = [] {
        Fl::add_timeout(0.02, answer_message);
        start();
        leave("menu");
    };
    {
        // At start-up the window says why the file cannot be read; the folder stays, and an exit with
        // nothing to save is no failure.
        TEMP_DIR dir;
        ASSERT_EQ(0, mkdir("korvani.ini", 0755));
        EXPECT_EXIT(run(), testing::ExitedWithCode(0),
                    "message \\[Файл korvani.ini\nнельзя прочитать:\nна его месте папка\\.");
        EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, dir_entries("."));
    }
    // A rating with the user's notes after it: played from, and never replaced.
    TEMP_DIR dir;
    write_file("korvani.ini", "12.5\nмои заметки");
    EXPECT_EXIT(run(), testing::ExitedWithCode(0),
                "message \\[В файле korvani.ini\nне только рейтинг.\n"
                "Играем с рейтингом \\+12.5,\nфайл не меняется.\\]");
    EXPECT_EQ("12.5\nмои заметки", file_bytes("korvani.ini"));
}

TEST(MainWindow, MenuShowsTwoTitlesAndOnlyItsItemsAct) {
    TEMP_DIR dir;
    start();
    Fl_Menu_Bar *bar = menu_bar();
    ASSERT_NE(nullptr, bar);
    std::vector<std::string> titles;
    for (const Fl_Menu_Item *item = bar->menu(); item && item->label(); item = item->next()) {
        titles.push_back(item->label());
    }
    EXPECT_EQ((std::vector<std::string>{"Игра", "Справка"}), titles);
    const Fl_Menu_Item *reset = bar->find_item("Игра/Обнулить рейтинг");
    ASSERT_NE(nullptr, reset);
    EXPECT_TRUE(reset->flags & FL_MENU_DIVIDER);

    // A title chosen alone does nothing: no window opens and the program goes on.
    bar->picked(bar->find_item("Игра"));
    bar->picked(bar->find_item("Справка"));
    settle();
    EXPECT_TRUE(shown_windows("Правила игры").empty());
    EXPECT_TRUE(shown_windows("О программе").empty());

    // The help items open their windows, beside the main window.
    bar->picked(bar->find_item("Справка/Правила игры"));
    bar->picked(bar->find_item("Справка/О программе..."));
    settle();
    ASSERT_EQ(1u, shown_windows("Правила игры").size());
    ASSERT_EQ(1u, shown_windows("О программе").size());
    EXPECT_EQ(main_window->x() + 240, shown_windows("О программе")[0]->x());
}

// The desktop entry's StartupWMClass names this class: a desktop ties the window to the entry by it.
TEST(MainWindow, ItsClassIsKorvani) {
    TEMP_DIR dir;
    start();
    XClassHint hint{};
    ASSERT_NE(0, XGetClassHint(fl_display, fl_xid(main_window), &hint));
    EXPECT_STREQ("korvani", hint.res_name);
    EXPECT_STREQ("Korvani", hint.res_class);
    XFree(hint.res_name);
    XFree(hint.res_class);
}

TEST(MainWindow, CarriesTheProgramsIcon) {
    TEMP_DIR dir;
    start();
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char *data = nullptr;
    const Atom net_wm_icon = XInternAtom(fl_display, "_NET_WM_ICON", False);
    ASSERT_EQ(Success, XGetWindowProperty(fl_display, fl_xid(main_window), net_wm_icon, 0, 1 << 20, False,
                                          XA_CARDINAL, &type, &format, &count, &remaining, &data));
    ASSERT_NE(nullptr, data);
    const long *words = reinterpret_cast<const long *>(data);
    ASSERT_EQ(2u + ICON_SIZE * ICON_SIZE, count);
    EXPECT_EQ(ICON_SIZE, words[0]);
    EXPECT_EQ(ICON_SIZE, words[1]);
    unsigned char rgba[ICON_SIZE * ICON_SIZE * 4];
    icon_pixels(rgba);
    int differing = 0;
    for (int k = 0; k < ICON_SIZE * ICON_SIZE; ++k) {
        const unsigned long argb = static_cast<unsigned long>(words[2 + k]) & 0xffffffffu;
        const unsigned long expected = (static_cast<unsigned long>(rgba[4 * k + 3]) << 24) |
                                       (rgba[4 * k] << 16) | (rgba[4 * k + 1] << 8) | rgba[4 * k + 2];
        if (argb != expected) ++differing;
    }
    EXPECT_EQ(0, differing);
    XFree(data);
}
