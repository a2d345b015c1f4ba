// The board view: paints the 5 x 5 board from the flow's view array and turns a left click, or a key
// with its cursor, into a point.
#pragma once

#include <FL/Fl_Widget.H>

class Board : public Fl_Widget {
public:
    Board(int x, int y, int w, int h);

    void draw() override;
    int handle(int event) override;
    void draw_grid();
    // Paints what stands on one point; also used by the flow to paint a changed point at once.
    void draw_point(int row, int col, int code);

    // Geometry of the last full draw, read by handle and draw_point.
    int grid_x = 0; // x of the leftmost vertical line
    int grid_y = 0; // y of the topmost horizontal line
    int cell = 0;   // distance between lines, also the stone diameter
    int span = 0;   // length of a grid line

    // The keyboard's cursor: the point that the arrow keys move and Return or Space plays. It shows only
    // once a key has been used, so that a player with the mouse sees the board as it always was; a click
    // puts it away again, on the point clicked.
    int cursor_row = 0;
    int cursor_col = 0;
    int cursor_shown = 0;
    // Paints the cursor's four corners around its point; draw calls it while the cursor shows.
    void draw_cursor();

private:
    // A key with the keyboard focus on the board; 1 when it was the board's.
    int key(int key);
    // Moves the cursor to the point nearest to (row, col) on the board and repaints the board.
    void cursor_to(int row, int col);
};

extern Board *board_widget;

void draw_white_stone(int cx, int cy, int d);
void draw_black_stone(int cx, int cy, int d);

// Paints a changed point at once, outside the redraw cycle, so the user's stone shows before the
// computer's search starts. Nothing before the window is shown.
void board_view_paint_point(int row, int col, int code);
