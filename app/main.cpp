#include <csignal>
#include <cstdio>

#include <fcntl.h>
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

// The standard error stream may be a pipe whose reader has gone: a write to it then fails, which the
// trace ignores, instead of ending the game without its exit. Likewise a limit on the size of files
// (ulimit -f): a save beyond it fails and is told, instead of ending the game half way through it.
void signals_ignore() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace

int main(int argc, char **argv) {
    std_streams_open();
    signals_ignore();
    // --help, --version and a mistyped option answer before any display is opened.
    const int status = options_read(argc, argv, stdout, stderr);
    if (status >= 0) return status;
    return app_main(argc, argv);
}
