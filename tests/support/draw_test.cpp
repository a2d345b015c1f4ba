// The drawing layer: the origin stack, the two passes, the painting and the text placement, read back
// as pixels from a real window.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/fl_draw.H>

#include "support/draw.h"
#include "support/window.h"
#include "tests/support/x_test.h"

namespace {

// A white window whose drawing pass runs the test's painting.
class PAINT_WINDOW : public My_Window {
public:
    PAINT_WINDOW() : My_Window(0, 0, 300, 200) { end(); }
    std::function<void()> paint;
    void compose() override {
        YRectf(0, 0, w(), h(), 255);
        if (paint) paint();
    }
};

// Paints through the window's drawing pass and reads the result back.
PIXELS paint_and_read(const std::function<void()> &paint) {
    YInitFonts();
    PAINT_WINDOW *window = new PAINT_WINDOW;
    window->paint = paint;
    show_and_settle(window);
    window->redraw();
    PIXELS pixels = read_window(window);
    window->hide();
    delete window;
    return pixels;
}

const unsigned WHITE = 0xffffff;
const unsigned BLACK = 0x000000;

} // namespace

TEST(DrawOrigin, PushesAddUpPopsRestoreAndTheStackIsGuarded) {
    int x = -1, y = -1;
    YOriginSet(7, -3);
    YOriginGet(&x, &y);
    EXPECT_EQ(7, x);
    EXPECT_EQ(-3, y);
    YOriginSet(0, 0);
    YPush(nullptr, 5, 35, 220, 65, 49, 0);
    YPush(nullptr, 10, 10, 20, 20, 49, 0);
    YOriginGet(&x, &y);
    EXPECT_EQ(15, x);
    EXPECT_EQ(45, y);
    YPop();
    YOriginGet(&x, &y);
    EXPECT_EQ(5, x);
    EXPECT_EQ(35, y);
    YPop();
    EXPECT_EQ(0, YPushDepth());

    // A hundred nested panels fit; the next push, and a pop with none open, stop with their name.
    for (int k = 0; k < YORIGIN_DEPTH; ++k) YPush(nullptr, 1, 2, 0, 0, 0, 0);
    YOriginGet(&x, &y);
    EXPECT_EQ(100, x);
    EXPECT_EQ(200, y);
    EXPECT_EXIT(YPush(nullptr, 1, 1, 0, 0, 0, 0), testing::ExitedWithCode(1), "^ERROR: YPush \n$");
    for (int k = 0; k < YORIGIN_DEPTH; ++k) YPop();
    YOriginGet(&x, &y);
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);
    EXPECT_EXIT(YPop(), testing::ExitedWithCode(1), "^ERROR: YPop \n$");
}

TEST(DrawPaint, OriginMovesRectanglesButNotLinesAndOnlyANullLabelPaintsNoFrame) {
    const PIXELS p = paint_and_read([] {
        YPush(nullptr, 5, 35, 0, 0, 0, 0);
        YRect(0, 0, 10, 10, YColorBlack);
        YLine(5, 35, 225, 35, YColorBlack);
        YPop();
        YPush(nullptr, 10, 100, 50, 50, YColorGray, YColorBlack);
        YPop();
        YPush("", 100, 100, 50, 50, YColorGray, YColorBlack);
        YRectf(10, 10, 3, 3, YColorBlack);
        YPop();
    });
    struct SPOT {
        int x, y;
        unsigned colour;
    } spots[] = {
        {5, 40, BLACK}, {14, 40, BLACK}, {10, 44, BLACK}, {10, 40, WHITE}, {15, 40, WHITE}, // YRect at (5, 35)
        {200, 35, BLACK}, {200, 36, WHITE}, {200, 70, WHITE},                             // YLine on row 35
        {10, 100, WHITE}, {30, 130, WHITE},                                              // null label
        {100, 100, BLACK}, {149, 149, BLACK}, {120, 140, map_rgb(YColorGray)},           // "" label
        {110, 110, BLACK}, {112, 112, BLACK}, {113, 112, map_rgb(YColorGray)},           // inside it
    };
    for (const SPOT &s : spots) EXPECT_EQ(s.colour, p.at(s.x, s.y)) << "at " << s.x << "," << s.y;
}

TEST(DrawPaint, BuildingPassPaintsNothing) {
    int y_after = -1;
    const PIXELS p = paint_and_read([&y_after] {
        YDrawPass = 0;
        YRectf(0, 0, 300, 200, YColorBlack);
        YRect(10, 10, 50, 50, YColorBlack);
        YRectFB(10, 10, 50, 50, YColorBlack, YColorBlack);
        YLine(0, 100, 300, 100, YColorBlack);
        YDrawString("ЖЖЖ", 10, 150, YColorBlack);
        YDrawStringImp("ЖЖЖ", 100, 150, YColorBlack, YRIGHT, YCENTER);
        const char *lines[] = {"ЖЖЖ", "", "ЖЖЖ", nullptr};
        int y = 20;
        YDrawLines(lines, 150, &y, 15, YColorBlack);
        y_after = y;
        YDrawPass = 1;
    });
    EXPECT_FALSE(p.has_dark(0, 0, p.w, p.h));
    EXPECT_EQ(20, y_after);
}

TEST(DrawText, LinesStepDownAndEmptyLinesAreTenPixels) {
    int last = -1;
    const PIXELS p = paint_and_read([&last] {
        fl_font(16, 14);
        const char *lines[] = {"H", "", "H", "H", nullptr};
        YPush(nullptr, 0, 5, 0, 0, 0, 0);
        int y = 20;
        YDrawLines(lines, 20, &y, 15, YColorBlack);
        last = y;
        YPop();
    });
    // Baselines 5 + 35, then 10 for the gap and 15 more: 65, then 80. An "H" stands on its baseline,
    // so its lowest ink row is the one above it; an FLTK that draws its text with Pango (FLTK 1.4 built
    // with Cairo, as Debian 13's) sets it one row higher still.
    EXPECT_EQ(80, last);
    int box[4];
    for (const int baseline : {40, 65, 80}) {
        p.dark_box(15, baseline - 13, 30, 13, box);
        EXPECT_GE(box[3], baseline - 2) << "baseline " << baseline;
        EXPECT_LE(box[3], baseline - 1) << "baseline " << baseline;
        EXPECT_GE(box[0], 20) << "baseline " << baseline;
        EXPECT_LE(box[0], 22) << "baseline " << baseline;
    }
    EXPECT_FALSE(p.has_dark(15, 41, 30, 10));
}

// Where the text's ink lies about the anchor (150, 100), with the origin at (0, 0).
struct ALIGN_CASE {
    int halign;
    int valign;
    const char *diagnostic;
};

TEST(DrawText, AlignmentPlacesTheTextAboutTheAnchor) {
    const ALIGN_CASE cases[] = {
        {YLEFT, YCENTER, ""},   {YCENTER, YCENTER, ""}, {YRIGHT, YCENTER, ""}, {YRIGHT, YABOVE, ""},
        {YRIGHT, YBELOW, ""},   {7, YCENTER, "YDrawStringImp-1"},             {YRIGHT, 9, "YDrawStringImp-2"},
    };
    const char *const text = "НННН";
    for (const ALIGN_CASE &c : cases) {
        int width = 0, height = 0;
        std::string printed;
        const PIXELS p = paint_and_read([&] {
            fl_font(16, 14);
            width = static_cast<int>(fl_width(text));
            height = fl_height();
            testing::internal::CaptureStdout();
            YDrawStringImp(text, 150, 100, YColorBlack, c.halign, c.valign);
            printed = testing::internal::GetCapturedStdout();
        });
        SCOPED_TRACE("halign " + std::to_string(c.halign) + ", valign " + std::to_string(c.valign));
        EXPECT_EQ(c.diagnostic, printed);
        int box[4];
        p.dark_box(0, 0, p.w, p.h, box);
        ASSERT_GE(box[0], 0);
        // "Н" has about a pixel of side bearing each side of its ink.
        const int ink_left = box[0], ink_right = box[1];
        switch (c.halign) {
        case YLEFT:
            EXPECT_LE(ink_right, 149);
            EXPECT_GE(ink_right, 146);
            break;
        case YCENTER:
            EXPECT_NEAR((ink_left + ink_right) / 2.0, 150, 2);
            break;
        case YRIGHT:
            EXPECT_GE(ink_left, 150);
            EXPECT_LE(ink_left, 153);
            break;
        default:
            EXPECT_GE(ink_left, 0);
            EXPECT_LE(ink_left, 3);
            break;
        }
        const double middle = (box[2] + box[3]) / 2.0;
        switch (c.valign) {
        case YCENTER: EXPECT_NEAR(100, middle, 4); break;
        case YABOVE: EXPECT_NEAR(100 - height / 2, middle, 4); break;
        case YBELOW: EXPECT_NEAR(100 + height / 2, middle, 4); break;
        default: EXPECT_LE(box[3], 8); break; // centred on the top edge: mostly cut off
        }
        EXPECT_LE(ink_right - ink_left, width);
    }
}

