#include "support/window.h"

#include <FL/Enumerations.H>

#include "support/draw.h"

void My_Window::draw() {
    YDrawPass = 1;
    // compose paints the background and the decorations, so the window's own box and label are not
    // drawn. When only some children changed, the toolkit has clipped drawing to their rectangles, so
    // this repaints just the background behind them (erasing a boxless label's old text) and the rest
    // of the window stays as it was.
    compose();
    Fl_Widget *const *children = array();
    const int count = this->children();
    if (damage() == FL_DAMAGE_CHILD) {
        for (int k = 0; k < count; ++k) update_child(*children[k]);
    } else {
        for (int k = 0; k < count; ++k) {
            draw_child(*children[k]);
            draw_outside_label(*children[k]);
        }
    }
}
