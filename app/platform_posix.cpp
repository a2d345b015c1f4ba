#include "app/platform.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <FL/Fl.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Window.H>

#include "app/icon.h"
#include "support/toolkit.h"

namespace {

// Started with a standard stream closed (korvani 2>&-), the next file opened would take its number: the
// X connection as descriptor 2 would receive the trace's escapes. They are opened on /dev/null first.
void std_streams_open() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1) continue;
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0 && null != fd) {
            dup2(null, fd);
            close(null);
        }
    }
}

// The standard error stream may be one that its reader no longer reads: a pipe or a FIFO to a log that
// hangs, a socket a launcher or the service manager handed over, a terminal stopped with Ctrl-S or whose
// connection stalls. Once its buffer is full every write of the trace would wait, and the game with it:
// the window frozen, SIGTERM unanswered. Diagnostics never stop the game: what cannot be written at once
// is dropped (on a terminal, an escape dropped may leave its colours changed until the next one).
// The stream's own open description is shared with the shell or the launcher, and making it not wait
// would make their writes fail too. So a pipe, a FIFO or a terminal is opened anew, on a description of
// the game's own that does not wait (a pipe without a reader cannot be opened so, and stays: its writes
// fail at once, see below). A socket cannot be opened anew: the error stream is then a stream of the C
// library's whose every write is sent without waiting (MSG_DONTWAIT), on the same socket.
ssize_t send_at_once(void *socket, const char *text, size_t length) {
    const ssize_t sent = send(*static_cast<int *>(socket), text, length, MSG_DONTWAIT | MSG_NOSIGNAL);
    // What cannot be sent now is dropped: the stream never sees a failure it would keep and retry.
    return sent > 0 ? sent : static_cast<ssize_t>(length);
}

char socket_stream_buffer[1 << 14];

void error_stream_unblock() {
    struct stat info {};
    if (fstat(STDERR_FILENO, &info) != 0) return;
    if (S_ISFIFO(info.st_mode) || isatty(STDERR_FILENO)) {
        const int fd = open("/proc/self/fd/2", O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return;
        dup2(fd, STDERR_FILENO);
        close(fd);
    } else if (S_ISSOCK(info.st_mode)) {
        static int error_socket = STDERR_FILENO;
        cookie_io_functions_t calls {};
        calls.write = send_at_once;
        FILE *stream = fopencookie(&error_socket, "w", calls);
        if (!stream) return;
        std::fflush(stderr);
        std::setvbuf(stream, socket_stream_buffer, _IOFBF, sizeof socket_stream_buffer);
        // The C library's own streams are variables a program may set (glibc's manual says so).
        stderr = stream;
    }
}

// The standard error stream may be a pipe whose reader has gone: a write to it then fails, which the
// trace ignores, instead of ending the game without its exit. Likewise a limit on the size of files
// (ulimit -f): a save beyond it fails and is told, instead of ending the game half way through it.
void signals_ignore() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

// Logout, shutdown and Ctrl-C end the game through its own exit path. The handler only writes a byte to
// a pipe, the one thing it may safely do; the event loop watches the pipe and leaves from there.
int signal_pipe[2] = {-1, -1};
void (*session_quit)() = nullptr;

void on_signal(int) {
    const int saved_errno = errno;
    const char byte = 1;
    // The pipe does not block: when it is full, an exit is on its way already.
    [[maybe_unused]] const ssize_t written = write(signal_pipe[1], &byte, 1);
    errno = saved_errno;
}

void signal_cb(int, void *) { session_quit(); }

} // namespace

void process_signals_ignore() { signals_ignore(); }

void process_streams_prepare() {
    std_streams_open();
    error_stream_unblock();
}

// Caught from the start, before the toolkit opens the display: a signal that comes while the game starts
// waits in the pipe, and the event loop answers it at its first turn, through the exit.
void session_end_prepare() {
    if (signal_pipe[0] >= 0) return;
    if (pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = on_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigset_t caught;
    sigemptyset(&caught);
    for (int signal_number : {SIGTERM, SIGHUP, SIGINT}) {
        // What the game was started ignoring stays ignored: nohup's hangup, a background job's Ctrl-C.
        struct sigaction inherited {};
        if (sigaction(signal_number, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
        if (sigaction(signal_number, &action, nullptr) == 0) sigaddset(&caught, signal_number);
    }
    // A parent may start the game with them blocked, as the mask is inherited across exec: blocked, they
    // would wait for ever, and only SIGKILL, which skips the exit, would end the game. One already pending
    // is delivered here, to the handler.
    sigprocmask(SIG_UNBLOCK, &caught, nullptr);
}

void session_end_catch(void (*quit)()) {
    if (signal_pipe[0] < 0 || session_quit) return;
    session_quit = quit;
    Fl::add_fd(signal_pipe[0], FL_READ, signal_cb);
}

// The icon is drawn here, not read from disk, at the screen's scale; the window keeps its own copy.
int window_icon_set(Fl_Window *window) {
    const int scale = toolkit_screen_scale();
    const int side = ICON_SIZE * scale;
    std::vector<unsigned char> pixels(static_cast<size_t>(side) * side * 4);
    icon_pixels(pixels.data(), scale);
    const Fl_RGB_Image icon(pixels.data(), side, side, 4);
    window->icon(&icon);
    return 1;
}
