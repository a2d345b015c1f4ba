#include "app/rating_file.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

const char *const RATING_FILE = "korvani.ini";
const char *const RATING_TEMP_MARKER = ".korvani-save-";

int (*rating_write_fault)(int step) = nullptr;

namespace {


void set_problem(char *problem, const char *text) { std::snprintf(problem, RATING_PROBLEM_MAX, "%s", text); }

// The reason for the user, from the error of the system call that failed.
void set_problem_errno(char *problem, int error) {
    switch (error) {
    case EACCES:
    case EPERM: set_problem(problem, "нет доступа"); break;
    case EROFS: set_problem(problem, "диск только для чтения"); break;
    case ENOSPC: set_problem(problem, "нет места на диске"); break;
    case EDQUOT: set_problem(problem, "превышена квота диска"); break;
    case EFBIG: set_problem(problem, "превышен размер файла"); break;
    case EIO: set_problem(problem, "ошибка чтения или записи диска"); break;
    case ELOOP: set_problem(problem, "ссылки замкнуты в круг"); break;
    case EWOULDBLOCK: set_problem(problem, "файл занят другой копией игры"); break;
    default: std::snprintf(problem, RATING_PROBLEM_MAX, "системная ошибка %d", error); break;
    }
}

void set_not_a_file(char *problem, mode_t mode) {
    set_problem(problem, S_ISDIR(mode) ? "на его месте папка" : "это не обычный файл");
}

// Where the rating file really lies: the name followed through symbolic links, so that a save replaces
// the file a link names and not the link. The path may name a file that does not exist yet.
int resolve_rating_path(std::string *path, char *problem) {
    *path = RATING_FILE;
    // As many links as the system itself follows before it gives up with ELOOP.
    for (int links = 0; links < 40; ++links) {
        struct stat info {};
        if (lstat(path->c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return 1;
        char target[4096];
        const ssize_t length = readlink(path->c_str(), target, sizeof target - 1);
        if (length < 0) {
            set_problem_errno(problem, errno);
            return 0;
        }
        target[length] = '\0';
        const size_t slash = path->rfind('/');
        if (target[0] == '/' || slash == std::string::npos)
            *path = target;
        else
            *path = path->substr(0, slash + 1) + target;
    }
    set_problem_errno(problem, ELOOP);
    return 0;
}

std::string folder_of(const std::string &path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string name_of(const std::string &path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Another copy of the game in the same folder saves under the same lock, so that each adds its change to
// what the other saved. A save takes a moment; waiting longer means the other copy is stuck (stopped in
// a debugger, say), and this save fails and is tried again with the next change.
int lock_folder(int folder, char *problem) {
    for (int tries = 0; tries < 300; ++tries) {
        if (flock(folder, LOCK_EX | LOCK_NB) == 0) return 1;
        if (errno != EWOULDBLOCK && errno != EINTR) return 1; // a file system without locks: save unlocked
        const timespec pause = {0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    set_problem_errno(problem, EWOULDBLOCK);
    return 0;
}

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

// A temporary file of a save of the file called name: name, the marker, six letters or digits.
int is_temp_name(const char *entry, const std::string &name) {
    const size_t marker = std::strlen(RATING_TEMP_MARKER);
    if (std::strlen(entry) != name.size() + marker + 6) return 0;
    if (name.compare(0, name.size(), entry, name.size()) != 0) return 0;
    if (std::strncmp(entry + name.size(), RATING_TEMP_MARKER, marker) != 0) return 0;
    for (const char *c = entry + name.size() + marker; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c))) return 0;
    return 1;
}

// Removes the temporary files that saves killed half way left behind. A save in progress holds a lock on
// its own file, so only files nobody holds are removed; nothing without the marker is ever touched.
void remove_stray_temps(const std::string &folder, const std::string &name) {
    DIR *listing = opendir(folder.c_str());
    if (!listing) return;
    while (const dirent *entry = readdir(listing)) {
        if (!is_temp_name(entry->d_name, name)) continue;
        const std::string path = folder + "/" + entry->d_name;
        const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat info {};
        if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0)
            unlink(path.c_str());
        close(fd);
    }
    closedir(listing);
}

// Replaces the file at path with the text: a new file beside it, with the old one's permission bits
// (mode, or as a new file gets them when there was none), forced to disk and renamed over it.
int replace_file(const std::string &path, const char *text, int length, int had_file, mode_t mode, char *problem) {
    const std::string folder = folder_of(path);
    const std::string name = name_of(path);
    std::string temp = folder + "/" + name + RATING_TEMP_MARKER + "XXXXXX";
    const int fd = step_fails(RATING_STEP_CREATE) ? (errno = EACCES, -1) : mkstemp(&temp[0]);
    if (fd < 0) {
        set_problem_errno(problem, errno);
        return 0;
    }
    // Held until the file is closed, so that another copy's clean-up leaves a save in progress alone.
    flock(fd, LOCK_EX);
    if (!had_file) {
        // mkstemp makes the file private (0600); a new rating file is an ordinary one, made as fopen would.
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    errno = EIO;
    const int written = length > 0 && !step_fails(RATING_STEP_WRITE) && write_all(fd, text, length) &&
                        !step_fails(RATING_STEP_SYNC) && fsync(fd) == 0;
    int error = errno;
    const int close_fails = step_fails(RATING_STEP_CLOSE);
    const int closed = close(fd) == 0 && !close_fails;
    if (written && !closed) error = errno;
    int renamed = 0;
    if (written && closed) {
        renamed = !step_fails(RATING_STEP_RENAME) && std::rename(temp.c_str(), path.c_str()) == 0;
        if (!renamed) error = errno;
    }
    if (!renamed) {
        unlink(temp.c_str());
        set_problem_errno(problem, error);
        return 0;
    }
    // The new rating is saved; what follows only tidies up and cannot lose it.
    if (!step_fails(RATING_STEP_CLEAN)) remove_stray_temps(folder, name);
    return 1;
}

} // namespace

// Reads the number at the start of the file at path into *value. Anything in the file's place that is not
// a regular file counts as unreadable and is not opened: opening a device may act on it, and a FIFO
// would block. The open itself does not block either (a FIFO swapped in meanwhile), and only the first
// RATING_READ_MAX bytes are read. *mode gets the file's permission bits when it was read.
int rating_file_read(const char *path, double *value, mode_t *mode, char *problem) {
    *value = 0.0;
    struct stat info {};
    if (stat(path, &info) != 0) {
        if (errno == ENOENT) return RATING_MISSING;
        set_problem_errno(problem, errno);
        return RATING_UNREADABLE;
    }
    if (!S_ISREG(info.st_mode)) {
        set_not_a_file(problem, info.st_mode);
        return RATING_UNREADABLE;
    }
    const int fd = open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return RATING_MISSING;
        set_problem_errno(problem, errno);
        return RATING_UNREADABLE;
    }
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        set_not_a_file(problem, info.st_mode);
        close(fd);
        return RATING_UNREADABLE;
    }
    char text[RATING_READ_MAX + 1];
    size_t length = 0;
    while (length < RATING_READ_MAX) {
        const ssize_t done = read(fd, text + length, RATING_READ_MAX - length);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) {
            set_problem_errno(problem, errno);
            close(fd);
            return RATING_UNREADABLE;
        }
        if (done == 0) break;
        length += static_cast<size_t>(done);
    }
    close(fd);
    // "%lf" stops at a zero byte as at any other character that cannot continue the number.
    text[length] = '\0';
    double number = 0.0;
    // "nan" and "inf" are numbers to "%lf", but not ratings: the handicap count comes from this value.
    if (std::sscanf(text, "%lf", &number) == 1 && std::isfinite(number)) *value = number;
    *mode = info.st_mode & 07777;
    return RATING_FOUND;
}

// One save under the folder's lock: the file's value now, plus change (or rating itself when absolute),
// written over it. *stored gets the value written.
int rating_file_save(double rating, double change, int absolute, double *stored, char *problem) {
    std::string path;
    if (!resolve_rating_path(&path, problem)) return 0;
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        // A folder, a FIFO or a device in the file's place: refused before anything is locked.
        double ignored = 0.0;
        mode_t mode = 0;
        rating_file_read(path.c_str(), &ignored, &mode, problem);
        return 0;
    }
    // A folder that cannot be opened (no read permission) cannot be locked or synced; the save goes on.
    const int folder = open(folder_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0 && !lock_folder(folder, problem)) {
        close(folder);
        return 0;
    }
    double on_disk = 0.0;
    mode_t mode = 0;
    const int found = rating_file_read(path.c_str(), &on_disk, &mode, problem);
    int saved = 0;
    // A file that is there but cannot be read may hold a rating: it is never replaced.
    if (found != RATING_UNREADABLE) {
        const double value = absolute ? rating : on_disk + change;
        char text[400];
        const int length = std::snprintf(text, sizeof text, "%f", value);
        saved = length > 0 && length < static_cast<int>(sizeof text) &&
                replace_file(path, text, length, found == RATING_FOUND, mode, problem);
        if (saved) *stored = value;
    }
    if (folder >= 0) {
        // The rename itself reaches the disk with the folder; a folder that cannot be synced still holds it.
        if (saved && !step_fails(RATING_STEP_SYNC_FOLDER)) fsync(folder);
        close(folder); // and with it the lock
    }
    return saved;
}

