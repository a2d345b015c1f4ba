// The base of every window of the program: one compose, run in two passes.
#pragma once

#include <FL/Fl_Window.H>

// A window whose content is its compose: the code that builds it sets YDrawPass to 0 and runs compose,
// which creates the widgets; every draw sets YDrawPass to 1 and runs compose again, which now paints the
// background and decorations, and then draws the children over them.
class My_Window : public Fl_Window {
public:
    using Fl_Window::Fl_Window;
    void draw() override;
    // The window's content. The base has none.
    virtual void compose() {}
};
