#include "app/state.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
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

int (*rating_write_fault)(int step) = nullptr;

namespace {

// The temporary files are the rating file's name, a dot and mkstemp's six characters.
const char TEMP_PATTERN[] = "korvani.ini.XXXXXX";

int step_fails(int step) { return rating_write_fault && rating_write_fault(step); }

// Writes the whole text to the descriptor; 0 on any failure.
int write_all(int fd, const char *text, int length) {
    while (length > 0) {
        const ssize_t done = write(fd, text, length);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return 0;
        text += done;
        length -= static_cast<int>(done);
    }
    return 1;
}

int is_temp_name(const char *name) {
    const size_t prefix = sizeof TEMP_PATTERN - 1 - 6;
    if (std::strlen(name) != sizeof TEMP_PATTERN - 1 || std::strncmp(name, TEMP_PATTERN, prefix) != 0) return 0;
    for (const char *c = name + prefix; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c))) return 0;
    return 1;
}

// Removes the temporary files that saves killed half way left behind. A save in progress holds a lock on
// its own file (another copy of the program in the same folder), so only files nobody holds are removed.
void remove_stray_temps() {
    DIR *folder = opendir(".");
    if (!folder) return;
    while (const dirent *entry = readdir(folder)) {
        if (!is_temp_name(entry->d_name)) continue;
        const int fd = open(entry->d_name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) unlink(entry->d_name);
        close(fd);
    }
    closedir(folder);
}

} // namespace

void rating_write(double rating) {
    char text[400];
    const int length = std::snprintf(text, sizeof text, "%f", rating);
    // Truncating the file and writing it in place would lose the rating if the write failed half way;
    // a new file renamed over the old one replaces it whole or not at all.
    char temp[sizeof TEMP_PATTERN];
    std::memcpy(temp, TEMP_PATTERN, sizeof temp);
    const int fd = step_fails(RATING_STEP_CREATE) ? -1 : mkstemp(temp);
    if (fd < 0) YError("rating_write");
    // Held until the file is closed, so that another copy's clean-up leaves a save in progress alone.
    flock(fd, LOCK_EX);
    // mkstemp makes the file private (0600); the rating file is an ordinary file, made as fopen would.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    const int written = length > 0 && length < static_cast<int>(sizeof text) && !step_fails(RATING_STEP_WRITE) &&
                        write_all(fd, text, length) && !step_fails(RATING_STEP_SYNC) && fsync(fd) == 0;
    const int close_fails = step_fails(RATING_STEP_CLOSE);
    const int closed = close(fd) == 0 && !close_fails;
    if (!written || !closed || step_fails(RATING_STEP_RENAME) || std::rename(temp, RATING_FILE) != 0) {
        unlink(temp);
        YError("rating_write");
    }
    // The new rating is saved; what follows only tidies up and cannot lose it.
    if (!step_fails(RATING_STEP_CLEAN)) remove_stray_temps();
    // The rename itself reaches the disk with the folder; a folder that cannot be synced still holds it.
    const int folder = step_fails(RATING_STEP_SYNC_FOLDER) ? -1 : open(".", O_RDONLY | O_DIRECTORY);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
}

void app_close(app_state *app) {
    rating_write(app->rating);
    delete app;
}
