#include "app/main_window.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/fl_draw.H>

#include "app/board_view.h"
#include "app/flow.h"
#include "app/platform.h"
#include "app/state.h"
#include "model/game.h"
#include "support/dialogs.h"
#include "support/display.h"
#include "support/draw.h"
#include "support/i18n.h"

int WINDOW_W = 230;
int WINDOW_H = 300;

Fl_Window *main_window = nullptr;
Fl_Window *content_window = nullptr;
Fl_Button *new_game_button = nullptr;
Fl_Box *message_box = nullptr;
Fl_Box *rating_box = nullptr;

namespace {

const char *const RATING_CAPTION = N_("РЕЙТИНГ:");

// The numbers menu_cb acts on, kept in the items' user data.
enum { MENU_NEW_GAME = 1, MENU_RATING_RESET, MENU_EXIT, MENU_RULES, MENU_ABOUT };

void *number(intptr_t n) { return reinterpret_cast<void *>(n); }

// The menu bar that menu_make created, for the key that opens it.
Fl_Menu_Bar *menu_bar = nullptr;

// Opens the first menu, "Игра", as a click on its title does; the arrows then go through the items and
// the other title, Return chooses and Escape closes, as the toolkit's menus always take them.
void menu_open() {
    if (!menu_bar || !menu_bar->menu()) return;
    const Fl_Menu_Item *first = menu_bar->menu();
    menu_bar->picked(first->pulldown(menu_bar->x(), menu_bar->y(), menu_bar->w(), menu_bar->h(), first, menu_bar,
                                     nullptr, 1));
}

// Shown once the event loop runs, over the main window.
void unreadable_message_cb(void *) { rating_unreadable_message(); }

// How soon a save that found the file locked is tried again.
const double SAVE_RETRY_SECONDS = 0.25;

void save_retry_cb(void *) {
    if (app && rating_pending(app)) rating_keep();
}

// The display is gone: a change that an earlier failure left pending may be saved now; one that still
// cannot is lost, and said so as at any other exit.
void display_lost_save() {
    if (app && !rating_save_at_exit(app)) std::fputs("Error: rating_write\n", stderr);
}


void show_refused() { YMessage(_("Сюда ходить нельзя!"), _("Закрыть"), _("Сообщение")); }

void show_label(Fl_Widget *label) {
    if (!label) return;
    label->redraw();
    Fl::check();
}

void show_message() { show_label(message_box); }
void show_rating() { show_label(rating_box); }

void redraw_board() {
    if (board_widget) board_widget->redraw();
}

const FLOW_DISPLAY window_display = {show_refused, show_message, show_rating, board_view_paint_point, redraw_board,
                                     rating_save_failed_message, rating_save_later};

} // namespace

// No item has a shortcut or a callback of its own: every choice goes to menu_cb by its number.
Fl_Menu_Item menu_items[10] = {
    {N_("Игра"), 0, nullptr, number(0), FL_SUBMENU, 0, 0, 0, 0},
    {N_("Новая игра"), 0, nullptr, number(MENU_NEW_GAME), 0, 0, 0, 0, 0},
    {N_("Обнулить рейтинг"), 0, nullptr, number(MENU_RATING_RESET), FL_MENU_DIVIDER, 0, 0, 0, 0},
    {N_("Выход"), 0, nullptr, number(MENU_EXIT), 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {N_("Справка"), 0, nullptr, number(0), FL_SUBMENU, 0, 0, 0, 0},
    {N_("Правила игры"), 0, nullptr, number(MENU_RULES), 0, 0, 0, 0, 0},
    {N_("О программе..."), 0, nullptr, number(MENU_ABOUT), 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

void MAIN_KORVANI::compose() {
    YRectf(0, 0, w(), h(), 255);
    menu_make(5, 5, WINDOW_W - 10, 30);

    // The panel: what follows up to YPop is relative to its corner (5, 35).
    YPush("", 5, 35, WINDOW_W - 10, 65, YPanelColors.fill, YPanelColors.border);
    YLine(5, 35, WINDOW_W - 5, 35, 255);
    YButton(&new_game_button, "@circle", _("Новая игра"), 8, 5, 35, 55, new_game_cb);
    // The toolkit's own circle comes out uneven (taller than wide on X11, flattened under Windows at
    // 192 dpi): the dot is drawn round in the screen's pixels instead.
    if (YDrawPass == 0) YDotLabel(new_game_button);
    YBox(&message_box, message_text, 48, 10, WINDOW_W - 69, 25, YColorGray, 16, 14);
    // The rating value follows the caption at its measured width, so both sit on one line whatever
    // the face's metrics.
    fl_font(16, 14);
    const char *const caption = _(RATING_CAPTION);
    const int caption_w = static_cast<int>(fl_width(caption));
    YDrawStringInBox(caption, 51, 35, caption_w + 5, 25, YLEFT, YCENTER, YColorBlack);
    YBox(&rating_box, rating_text, caption_w + 56, 35, WINDOW_W - 69 - (caption_w + 5), 25, YColorGray,
         FL_HELVETICA_BOLD, 15);
    YPop();

    if (YDrawPass == 0) {
        board_widget = new Board(5, 105, WINDOW_W - 10, WINDOW_H - 110);
        dialogs_attach_board(board_widget);
    }
}

// The keys are shortcuts of the window, not items' shortcuts in the menu table: an item with a shortcut
// shows it beside its text, and a title opened by Alt and a letter shows that letter underlined, and the
// menu keeps its texts exactly as they are. F10 opens the menu bar as in GNOME's and Windows' programs.
// Nothing acts while a modal message waits for its answer: the toolkit offers shortcuts to the window
// under the pointer even then.
int MAIN_KORVANI::handle(int event) {
    if (event == FL_SHORTCUT && !Fl::modal()) {
        if (Fl::test_shortcut(FL_CTRL + 'n')) {
            if (new_game_button) new_game_button->do_callback();
            return 1;
        }
        if (Fl::test_shortcut(FL_F + 1)) {
            rules_open();
            return 1;
        }
        if (Fl::test_shortcut(FL_F + 10)) {
            menu_open();
            return 1;
        }
        // Quits as the close box and Escape do, as GNOME's and KDE's programs quit with Ctrl and Q.
        if (Fl::test_shortcut(FL_CTRL + 'q')) {
            if (main_window) main_window->do_callback();
            return 1;
        }
    }
    return My_Window::handle(event);
}

void menu_make(int x, int y, int w, int h) {
    // The table holds the texts to translate; the toolkit shows what it holds, translated once.
    static bool translated = false;
    for (Fl_Menu_Item &item : menu_items)
        if (!translated && item.text) item.text = _(item.text);
    translated = true;
    YRect(x, y, w, h, 56);
    if (Fl_Menu_Bar *bar = YMenuBar(x + 1, y + 1, w - 1, h - 1, menu_items, menu_cb)) menu_bar = bar;
}

void menu_cb(Fl_Widget *w, void *) {
    const Fl_Menu_Item *item = static_cast<Fl_Menu_ *>(w)->mvalue();
    if (!item) return;
    switch (item->argument()) {
    case MENU_NEW_GAME: new_game(); break;
    case MENU_RATING_RESET: rating_reset(); break;
    case MENU_EXIT: app_exit();
    case MENU_RULES: rules_open(); break;
    case MENU_ABOUT: about_open(); break;
    default: break; // a submenu title
    }
}

void new_game_cb(Fl_Widget *w, void *) {
    if (w == new_game_button) new_game();
}

void window_cb(Fl_Widget *, void *) { app_exit(); }

void app_exit() {
    view_free();
    // The state record does not own the game record, and once it is gone nothing points at the game:
    // release it here, or every exit ends with a leak.
    game_free(app->game);
    app->game = nullptr;
    // An unfinished game is not charged: the rating is written as the flow left it.
    app_close(app);
    app = nullptr;
    std::exit(0);
}

int app_start(int argc, char **argv) {
    YInitFonts();
    WINDOW_W = 230;
    WINDOW_H = 300;

    // The toolkit makes each new window the current group: the content window becomes a child of
    // main_window and compose's widgets children of the content window.
    main_window = new Fl_Window(WINDOW_W, WINDOW_H, _("  КОРВАНИ"));
    dialogs_attach_main(main_window);
    session_open(&window_display, 1, nullptr);
    session_end_catch(app_exit);
    content_window = new MAIN_KORVANI(0, 0, WINDOW_W, WINDOW_H);
    YDrawPass = 0;
    static_cast<MAIN_KORVANI *>(content_window)->compose();
    content_window->end();

    // No game is in progress yet, so the first game gives nothing up. The window is not shown yet: the
    // game's stones appear with its first full draw.
    new_game();

    main_window->add(content_window);
    main_window->end();
    // A fixed window: no resizable widget, and the same minimum and maximum size for the window manager.
    main_window->resizable(nullptr);
    main_window->size_range(WINDOW_W, WINDOW_H, WINDOW_W, WINDOW_H);

    // The same picture as the executable's and the desktop's icon. Without it no window is shown and the
    // rating file is left as it is.
    if (!window_icon_set(main_window)) std::exit(0);
    // The window's class, WM_CLASS "korvani", "Korvani", is what ties it to the desktop entry
    // (StartupWMClass): the toolkit's default "FLTK" put it among every other FLTK program. The
    // toolkit's -name option still overrides it.
    main_window->xclass("korvani");
    main_window->callback(window_cb);

    Fl::visual(FL_DOUBLE | FL_INDEX);
    main_window->show(argc, argv);
    // After the toolkit opened the display, which sets a handler of its own.
    display_lost_catch(display_lost_save);
    // Shown by the event loop over the main window; not before, as the first game's labels already let
    // the toolkit run its timeouts.
    if (app->problem[0]) Fl::add_timeout(0.0, unreadable_message_cb);
    return 0;
}

int app_main(int argc, char **argv) {
    const int status = app_start(argc, argv);
    if (status != 0) return status;
    Fl::flush();
    Fl::run();
    // The loop ends only when every window is hidden; leave the same way as the window's close does,
    // so the rating is never lost.
    app_exit();
}

void rating_unreadable_message() {
    char text[256];
    if (app && app->mixed)
        std::snprintf(text, sizeof text, _("В файле %s\nне только рейтинг.\nИграем с рейтингом %s,\nфайл не меняется."),
                      RATING_FILE, rating_text);
    else
        std::snprintf(text, sizeof text, _("Файл %s\nнельзя прочитать:\n%s.\nИграем с рейтингом 0,\nфайл не меняется."),
                      RATING_FILE, app ? app->problem : "");
    YMessage(text, _("Закрыть"), _("Сообщение"));
}

void rating_save_failed_message() {
    char text[256];
    // A locked file is tried again soon (rating_save_later); anything else with the next change.
    const char *when =
        app && app->save_locked ? _("Сохраним, как только\nон освободится.") : _("Сохраним снова\nпосле следующей игры.");
    std::snprintf(text, sizeof text, _("Рейтинг не сохранён\nв файл %s:\n%s.\n%s"), RATING_FILE,
                  app ? app->problem : "", when);
    YMessage(text, _("Закрыть"), _("Сообщение"));
}

void rating_save_later() {
    Fl::remove_timeout(save_retry_cb);
    Fl::add_timeout(SAVE_RETRY_SECONDS, save_retry_cb);
}

void main_window_attach_flow() { flow_set_display(&window_display); }
