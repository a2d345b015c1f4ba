#include "support/dialogs.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Scrollbar.H>
#include <FL/fl_draw.H>

#include "support/display.h"
#include "support/draw.h"
#include "support/i18n.h"
#include "support/toolkit.h"

// The two lines of the about window that the build, not the text, decides: the game's version, as
// --version, the package and the installer give it, and the toolkit the game runs on.
// TRANSLATORS: %s is the game's version, as "1.2".
const char *const VERSION_LINE = N_("Версия %s");
// TRANSLATORS: %s is the toolkit the game runs on, as "FLTK 1.4".
const char *const TOOLKIT_LINE = N_("Сделано на %s");

const char *about_lines[] = {
    N_("Игра 'КОРВАНИ'"),
    VERSION_LINE,
    N_("10 ноября, 2004 год"),
    "",
    N_("Автор: проект КОРВАНИ"),
    N_("Связь: см. файл README"),
    "",
    TOOLKIT_LINE,
    N_("Сайт: см. файл README"),
    "",
    N_("См. также файл README."),
    nullptr,
};

const char *rules_lines[] = {
    "",
    // TRANSLATORS: the rules window shows each entry of the rules as one line, in a window 506 pixels
    // wide at Liberation Sans 14, where a line may be at most 476 pixels wide. Re-wrap each paragraph
    // across its entries as your language needs; an entry may be the end of the sentence above it.
    N_(" Общие правила Корвани:"),
    "",
    N_(" * Игра начинается либо на пустой доске либо с заранее "),
    N_("   заданной позиции. "),
    N_(" * Двое партнеров поочередно выставляют на любой свободный "),
    N_("   пункт (пересечение линий) по одному своему камню. Начинают "),
    N_("   игру черные."),
    N_(" * Побеждает игрок, первым окружившим один или несколько "),
    N_("   камней противника."),
    N_(" * Камень или группа камней считаются окруженными "),
    N_("   (уничтоженными), если у них в результате хода соперника "),
    N_("   оказалось занято последнее свободное соседнее поле."),
    N_(" * Соседними считаются поля только вдоль линий доски (по "),
    N_("   горизонтали и вертикали) и называются они - дамэ."),
    N_(" * Самоубийственный ход (т.е. когда занимается последнее дамэ"),
    N_("   своей группы) - разрешен, но равносилен сдаче партии и "),
    N_("   поражению."),
    N_(" * Однако, если при этом ходе уничтожаются какие-либо камни "),
    N_("   соперника, то это - победа!"),
    "",
    "---------------------------------------------------------------------",
    "",
    N_(" Как играть с 'КОРВАНИ':"),
    "",
    N_(" В этой версии программы, вы играете с компьютером на доске "),
    N_(" размером 5х5. Для удобства задано, что компьютер всегда"),
    N_(" играет белыми, а вы - черными камнями."),
    "",
    N_(" В процессе игры вам насчитывается рейтинг, который"),
    N_(" запоминается при выходе из игры.  Рейтинг можно обнулить"),
    N_(" командой меню: 'Игра->Обнулить рейтинг'."),
    N_(" Ваша задача - набрать максимально возможный рейтинг."),
    "",
    N_(" 'Стоимость' каждой игры - 0.5 очка. При выигрыше они вам "),
    N_(" прибавляются, при проигрыше, соответственно, вычитаются."),
    N_(" При этом, целая часть значения рейтинга (слева, до точки)"),
    N_(" определяет количество форофых камней, с которыми начинается"),
    N_(" новая игра."),
    N_(" Форовые камни расставляются на доске в случайном порядке."),
    "",
    N_(" Успехов в игре!"),
    nullptr,
};

// A line of the about or rules window as the player reads it: in the player's language, the version or
// the toolkit's name put in where the build decides them.
std::string shown_line(const char *line) {
    const char *value = line == VERSION_LINE ? KORVANI_VERSION : line == TOOLKIT_LINE ? TOOLKIT_NAME : nullptr;
    if (!value) return _(line);
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, _(line), value);
    return buffer;
}

namespace {

Fl_Window *main_win = nullptr;
Fl_Widget *board = nullptr;
ABOUT *about_window = nullptr;
HELP *rules_window = nullptr;
Fl_Button *about_close_button = nullptr;

// The main window's size as the program made it (WINDOW_W x WINDOW_H): the dialogs' sizes follow from
// it, not from what a -geometry option on the command line may have made of the window since.
int layout_w = 230;
int layout_h = 300;

int main_w() { return layout_w; }
int main_h() { return layout_h; }
// Beside the main window: 10 pixels to its right, top edges level.
int beside_x() { return main_win ? main_win->x() + main_win->w() + 10 : layout_w + 10; }
int beside_y() { return main_win ? main_win->y() : 0; }

// The content of the about and rules windows on the grey background: a white panel of w x h with the
// lines, its top scrolled `top` pixels above the window's.
void compose_text(Fl_Window *window, const char **lines, int w, int h, int top) {
    YRectf(0, 0, window->w(), window->h(), YColorGray);
    YPush(nullptr, 0, -top, w, h, YColorGray, YColorBlack);
    YRectFB(5, 5, w - 10, h - 10, YColorWhite, YColorBlack);
    fl_font(16, 14);
    int y = 20;
    std::vector<std::string> texts;
    for (const char **line = lines; *line; ++line) texts.push_back(shown_line(*line));
    std::vector<const char *> shown;
    for (const std::string &text : texts) shown.push_back(text.c_str());
    shown.push_back(nullptr);
    YDrawLines(shown.data(), 20, &y, 15, 56);
    YPop();
}

// The rules as the layout has them: 2.2 times the main window (506 x 660), the last line on baseline 610.
int rules_w() { return main_w() * 22 / 10; }
int rules_h() { return main_h() * 22 / 10; }

// The rules window's scrollbar, made only when the window is lower than its text.
Fl_Scrollbar *rules_scrollbar = nullptr;

// Room kept above a window that is as tall as the work area, for the title bar the desktop adds.
constexpr int TITLE_BAR = 30;

struct PLACE {
    int x, y, w, h;
};

// Where the rules window goes: beside the main window at its full size where the work area of the main
// window's screen (the screen less the desktop's panels) is tall enough; where it is not, as tall as the
// work area less a title bar, with a scrollbar beside the text (over the panel's edge if the screen is too
// narrow for both). Either way moved just far enough to lie wholly in the work area. All in the toolkit's
// units, which the work area is given in too.
PLACE rules_place() {
    display_open();
    int wx = 0, wy = 0, ww = 0, wh = 0;
    if (main_win)
        Fl::screen_work_area(wx, wy, ww, wh, main_win->x() + main_win->w() / 2, main_win->y() + main_win->h() / 2);
    else
        Fl::screen_work_area(wx, wy, ww, wh, beside_x(), beside_y());
    PLACE place{beside_x(), beside_y(), rules_w(), rules_h()};
    if (place.h > wh) {
        place.h = wh - TITLE_BAR;
        place.w += Fl::scrollbar_size();
        if (place.w > ww) place.w = ww;
    }
    if (place.x + place.w > wx + ww) place.x = wx + ww - place.w;
    if (place.x < wx) place.x = wx;
    if (place.y + place.h > wy + wh) place.y = wy + wh - place.h;
    if (place.y < wy) place.y = wy;
    return place;
}

// Builds a top-level dialog window: its compose runs in the building pass, outside whatever group the
// caller has open, so the window does not become that group's child.
template <class WINDOW>
WINDOW *dialog_new(PLACE place, const char *title) {
    Fl_Group *const caller_group = Fl_Group::current();
    Fl_Group::current(nullptr);
    WINDOW *window = new WINDOW(place.x, place.y, place.w, place.h, title);
    YDrawPass = 0;
    window->compose();
    window->color(255);
    window->end();
    Fl_Group::current(caller_group);
    return window;
}

} // namespace

void dialogs_attach_main(Fl_Window *main_window) {
    main_win = main_window;
    if (main_win) {
        layout_w = main_win->w();
        layout_h = main_win->h();
    }
}

void dialogs_attach_board(Fl_Widget *board_widget) { board = board_widget; }

int YMessage(const char *text, const char *button, const char *title) {
    if (!button) button = _("Ok");
    if (!title) title = _("Message");
    Fl_Group *const caller_group = Fl_Group::current();
    Fl_Group::current(nullptr);
    // The keyboard focus goes back where it was once the message is answered, as desktops give it back
    // to the window a dialog came from: the toolkit leaves it with no widget when the message's window
    // goes, and until the window manager says otherwise the player's next keys would reach nothing.
    Fl_Widget_Tracker had_focus(Fl::focus());
    // A text of several lines (the rating file's messages) makes the box, and the window with it, grow
    // to hold it. A text of one line, as the game's refused-move message, keeps the 170 x 80 box and the
    // 230 x 150 window whatever the font's widths: on DejaVu Sans "Сюда ходить нельзя!" measures 157
    // pixels, which fit the box but not with a margin of 8 each side, and the window had grown to 233.
    int box_w = 170;
    int box_h = 80;
    if (std::strchr(text, '\n')) {
        int text_w = 0;
        int text_h = 0;
        display_open();
        fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
        fl_measure(text, text_w, text_h);
        if (text_w + 16 > box_w) box_w = text_w + 16;
        if (text_h + 12 > box_h) box_h = text_h + 12;
    }
    {
        Fl_Window window(box_w + 60, box_h + 70, title);
        Fl_Box box(30, 20, box_w, box_h, text);
        box.box(FL_BORDER_BOX);
        box.color(YColorWhite);
        // The button keeps the toolkit's default callback, which puts it into the read queue.
        Fl_Button ok((box_w + 60 - 80) / 2, box_h + 30, 80, 25, button);
        ok.color(YColorGray);
        // Return answers it too, besides Space on the focused button and Escape: a player on the
        // keyboard has just played with Return, and a shortcut changes nothing the button shows.
        ok.shortcut(FL_Enter);
        window.color(YColorGray);
        window.hotspot(&ok);
        window.end();
        window.set_modal();
        window.show();
        for (;;) {
            Fl::wait();
            bool pressed = false;
            while (Fl_Widget *done = Fl::readqueue()) {
                if (done == &ok) pressed = true;
            }
            // Closing the window through its frame hides it; waiting on would block the program with
            // no window left to answer, so that ends the wait as the button does.
            if (pressed || !window.shown()) break;
        }
    }
    Fl_Group::current(caller_group);
    if (had_focus.exists() && !Fl::focus()) had_focus.widget()->take_focus();
    return 1;
}

void ABOUT::compose() {
    compose_text(this, about_lines, w(), h(), 0);
    YButton(&about_close_button, _("Закрыть"), "", 75, 183, 70, 25, about_close);
    // The window's one button takes the keyboard focus, and shows it, as the message box's does: Space
    // presses it, and Return too, as in the message box.
    if (YDrawPass == 0 && about_close_button) {
        about_close_button->set_visible_focus();
        about_close_button->shortcut(FL_Enter);
    }
}

// The text scrolls when the window is lower than it: by the scrollbar, the wheel, the arrows, Page Up and
// Page Down, Home and End, which the scrollbar takes wherever the keyboard focus or the pointer is.
void HELP::compose() {
    if (YDrawPass == 0 && h() < rules_h()) {
        const int bar = Fl::scrollbar_size();
        rules_scrollbar = new Fl_Scrollbar(w() - bar, 0, bar, h());
        rules_scrollbar->type(FL_VERTICAL);
        rules_scrollbar->value(0, h(), 0, rules_h());
        rules_scrollbar->linesize(15);
        rules_scrollbar->callback([](Fl_Widget *bar, void *) { bar->window()->redraw(); });
    }
    compose_text(this, rules_lines, rules_w(), rules_h(), rules_scrollbar ? rules_scrollbar->value() : 0);
}

int HELP::handle(int event) {
    const bool scrolling = event == FL_KEYBOARD || event == FL_SHORTCUT || event == FL_MOUSEWHEEL;
    if (scrolling && rules_scrollbar && rules_scrollbar->handle(event)) return 1;
    return My_Window::handle(event);
}

void about_open() {
    if (about_window) {
        about_window->set_non_modal();
        about_window->show();
        return;
    }
    about_close_button = nullptr;
    about_window = dialog_new<ABOUT>(PLACE{beside_x(), beside_y(), main_w(), 220}, _("О программе"));
    about_window->set_non_modal();
    about_window->show();
}

void about_close(Fl_Widget *, void *) {
    if (about_window) {
        // The button being handled belongs to the window: the toolkit deletes it once the event is over.
        about_window->hide();
        Fl::delete_widget(about_window);
    }
    about_window = nullptr;
    about_close_button = nullptr;
    Fl::check();

    if (main_win) main_win->redraw();
    if (board) {
        board->redraw();
        // The board lives in a child window, which covers main_window on the screen: paint it there.
        Fl_Window *window = board->window();
        if (window && window->shown()) {
            window->make_current();
            YDrawPass = 1;
            board->draw();
        }
    }
    Fl::check();
}

void rules_open() {
    if (!rules_window) rules_window = dialog_new<HELP>(rules_place(), _("Правила игры"));
    rules_window->set_non_modal();
    rules_window->show();
}
