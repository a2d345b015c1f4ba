#include "support/draw.h"

#include <cmath>
#include <cstdio>

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/fl_draw.H>

#include "support/common.h"
#include "support/toolkit.h"

int YDrawPass = 0;

namespace {

struct ORIGIN {
    int x;
    int y;
};

ORIGIN origin{0, 0};
ORIGIN origin_stack[YORIGIN_DEPTH];
int origin_count = 0;

} // namespace

void YLine(int x1, int y1, int x2, int y2, int color) {
    if (YDrawPass == 0) return;
    fl_color(color);
    fl_line(x1, y1, x2, y2);
}

void YRectf(int x, int y, int w, int h, int color) {
    if (YDrawPass == 0) return;
    fl_color(color);
    fl_rectf(x + origin.x, y + origin.y, w, h);
}

void YRect(int x, int y, int w, int h, int color) {
    if (YDrawPass == 0) return;
    fl_color(color);
    fl_rect(x + origin.x, y + origin.y, w, h);
}

void YRectFB(int x, int y, int w, int h, int fill, int border) {
    YRectf(x, y, w, h, fill);
    YRect(x, y, w, h, border);
}

void YFrame(const char *, int x, int y, int w, int h, int fill, int border) {
    YRectFB(x, y, w, h, fill, border);
}

void YDrawLines(const char **lines, int x, int *y, int step, int color) {
    if (YDrawPass == 0) return;
    const int left = x + origin.x;
    int baseline = *y + origin.y;
    fl_color(color);
    for (const char **line = lines; *line; ++line) {
        // An empty line is a fixed gap, so paragraphs keep their spacing whatever the step.
        baseline += (*line)[0] ? step : 10;
        fl_draw(*line, left, baseline);
    }
    *y = baseline;
}

void YDrawString(const char *text, int x, int y, int color) {
    if (YDrawPass == 0) return;
    x += origin.x;
    y += origin.y;
    const int baseline = y + fl_height() / 2 - fl_descent();
    fl_color(color);
    fl_draw(text, x, baseline);
}

void YDrawStringImp(const char *text, int x, int y, int color, int halign, int valign) {
    const int width = static_cast<int>(fl_width(text));
    const int height = fl_height();
    int left = 0;
    switch (halign) {
    case YLEFT: left = x - width; break;
    case YCENTER: left = x - width / 2; break;
    case YRIGHT: left = x; break;
    default: std::fputs("YDrawStringImp-1", stdout); break;
    }
    int middle = 0;
    switch (valign) {
    case YABOVE: middle = y - height / 2; break;
    case YCENTER: middle = y; break;
    case YBELOW: middle = y + height / 2; break;
    default: std::fputs("YDrawStringImp-2", stdout); break;
    }
    YDrawString(text, left, middle, color);
}

void YDrawStringInBox(const char *text, int x, int y, int w, int h, int halign, int valign, int color) {
    int anchor_x = x;
    int hcode = halign;
    if (halign == YCENTER) {
        anchor_x = x + w / 2;
    } else if (halign == YLEFT) {
        // The text lies to the right of the box's left edge.
        hcode = YRIGHT;
    }
    int anchor_y = y;
    if (valign == YCENTER) anchor_y = y + h / 2;
    YDrawStringImp(text, anchor_x, anchor_y, color, hcode, valign);
}

YPIXELS::YPIXELS() : scale(toolkit_pixels_begin()) {}

YPIXELS::~YPIXELS() { toolkit_pixels_end(scale); }

int YPIXELS::line() const { return scale < 2 ? 1 : static_cast<int>(scale); }

int YPIXELS::length(int units) const {
    const long pixels = std::lround(units * scale);
    return pixels < 1 ? 1 : static_cast<int>(pixels);
}

int YPIXELS::at(int u, int width) const { return static_cast<int>(std::floor(u * scale + (scale - width) / 2 + 0.5f)); }

void YDotPixels(int x, int y, int d) {
    // Row by row, the pixels whose centres are within the radius of the centre: each row's span and the
    // rows themselves are symmetric about the centre, whatever the scale made of d.
    const double r = d / 2.0;
    for (int row = 0; row < d; ++row) {
        const double dy = row + 0.5 - r;
        if (dy * dy > r * r) continue;
        const double half = std::sqrt(r * r - dy * dy);
        const int first = static_cast<int>(std::ceil(r - half - 0.5));
        const int last = static_cast<int>(std::floor(r + half - 0.5));
        if (last >= first) fl_rectf(x + first, y + row, last - first + 1, 1);
    }
}

namespace {

// The side of the square the toolkit gives a label that is one symbol: one line of the label's font.
int dot_side(const Fl_Label *label) {
    fl_font(label->font, label->size);
    return fl_height();
}

void dot_draw(const Fl_Label *label, int x, int y, int w, int h, Fl_Align) {
    const int side = dot_side(label);
    fl_color(label->color);
    const YPIXELS px;
    const int d = px.length(side);
    const int left = static_cast<int>(std::lround((x + w / 2.0) * px.scale - d / 2.0));
    const int top = static_cast<int>(std::lround((y + h / 2.0) * px.scale - d / 2.0));
    YDotPixels(left, top, d);
}

void dot_measure(const Fl_Label *label, int &w, int &h) { w = h = dot_side(label); }

} // namespace

void YDotLabel(Fl_Widget *widget) {
    const auto dot = static_cast<Fl_Labeltype>(FL_FREE_LABELTYPE);
    Fl::set_labeltype(dot, dot_draw, dot_measure);
    widget->labeltype(dot);
}

void YOriginSet(int x, int y) { origin = ORIGIN{x, y}; }

void YOriginGet(int *x, int *y) {
    *x = origin.x;
    *y = origin.y;
}

void YPush(const char *label, int x, int y, int w, int h, int fill, int border) {
    // A compose that pushes past the stack, or pops more than it pushed, is broken: stop rather than
    // write past the stack or restore an origin that was never saved.
    if (origin_count >= YORIGIN_DEPTH) YFatal("YPush");
    if (label) YFrame(label, x, y, w, h, fill, border);
    origin_stack[origin_count] = origin;
    origin = ORIGIN{origin.x + x, origin.y + y};
    ++origin_count;
}

void YPop() {
    if (origin_count <= 0) YFatal("YPop");
    --origin_count;
    origin = origin_stack[origin_count];
}

int YPushDepth() { return origin_count; }

void YButton(Fl_Button **out, const char *label, const char *tooltip, int x, int y, int w, int h,
             Fl_Callback *callback) {
    if (YDrawPass != 0) return;
    Fl_Button *button = new Fl_Button(x + origin.x, y + origin.y, w, h, label);
    button->user_data(nullptr);
    button->labelcolor(YColorBlack);
    button->callback(callback);
    button->tooltip(tooltip);
    button->clear_visible_focus();
    *out = button;
}

void YBox(Fl_Box **out, const char *label, int x, int y, int w, int h, int color, int font, int size) {
    if (YDrawPass != 0) return;
    Fl_Box *box = new Fl_Box(x + origin.x, y + origin.y, w, h, label);
    box->labelcolor(YColorBlack);
    box->color(color);
    box->labelfont(font);
    box->labelsize(size);
    box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    *out = box;
}

Fl_Menu_Bar *YMenuBar(int x, int y, int w, int h, const Fl_Menu_Item *items, Fl_Callback *callback) {
    if (YDrawPass != 0) return nullptr;
    Fl_Menu_Bar *bar = new Fl_Menu_Bar(x + origin.x, y + origin.y, w, h);
    bar->user_data(nullptr);
    bar->selection_color(255);
    bar->callback(callback);
    bar->menu(items);
    bar->redraw();
    return bar;
}

void YInitFonts() {
    // The toolkit draws UTF-8 through Xft, so the faces are fontconfig names, both with Cyrillic: for
    // the painted texts (16) a sans with Helvetica's widths, so the rules' longest lines still fit
    // their 506-pixel window at size 14 (DejaVu Sans is some 3% wider and overruns it); and a bold
    // monospace with Courier New's widths (17). Both come from fonts-liberation2.
    Fl::set_font(16, "Liberation Sans");
    Fl::set_font(17, "BLiberation Mono");
    fl_font(16, 10);
    YDrawPass = 0;
}
