// Start-up to the first frame of the real window: starts the game (the korvani binary) on the X
// display of DISPLAY, in an empty folder so that it starts with the rating 0 and an empty board, and
// times from the start of the process until the window shows its first complete frame. The window does
// not change once drawn, so the first complete frame is the first image of the window equal to the one
// it shows when it has settled. Needs an X server: scripts/bench runs it under Xvfb (tests/with-xvfb).
#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char **environ;

namespace {

using Clock = std::chrono::steady_clock;

// How long the window must stay unchanged to count as settled, and how long a start may take at most.
constexpr auto SETTLED = std::chrono::milliseconds(500);
constexpr auto GIVE_UP = std::chrono::seconds(20);

struct IMAGE_STATE {
    uint64_t hash;
    bool uniform; // every pixel the same: nothing drawn yet
};

IMAGE_STATE look(Display *display, Window window) {
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return {0, true};
    XImage *image = XGetImage(display, window, 0, 0, attributes.width, attributes.height, AllPlanes, ZPixmap);
    if (!image) return {0, true};
    // The rows' bytes as they came, padding aside: a look must be quick, as it sets the resolution.
    uint64_t hash = 1469598103934665603ull;
    const int row_bytes = image->width * image->bits_per_pixel / 8;
    const unsigned char first = static_cast<unsigned char>(image->data[0]);
    bool uniform = true;
    for (int y = 0; y < image->height; ++y) {
        const unsigned char *row = reinterpret_cast<const unsigned char *>(image->data) + y * image->bytes_per_line;
        for (int x = 0; x < row_bytes; ++x) {
            uniform = uniform && row[x] == first;
            hash = (hash ^ row[x]) * 1099511628211ull;
        }
    }
    XDestroyImage(image);
    return {hash, uniform};
}

// The seconds from the start of the process to its first complete frame; negative when it failed.
double start_once(Display *display, const std::string &folder) {
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True); // drop what came before

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    char program[] = KORVANI_BINARY;
    char *argv[] = {program, nullptr};
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;

    // The game's top-level window is the first window mapped on the root.
    Window window = 0;
    while (!window && Clock::now() - start < GIVE_UP) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root) window = event.xmap.window;
        }
        if (!window) usleep(200);
    }

    double first_frame = -1;
    if (window) {
        // Every look with its time; once the window has stayed the same for a while, the first look
        // that showed that same image is the first frame.
        std::vector<std::pair<Clock::time_point, uint64_t>> looks;
        Clock::time_point changed = Clock::now();
        uint64_t last = 0;
        for (;;) {
            const Clock::time_point now = Clock::now();
            const IMAGE_STATE state = look(display, window);
            looks.emplace_back(now, state.uniform ? 0 : state.hash);
            if (state.uniform || state.hash != last) {
                changed = now;
                last = state.uniform ? 0 : state.hash;
            } else if (now - changed >= SETTLED) {
                break;
            }
            if (now - start > GIVE_UP) break;
        }
        if (last != 0)
            for (const auto &seen : looks)
                if (seen.second == last) {
                    first_frame = std::chrono::duration<double>(seen.first - start).count();
                    break;
                }
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    XSelectInput(display, root, NoEventMask);
    return first_frame;
}

void BM_StartupToFirstFrame(benchmark::State &state) {
    Display *display = XOpenDisplay(nullptr);
    if (!display) {
        state.SkipWithError("no X display: run under Xvfb (tests/with-xvfb)");
        return;
    }
    char folder_template[] = "/tmp/korvani_startup_XXXXXX";
    const char *folder = mkdtemp(folder_template);
    if (!folder) {
        state.SkipWithError("no temporary folder");
        XCloseDisplay(display);
        return;
    }
    for (auto _ : state) {
        const double seconds = start_once(display, folder);
        if (seconds < 0) {
            state.SkipWithError("the window did not show a settled frame");
            break;
        }
        state.SetIterationTime(seconds);
    }
    std::remove((std::string(folder) + "/korvani.ini").c_str());
    rmdir(folder);
    XCloseDisplay(display);
}
BENCHMARK(BM_StartupToFirstFrame)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
