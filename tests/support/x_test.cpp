#include "tests/support/x_test.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

unsigned PIXELS::at(int x, int y) const {
    const unsigned char *p = &rgb[3 * (y * w + x)];
    return (unsigned(p[0]) << 16) | (unsigned(p[1]) << 8) | p[2];
}

void PIXELS::dark_box(int x, int y, int bw, int bh, int box[4]) const {
    box[0] = box[1] = box[2] = box[3] = -1;
    for (int j = y; j < y + bh; ++j) {
        for (int i = x; i < x + bw; ++i) {
            const unsigned c = at(i, j);
            const int sum = ((c >> 16) & 255) + ((c >> 8) & 255) + (c & 255);
            if (sum >= 3 * 128) continue;
            if (box[0] < 0 || i < box[0]) box[0] = i;
            if (i > box[1]) box[1] = i;
            if (box[2] < 0) box[2] = j;
            box[3] = j;
        }
    }
}

bool PIXELS::has_dark(int x, int y, int bw, int bh) const {
    int box[4];
    dark_box(x, y, bw, bh, box);
    return box[0] >= 0;
}

unsigned map_rgb(int index) {
    unsigned char r, g, b;
    Fl::get_color(static_cast<Fl_Color>(index), r, g, b);
    return (unsigned(r) << 16) | (unsigned(g) << 8) | b;
}

void settle() {
    for (int round = 0; round < 10; ++round) {
        Fl::flush();
        XSync(fl_display, False);
        Fl::wait(0.01);
    }
    Fl::flush();
    XSync(fl_display, False);
}

void show_and_settle(Fl_Window *window) {
    window->show();
    // By the clock: any event ends one wait early, so a count of waits would give up too soon.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!window->visible_r() && std::chrono::steady_clock::now() < end) Fl::wait(0.02);
    if (!window->visible_r())
        ADD_FAILURE() << "the window \"" << (window->label() ? window->label() : "") << "\" did not show within 20 s";
    settle();
}

PIXELS read_window(Fl_Window *window) {
    settle();
    PIXELS pixels;
    pixels.w = window->w();
    pixels.h = window->h();
    pixels.rgb.resize(3 * pixels.w * pixels.h);
    window->make_current();
    fl_read_image(pixels.rgb.data(), 0, 0, pixels.w, pixels.h);
    return pixels;
}

std::vector<Fl_Window *> shown_windows(const char *title) {
    std::vector<Fl_Window *> found;
    for (Fl_Window *w = Fl::first_window(); w; w = Fl::next_window(w)) {
        if (w->label() && std::string(w->label()) == title) found.push_back(w);
    }
    return found;
}

void send_close(Fl_Window *window) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = fl_xid(window);
    event.xclient.message_type = XInternAtom(fl_display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(fl_display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(fl_display, fl_xid(window), False, NoEventMask, &event);
    XFlush(fl_display);
}

void xdotool(const std::string &args) {
    // xdotool waits on the X server; should that never answer, the limit ends it with status 124.
    const std::string command = "timeout 30 xdotool " + args;
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 124)
        ADD_FAILURE() << "xdotool " << args << " did not finish within 30 s";
    else if (status != 0)
        std::fprintf(stderr, "failed: %s\n", command.c_str());
    // The injected input reaches the server before the next request of ours.
    XSync(fl_display, False);
}

