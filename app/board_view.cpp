#include "app/board_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include "app/flow.h"
#include "app/main_window.h"
#include "app/state.h"
#include "model/board.h"
#include "support/dialogs.h"
#include "support/display.h"
#include "support/draw.h"

Board *board_widget = nullptr;

namespace {

// The largest distance between grid lines: on the 220 x 190 view the board square then measures 155.
constexpr int CELL_MAX = 29;

int board_size() { return app->size; }

} // namespace

Board::Board(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {}

void Board::draw() {
    const int size = board_size();
    int m = w() < h() ? w() : h();
    m = m - m / 3;
    cell = m / (size - 1);
    if (cell > CELL_MAX) cell = CELL_MAX;
    span = (size - 1) * cell;
    grid_x = x() + (w() - span) / 2;
    grid_y = y() + (h() - span) / 2;

    fl_push_clip(x(), y(), w(), h());
    YRectFB(x(), y(), w(), h(), YBackColors.fill, YBackColors.border);
    draw_grid();
    for (int col = 0; col < size; ++col)
        for (int row = 0; row < size; ++row) draw_point(row, col, board_view[row * size + col]);
    fl_pop_clip();
}

void Board::draw_grid() {
    const int size = board_size();
    const int side = cell + span + 10;
    YRectFB(grid_x - cell / 2 - 5, grid_y - cell / 2 - 5, side, side, YBoardColors.fill, YBoardColors.border);
    for (int i = 0; i < size; ++i) YLine(grid_x + i * cell, grid_y, grid_x + i * cell, grid_y + span, YBoardColors.border);
    for (int i = 0; i < size; ++i) YLine(grid_x, grid_y + i * cell, grid_x + span, grid_y + i * cell, YBoardColors.border);
}

void Board::draw_point(int row, int col, int code) {
    const int cx = grid_x + col * cell;
    const int cy = grid_y + row * cell;
    const int s = cell / 5;
    const auto mark = [&](int colour) { YRectf(cx - s, cy - s, 2 * s + 1, 2 * s + 1, colour); };

    fl_push_no_clip();
    switch (code) {
    case STONE_WHITE: draw_white_stone(cx, cy, cell); break;
    case STONE_BLACK: draw_black_stone(cx, cy, cell); break;
    case WHITE_FALSE: mark(YStoneColors.fill); break;
    case BLACK_FALSE: mark(YStoneColors.border); break;
    case WHITE_DEAD:
        draw_white_stone(cx, cy, cell);
        mark(YStoneColors.border);
        break;
    case BLACK_DEAD:
        draw_black_stone(cx, cy, cell);
        mark(YStoneColors.fill);
        break;
    default: break; // empty points and unknown codes paint nothing
    }
    fl_pop_clip();
}

int Board::handle(int event) {
    switch (event) {
    case FL_RELEASE: break;
    // Keys and keyboard focus are not the board's: taking them would swallow Escape, which closes the game.
    case FL_FOCUS:
    case FL_UNFOCUS:
    case FL_KEYDOWN:
    case FL_KEYUP:
    case FL_SHORTCUT: return Fl_Widget::handle(event);
    // Every other event is taken, so that the release following a press comes here too.
    default: return 1;
    }
    if (app->game_over) return 0;
    if (Fl::event_button() != FL_LEFT_MOUSE) return 0;

    // The nearest line from the first one on; exactly halfway takes the lower one. The division truncates
    // toward zero, so up to a cell before the first line still selects it.
    const int dx = Fl::event_x() - grid_x;
    int col = dx / cell;
    if (dx - col * cell > cell / 2) ++col;
    const int dy = Fl::event_y() - grid_y;
    int row = dy / cell;
    if (dy - row * cell > cell / 2) ++row;

    user_turn(row, col);
    return 1;
}

void draw_white_stone(int cx, int cy, int d) {
    fl_color(YStoneColors.fill);
    fl_pie(cx - d / 2, cy - d / 2, d, d, 0, 360);
    fl_color(YStoneColors.border);
    fl_arc(cx - d / 2, cy - d / 2, d, d, 0, 360);
}

void draw_black_stone(int cx, int cy, int d) {
    fl_color(YStoneColors.border);
    fl_pie(cx - d / 2, cy - d / 2, d, d, 0, 360);
}

namespace {

void show_refused() { YMessage("Сюда ходить нельзя!", "Закрыть", "Сообщение"); }

void show_label(Fl_Widget *label) {
    if (!label) return;
    label->redraw();
    Fl::check();
}

void show_message() { show_label(message_box); }
void show_rating() { show_label(rating_box); }

// Paints a changed point at once, outside the redraw cycle, so the user's stone shows before the
// computer's search starts. Before the window is shown there is nothing to paint into; its first full
// draw shows the position.
void paint_point(int row, int col, int code) {
    if (!board_widget) return;
    Fl_Window *window = board_widget->window();
    if (!window || !window->shown() || !window->visible()) return;
    window->make_current();
    const int pass = YDrawPass;
    YDrawPass = 1;
    board_widget->draw_point(row, col, code);
    YDrawPass = pass;
    display_flush();
}

void redraw_board() {
    if (board_widget) board_widget->redraw();
}

const FLOW_DISPLAY window_display = {show_refused, show_message, show_rating, paint_point, redraw_board,
                                     rating_save_failed_message, rating_save_later};

} // namespace

void board_view_attach() { flow_set_display(&window_display); }
