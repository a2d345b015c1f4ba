// The drawing layer: free functions over the toolkit's drawing calls, run in two passes.
//
// Every window describes its content once, in its compose (support/window.h), and compose runs twice:
// in the building pass (YDrawPass 0) the widget operations below create the toolkit widgets and the
// painting operations do nothing; in the drawing pass (YDrawPass 1) the painting operations paint and
// the widget operations create nothing. So one list of coordinates serves widgets and decorations alike.
//
// Most operations add the current origin to the coordinates they get, so that a panel's content can
// be written relative to the panel's corner (YPush / YPop). User-interface thread only.
#pragma once

#include <FL/Fl_Widget.H>

class Fl_Box;
class Fl_Button;
class Fl_Menu_Bar;
struct Fl_Menu_Item;

// 0: the building pass, 1: the drawing pass.
extern int YDrawPass;

// Indices into the toolkit's colour map.
constexpr int YColorWhite = 7;  // inner areas of the rules and about windows, the message box's text
constexpr int YColorGray = 49;  // window backgrounds, the message box and its button
constexpr int YColorBlack = 0;  // outlines, the caption of the main window

struct YCOLORS {
    int fill;
    int border;
};

constexpr YCOLORS YStoneColors{YColorWhite, YColorBlack}; // stones and point marks
constexpr YCOLORS YPanelColors{YColorGray, YColorBlack};  // the main window's panel
constexpr YCOLORS YBackColors{YColorGray, YColorBlack};   // the board view's background and border
constexpr YCOLORS YBoardColors{YColorWhite, YColorBlack}; // the board square under the grid

// Alignment codes of YDrawStringImp and YDrawStringInBox.
enum {
    YLEFT = 1,   // horizontal: the text ends at the anchor
    YCENTER = 2, // either axis: the text is centred on the anchor
    YRIGHT = 3,  // horizontal: the text starts at the anchor
    YABOVE = 4,  // vertical: the text's bottom at the anchor
    YBELOW = 5,  // vertical: the text's top at the anchor
};

// The origin stack holds this many saved origins.
enum { YORIGIN_DEPTH = 100 };

// --- Painting: each does nothing in the building pass. ---

// A line in window coordinates: the origin is not added (the main window draws along its panel's top
// edge in window coordinates while the panel's origin is in force).
void YLine(int x1, int y1, int x2, int y2, int color);
// A filled rectangle; origin.
void YRectf(int x, int y, int w, int h, int color);
// A one-pixel outline; origin.
void YRect(int x, int y, int w, int h, int color);
// YRectf with fill, then YRect with border.
void YRectFB(int x, int y, int w, int h, int fill, int border);
// YRectFB; the label is not drawn.
void YFrame(const char *label, int x, int y, int w, int h, int fill, int border);

// Paints the lines up to the null entry in the current font, left end at x: each non-empty line one
// step below the previous baseline, each empty one a fixed 10 pixels. The first baseline is one step
// below *y. Stores the last baseline, in window coordinates, into *y. Origin.
void YDrawLines(const char **lines, int x, int *y, int step, int color);
// Paints text with its left end at x and its vertical middle at y, in the current font. Origin.
void YDrawString(const char *text, int x, int y, int color);
// Places text about the anchor (x, y) by the alignment codes, then YDrawString. An unknown horizontal
// code prints "YDrawStringImp-1" on standard output and uses 0 for x; an unknown vertical one prints
// "YDrawStringImp-2" and uses 0 for y. Measures and diagnoses in both passes.
void YDrawStringImp(const char *text, int x, int y, int color, int halign, int valign);
// Places text within the rectangle through YDrawStringImp: YCENTER centres it on that axis, horizontal
// YLEFT starts it at the left edge; any other code goes to YDrawStringImp unchanged, anchored at the
// left or top edge.
void YDrawStringInBox(const char *text, int x, int y, int w, int h, int halign, int valign, int color);

// Drawing in the screen's pixels while it lives, inside a draw: for what must come out exact at every
// scale, which the toolkit's rounding of its units does not give at fractional ones (1.5, 2.4): lines of
// one width with cells that differ by one pixel at most, shapes alike on every side. Coordinates are the
// window's pixels.
struct YPIXELS {
    float scale; // pixels per unit of the toolkit
    YPIXELS();
    ~YPIXELS();
    YPIXELS(const YPIXELS &) = delete;
    YPIXELS &operator=(const YPIXELS &) = delete;
    // The width of a line one unit wide: the scale's whole pixels, at least 1.
    int line() const;
    // A length in units, in whole pixels, at least 1.
    int length(int units) const;
    // The first pixel of a line `width` pixels wide centred on the unit at u (either axis).
    int at(int u, int width) const;
};

// Paints a round dot of diameter d pixels, its box's top-left corner at (x, y) in pixels: the pixels whose
// centres lie inside the circle, alike in all four quarters. Inside a YPIXELS.
void YDotPixels(int x, int y, int d);
// Shows the widget's label as a round dot in the label's colour, of the size the toolkit gives a symbol
// label ("@circle") in the label's font, drawn with YDotPixels at every scale; the label's text is kept
// and not drawn.
void YDotLabel(Fl_Widget *widget);

// --- The origin: both passes. ---

void YOriginSet(int x, int y);
void YOriginGet(int *x, int *y);
// Opens a panel: with a non-null label (even "") paints YFrame relative to the current origin, then
// saves the origin and moves it by (x, y). Nesting past YORIGIN_DEPTH stops through YFatal("YPush").
void YPush(const char *label, int x, int y, int w, int h, int fill, int border);
// Closes the innermost panel and restores its origin. Without an open panel stops through
// YFatal("YPop").
void YPop();
// The number of open panels.
int YPushDepth();

// --- Widgets: created in the building pass only, at the given position plus the origin, as children of
// the toolkit's current group. The texts are not copied: the caller keeps them alive. ---

// An Fl_Button with a tooltip and no keyboard focus frame, stored into *out.
void YButton(Fl_Button **out, const char *label, const char *tooltip, int x, int y, int w, int h,
             Fl_Callback *callback);
// An Fl_Box without a box of its own: only its label shows, left-aligned and vertically centred.
void YBox(Fl_Box **out, const char *label, int x, int y, int w, int h, int color, int font, int size);
// An Fl_Menu_Bar with the items and the callback, selection colour 255. Returns it; null in the drawing
// pass.
Fl_Menu_Bar *YMenuBar(int x, int y, int w, int h, const Fl_Menu_Item *items, Fl_Callback *callback);

// Start-up: registers fonts 16 and 17 with faces that have Cyrillic, makes font 16 at size 10 current
// and sets the building pass. Needs the display: call it before any window exists.
void YInitFonts();
