#include "app/board_view.h"

#include <initializer_list>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>

#include "app/flow.h"
#include "app/state.h"
#include "model/board.h"
#include "support/display.h"
#include "support/draw.h"

Board *board_widget = nullptr;

namespace {

// The largest distance between grid lines: on the 220 x 190 view the board square then measures 155.
constexpr int CELL_MAX = 29;

// The cursor's colour, the toolkit's blue: apart from the black and white of the board, the lines and
// the stones, and the colour the desktops mark the keyboard's place with. Its lines are this thick, in
// the toolkit's units like every other size here, so they grow with the window's scale.
constexpr Fl_Color CURSOR_COLOR = FL_BLUE;
constexpr int CURSOR_LINE = 4;

int board_size() { return app->size; }

} // namespace

// The cursor starts on the centre point, the opening most players look at first.
Board::Board(int x, int y, int w, int h) : Fl_Widget(x, y, w, h) {
    cursor_row = board_size() / 2;
    cursor_col = board_size() / 2;
}

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
    if (cursor_shown) draw_cursor();
    fl_pop_clip();
}

// The lines are drawn in the screen's pixels, one width for all of them, each centred where the toolkit
// puts the unit of its place: at a fractional scale the toolkit's own lines would alternate between two
// widths, and the cells still differ by one pixel at most.
void Board::draw_grid() {
    const int size = board_size();
    const int side = cell + span + 10;
    YRectFB(grid_x - cell / 2 - 5, grid_y - cell / 2 - 5, side, side, YBoardColors.fill, YBoardColors.border);
    if (YDrawPass == 0) return;
    const YPIXELS px;
    const int line = px.line();
    const int left = px.at(grid_x, line);
    const int top = px.at(grid_y, line);
    const int right = px.at(grid_x + span, line) + line;
    const int bottom = px.at(grid_y + span, line) + line;
    fl_color(YBoardColors.border);
    for (int i = 0; i < size; ++i) fl_rectf(px.at(grid_x + i * cell, line), top, line, bottom - top);
    for (int i = 0; i < size; ++i) fl_rectf(left, px.at(grid_y + i * cell, line), right - left, line);
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
    // The board takes the keyboard focus, the only widget of the window that does: the window's keys
    // reach it first. What it does not use goes on to the window (Escape closes the game).
    case FL_FOCUS:
    case FL_UNFOCUS: return 1;
    case FL_KEYBOARD: return key(Fl::event_key());
    case FL_KEYUP:
    case FL_SHORTCUT: return Fl_Widget::handle(event);
    // Every other event is taken, so that the release following a press comes here too.
    default: return 1;
    }
    if (Fl::event_button() != FL_LEFT_MOUSE) return 0;

    const int col = click_line(Fl::event_x() - grid_x, cell);
    const int row = click_line(Fl::event_y() - grid_y, cell);

    // The player took the mouse: the cursor goes, and a key brings it back where the mouse played.
    if (cursor_shown) {
        cursor_shown = 0;
        redraw();
    }
    cursor_to(row, col);

    if (app->game_over) return 0;
    user_turn(row, col);
    return 1;
}

// The arrows move the cursor, stopping at the board's edges; Return and Space play its point as a click
// there would, a taken point with the same message. The first key only shows the cursor where it
// stands, so that no stone is ever put on a point the player has not seen. Keys with Ctrl, Alt or Meta
// are the window's shortcuts, not the board's.
int Board::key(int key) {
    if (Fl::event_state() & (FL_CTRL | FL_ALT | FL_META)) return 0;
    int row = cursor_row;
    int col = cursor_col;
    bool play = false;
    switch (key) {
    case FL_Left: --col; break;
    case FL_Right: ++col; break;
    case FL_Up: --row; break;
    case FL_Down: ++row; break;
    case FL_Enter:
    case FL_KP_Enter:
    case ' ': play = true; break;
    default: return 0;
    }
    if (!cursor_shown) {
        cursor_shown = 1;
        redraw();
    } else if (play) {
        user_turn(cursor_row, cursor_col);
    } else {
        cursor_to(row, col);
    }
    return 1;
}

void Board::cursor_to(int row, int col) {
    const int last = board_size() - 1;
    row = row < 0 ? 0 : row > last ? last : row;
    col = col < 0 ? 0 : col > last ? last : col;
    if (row == cursor_row && col == cursor_col) return;
    cursor_row = row;
    cursor_col = col;
    if (cursor_shown) redraw();
}

// Four corners, each two short strokes, on the corners of the square that holds the point's stone,
// where it meets its neighbours' squares. There they lie in the gap between the four stones and away
// from the lines: no stone painted at once, put or marked, ever covers them, and the grid shows whole
// through the cursor.
void Board::draw_cursor() {
    // In pixels, about the point's lines as draw_grid draws them, so that the four corners are alike at
    // every scale. Where the stones' squares meet, each side of the point, and how far the strokes reach
    // from there: as far as the round stones leave room.
    const YPIXELS px;
    const int line = px.line();
    const int thick = px.length(CURSOR_LINE);
    const int arm = px.length(cell / 4);
    const int reach = px.length(cell / 2 + CURSOR_LINE / 2);
    const int cx = px.at(grid_x + cursor_col * cell, line);
    const int cy = px.at(grid_y + cursor_row * cell, line);
    fl_color(CURSOR_COLOR);
    for (const int sx : {-1, 1})
        for (const int sy : {-1, 1}) {
            // The corner's outer sides, and where its strokes start so that they end on those sides.
            const int x = sx < 0 ? cx - reach : cx + line + reach - thick;
            const int y = sy < 0 ? cy - reach : cy + line + reach - thick;
            const int arm_x = sx < 0 ? cx - reach : cx + line + reach - arm;
            const int arm_y = sy < 0 ? cy - reach : cy + line + reach - arm;
            fl_rectf(arm_x, y, arm, thick);
            fl_rectf(x, arm_y, thick, arm);
        }
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

// Before the window is shown there is nothing to paint into; its first full draw shows the position.
void board_view_paint_point(int row, int col, int code) {
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
