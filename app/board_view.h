// The board view: paints the 5 x 5 board from the flow's view array and turns a left click into a point.
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
};

extern Board *board_widget;

void draw_white_stone(int cx, int cy, int d);
void draw_black_stone(int cx, int cy, int d);

// Installs the window's side of the game flow: the modal message, the label refreshes and the painting of
// changed points at once.
void board_view_attach();
