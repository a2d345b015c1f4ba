#include "app/state.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/common.h"

const char *const RATING_FILE = "korvani.ini";

app_state *app_new(const char *computer_name, int size) {
    app_state *app = new app_state{};
    rating_read(app);
    app->stake = 0.5;
    app->computer_name = computer_name;
    app->size = size;
    app->game = nullptr;
    app->computer = 0;
    // No game is in progress yet, so the first new game gives nothing up.
    app->game_over = 1;
    return app;
}

void rating_read(app_state *app) {
    app->rating = 0.0;
    FILE *file = std::fopen(RATING_FILE, "r");
    if (!file) return;
    double value = 0.0;
    // "nan" and "inf" are numbers to "%lf", but not ratings: the handicap count comes from this value.
    if (std::fscanf(file, "%lf", &value) == 1 && std::isfinite(value)) app->rating = value;
    std::fclose(file);
}

namespace {

// Writes the whole text to the descriptor and forces it to disk; 0 on any failure.
int write_all(int fd, const char *text, int length) {
    while (length > 0) {
        const ssize_t done = write(fd, text, length);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return 0;
        text += done;
        length -= static_cast<int>(done);
    }
    return fsync(fd) == 0;
}

} // namespace

void rating_write(double rating) {
    char text[400];
    const int length = std::snprintf(text, sizeof text, "%f", rating);
    // Truncating the file and writing it in place would lose the rating if the write failed half way;
    // a new file renamed over the old one replaces it whole or not at all.
    char temp[] = "korvani.ini.XXXXXX";
    const int fd = mkstemp(temp);
    if (fd < 0) YError("rating_write");
    // mkstemp makes the file private (0600); the rating file is an ordinary file, made as fopen would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    const int written = length > 0 && length < static_cast<int>(sizeof text) && write_all(fd, text, length);
    const int closed = close(fd) == 0;
    if (!written || !closed || std::rename(temp, RATING_FILE) != 0) {
        unlink(temp);
        YError("rating_write");
    }
    // The rename itself reaches the disk with the folder; a folder that cannot be synced still holds it.
    const int folder = open(".", O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
}

void app_close(app_state *app) {
    rating_write(app->rating);
    delete app;
}
