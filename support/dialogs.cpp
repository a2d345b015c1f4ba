#include "support/dialogs.h"

#include <cstring>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/fl_draw.H>

#include "support/display.h"
#include "support/draw.h"

const char *about_lines[] = {
    "Игра 'КОРВАНИ'",
    "Версия " KORVANI_VERSION, // the build's version, as --version, the package and the installer give it
    "10 ноября, 2004 год",
    "",
    "Автор: проект КОРВАНИ",
    "Связь: см. файл README",
    "",
    "Сделано на FLTK 1.3",
    "Сайт: см. файл README",
    "",
    "См. также файл README.",
    nullptr,
};

const char *rules_lines[] = {
    "",
    " Общие правила Корвани:",
    "",
    " * Игра начинается либо на пустой доске либо с заранее ",
    "   заданной позиции. ",
    " * Двое партнеров поочередно выставляют на любой свободный ",
    "   пункт (пересечение линий) по одному своему камню. Начинают ",
    "   игру черные.",
    " * Побеждает игрок, первым окружившим один или несколько ",
    "   камней противника.",
    " * Камень или группа камней считаются окруженными ",
    "   (уничтоженными), если у них в результате хода соперника ",
    "   оказалось занято последнее свободное соседнее поле.",
    " * Соседними считаются поля только вдоль линий доски (по ",
    "   горизонтали и вертикали) и называются они - дамэ.",
    " * Самоубийственный ход (т.е. когда занимается последнее дамэ",
    "   своей группы) - разрешен, но равносилен сдаче партии и ",
    "   поражению.",
    " * Однако, если при этом ходе уничтожаются какие-либо камни ",
    "   соперника, то это - победа!",
    "",
    "---------------------------------------------------------------------",
    "",
    " Как играть с 'КОРВАНИ':",
    "",
    " В этой версии программы, вы играете с компьютером на доске ",
    " размером 5х5. Для удобства задано, что компьютер всегда",
    " играет белыми, а вы - черными камнями.",
    "",
    " В процессе игры вам насчитывается рейтинг, который",
    " запоминается при выходе из игры.  Рейтинг можно обнулить",
    " командой меню: 'Игра->Обнулить рейтинг'.",
    " Ваша задача - набрать максимально возможный рейтинг.",
    "",
    " 'Стоимость' каждой игры - 0.5 очка. При выигрыше они вам ",
    " прибавляются, при проигрыше, соответственно, вычитаются.",
    " При этом, целая часть значения рейтинга (слева, до точки)",
    " определяет количество форофых камней, с которыми начинается",
    " новая игра.",
    " Форовые камни расставляются на доске в случайном порядке.",
    "",
    " Успехов в игре!",
    nullptr,
};

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

// The content of the about and rules windows: a white panel with the lines on the grey background.
void compose_text(Fl_Window *window, const char **lines) {
    YRectf(0, 0, window->w(), window->h(), YColorGray);
    YRectFB(5, 5, window->w() - 10, window->h() - 10, YColorWhite, YColorBlack);
    fl_font(16, 14);
    int y = 20;
    YDrawLines(lines, 20, &y, 15, 56);
}

// Builds a top-level dialog window: its compose runs in the building pass, outside whatever group the
// caller has open, so the window does not become that group's child.
template <class WINDOW>
WINDOW *dialog_new(int w, int h, const char *title) {
    Fl_Group *const caller_group = Fl_Group::current();
    Fl_Group::current(nullptr);
    WINDOW *window = new WINDOW(beside_x(), beside_y(), w, h, title);
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
    if (!button) button = "Ok";
    if (!title) title = "Message";
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
    compose_text(this, about_lines);
    YButton(&about_close_button, "Закрыть", "", 75, 183, 70, 25, about_close);
}

void HELP::compose() { compose_text(this, rules_lines); }

void about_open() {
    if (about_window) {
        about_window->set_non_modal();
        about_window->show();
        return;
    }
    about_close_button = nullptr;
    about_window = dialog_new<ABOUT>(main_w(), 220, "О программе");
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
    if (!rules_window) rules_window = dialog_new<HELP>(main_w() * 22 / 10, main_h() * 22 / 10, "Правила игры");
    rules_window->set_non_modal();
    rules_window->show();
}
