#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/main_window.h"
#include "app/options.h"

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

// The standard error stream may be a pipe that its reader no longer reads (a log that hangs): once its
// buffer is full every write of the trace would wait, and the game with it. Opened anew on a description
// of its own that does not wait (the shell's stays as it was), what cannot be written at once is left
// out. A pipe without a reader cannot be opened so, and stays: see below. A terminal stays as it is too:
// one stopped with Ctrl-S was stopped by its user, and dropping escapes there could leave its colours.
void error_pipe_unblock() {
    struct stat info {};
    if (fstat(STDERR_FILENO, &info) != 0 || !S_ISFIFO(info.st_mode)) return;
    const int fd = open("/proc/self/fd/2", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    dup2(fd, STDERR_FILENO);
    close(fd);
}

// The standard error stream may be a pipe whose reader has gone: a write to it then fails, which the
// trace ignores, instead of ending the game without its exit. Likewise a limit on the size of files
// (ulimit -f): a save beyond it fails and is told, instead of ending the game half way through it.
void signals_ignore() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace

int main(int argc, char **argv) {
    signals_ignore();
    // --help, --version and a mistyped option answer before any display is opened, and before the
    // standard streams are made whole: written to a closed stream, they fail and say so.
    const int status = options_read(argc, argv, stdout, stderr);
    if (status >= 0) return status;
    std_streams_open();
    error_pipe_unblock();
    return app_main(argc, argv);
}
