#include "app/rating_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/random.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include "app/rating_text.h"

const char *const RATING_FILE = "korvani.ini";
const char *const RATING_TEMP_MARKER = ".korvani-save-";

int (*rating_write_fault)(int step) = nullptr;

namespace {

// As many symbolic links as the kernel follows in one path before it gives up with ELOOP.
const int LINKS_MAX = 40;

void set_problem(char *problem, const char *text) { std::snprintf(problem, RATING_PROBLEM_MAX, "%s", text); }

// The reason for the user, from the error of the system call that failed. The program runs in the C
// locale, where the system's own texts are English: the usual ones have Russian words here.
void set_problem_errno(char *problem, int error) {
    switch (error) {
    case EACCES:
    case EPERM: set_problem(problem, "нет доступа"); break;
    case EROFS: set_problem(problem, "диск только для чтения"); break;
    case ENOSPC: set_problem(problem, "нет места на диске"); break;
    case EDQUOT: set_problem(problem, "превышена квота диска"); break;
    case EFBIG: set_problem(problem, "превышен размер файла"); break;
    case EIO: set_problem(problem, "ошибка чтения или записи диска"); break;
    case ELOOP: set_problem(problem, "ссылки идут по кругу или их больше 40"); break;
    case EWOULDBLOCK: set_problem(problem, "файл заблокирован"); break;
    case EBUSY: set_problem(problem, "файл занят системой"); break;
    case ETXTBSY: set_problem(problem, "файл занят"); break;
    case ENAMETOOLONG: set_problem(problem, "слишком длинное имя файла"); break;
    case ENOENT: set_problem(problem, "нет папки, в которой он лежит"); break;
    case ENOTDIR: set_problem(problem, "в пути к нему не папка"); break;
    case EXDEV: set_problem(problem, "файл на другом диске"); break;
    case EMFILE:
    case ENFILE: set_problem(problem, "открыто слишком много файлов"); break;
    case ENOMEM: set_problem(problem, "не хватает памяти"); break;
    case ESTALE: set_problem(problem, "сетевой диск недоступен"); break;
    case EINVAL: set_problem(problem, "система не позволяет заменить файл"); break;
    default: std::snprintf(problem, RATING_PROBLEM_MAX, "ошибка системы: %s", std::strerror(error)); break;
    }
}

void set_not_a_file(char *problem, mode_t mode) {
    set_problem(problem, S_ISDIR(mode) ? "на его месте папка" : "это не обычный файл");
}

int step_fails(int step) {
    const int error = rating_write_fault ? rating_write_fault(step) : 0;
    if (error) errno = error == 1 ? EIO : error;
    return error != 0;
}

// An open descriptor, closed when it goes.
struct FD {
    int fd = -1;
    FD() = default;
    explicit FD(int opened) : fd(opened) {}
    ~FD() {
        if (fd >= 0) close(fd);
    }
    FD(const FD &) = delete;
    FD &operator=(const FD &) = delete;
    void reset(int opened) {
        if (fd >= 0) close(fd);
        fd = opened;
    }
};

// Root's file-system identity while it reads and saves. Root playing where another user's folders or
// links lie (sudo korvani in the user's home; a link of root's into a user's folder) acts, from the first
// such folder or link on the path on, with that user's file-system identity (fsuid, the user's own
// primary group and groups, never the folder's group): a link or a folder the user controls then reaches
// only what the user could reach, and cannot make root create or replace a file the user could not (think
// /etc/nologin). A second, different user on the same path is refused. Back to root when the read or save
// is done. For anyone but root it does nothing: the kernel judges an ordinary player's reach.
struct ROOT_IDENTITY {
    bool root = geteuid() == 0;
    bool switched = false;
    uid_t owner = 0;
    std::vector<gid_t> groups; // root's own, given back afterwards

    ROOT_IDENTITY() = default;
    ROOT_IDENTITY(const ROOT_IDENTITY &) = delete;
    ROOT_IDENTITY &operator=(const ROOT_IDENTITY &) = delete;
    ~ROOT_IDENTITY() {
        if (!switched) return;
        setfsuid(geteuid());
        setfsgid(getegid());
        setgroups(groups.size(), groups.data());
    }
};

// The user the file system judges by now.
uid_t acting_user(const ROOT_IDENTITY &who) { return who.switched ? who.owner : geteuid(); }

// Meets a folder or link on the path, owned by info.st_uid. For root, the first other user met becomes
// the identity for the rest; 0 when a second, different one is met or the identity cannot be taken.
int root_meets(ROOT_IDENTITY *who, const struct stat &info) {
    if (!who->root || info.st_uid == 0 || info.st_uid == acting_user(*who)) return 1;
    if (who->switched) return 0;
    who->switched = true;
    who->owner = info.st_uid;
    who->groups.resize(std::max(0, getgroups(0, nullptr)));
    if (getgroups(static_cast<int>(who->groups.size()), who->groups.data()) < 0) who->groups.clear();
    // A uid without an account has no groups of its own: the object's group stands in for them.
    gid_t group = info.st_gid;
    std::vector<gid_t> owner_groups(1, group);
    if (const passwd *account = getpwuid(info.st_uid)) {
        group = account->pw_gid;
        int count = 32;
        owner_groups.assign(count, group);
        // A user in more groups than asked for gets the count back, and is asked again.
        if (getgrouplist(account->pw_name, group, owner_groups.data(), &count) < 0) {
            owner_groups.assign(count, group);
            if (getgrouplist(account->pw_name, group, owner_groups.data(), &count) < 0) count = 1;
        }
        owner_groups.resize(count);
    }
    if (setgroups(owner_groups.size(), owner_groups.data()) != 0) return 0;
    // setfsuid answers with the identity before the call: asked twice, the second answer says whether
    // the first took.
    setfsgid(group);
    setfsuid(info.st_uid);
    return static_cast<uid_t>(setfsuid(info.st_uid)) == info.st_uid && static_cast<gid_t>(setfsgid(group)) == group;
}

// What the kernel's protected_symlinks and protected_regular say, checked here whatever the system's
// settings: in a folder that others may write to (everyone, in a sticky one as /tmp; a group or everyone
// in one without the sticky bit), a link is followed, and a file written in place, only when it belongs
// to the player or to the folder's owner. Others may plant a link or a writable file there: following the
// link would let them point the save at any file of the player's, and writing their file would hand them
// the rating.
int may_be_trusted(const ROOT_IDENTITY &who, int folder_fd, const struct stat &info) {
    if (info.st_uid == acting_user(who)) return 1;
    struct stat folder {};
    if (fstat(folder_fd, &folder) != 0) return 1;
    const bool shared = (folder.st_mode & S_ISVTX) ? (folder.st_mode & S_IWOTH) != 0
                                                   : (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    return !shared || info.st_uid == folder.st_uid;
}

// Where the rating file lies: the folder it lies in, open, and its name there. The file itself may not
// exist yet.
struct RATING_PLACE {
    FD folder; // O_PATH
    std::string name;
};

// Puts the parts of a path in front of the parts still to walk.
void push_parts(std::deque<std::string> *rest, const std::string &path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = std::min(path.find('/', start), path.size());
        if (slash > start) parts.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    // A path that ends in a slash names a folder: the last part is the folder itself.
    if (!path.empty() && path.back() == '/') parts.push_back(".");
    rest->insert(rest->begin(), parts.begin(), parts.end());
}

// Walks the rating file's path one part at a time, as the kernel would, but never by a name twice: each
// part is opened without following it, and what is judged (its owner, a link's trust, a link's target) is
// read from that very opened object. So neither a link nor a folder swapped in anywhere on the path
// between the check and the use is followed unjudged, and every link and folder on the way, not only the
// last, meets the rules of may_be_trusted and ROOT_IDENTITY. The file at the end may be anything; the
// caller opens it by name in its folder, again without following a link.
int resolve_rating_path(ROOT_IDENTITY *who, RATING_PLACE *place, char *problem) {
    FD folder(open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (folder.fd < 0 || fstat(folder.fd, &info) != 0) {
        set_problem_errno(problem, errno);
        return 0;
    }
    if (!root_meets(who, info)) {
        set_problem_errno(problem, EPERM);
        return 0;
    }
    std::deque<std::string> rest;
    push_parts(&rest, RATING_FILE);
    int links = 0;
    while (!rest.empty()) {
        const std::string part = rest.front();
        rest.pop_front();
        FD found(openat(folder.fd, part.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (found.fd < 0 && errno == ENOENT && rest.empty()) { // a file not made yet
            place->name = part;
            break;
        }
        if (found.fd < 0 || fstat(found.fd, &info) != 0) {
            set_problem_errno(problem, errno);
            return 0;
        }
        if (S_ISLNK(info.st_mode)) {
            if (++links > LINKS_MAX) {
                set_problem_errno(problem, ELOOP);
                return 0;
            }
            if (!may_be_trusted(*who, folder.fd, info)) {
                set_problem(problem, "ссылка чужого пользователя в общей папке");
                return 0;
            }
            if (!root_meets(who, info)) {
                set_problem_errno(problem, EPERM);
                return 0;
            }
            char target[4096];
            const ssize_t length = readlinkat(found.fd, "", target, sizeof target - 1);
            if (length <= 0) {
                set_problem_errno(problem, length < 0 ? errno : ENOENT);
                return 0;
            }
            target[length] = '\0';
            push_parts(&rest, target);
            if (target[0] == '/') {
                folder.reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                if (folder.fd < 0) {
                    set_problem_errno(problem, errno);
                    return 0;
                }
            }
            continue;
        }
        if (rest.empty()) { // the file itself, or whatever stands in its place
            place->name = part;
            break;
        }
        if (!S_ISDIR(info.st_mode)) {
            set_problem_errno(problem, ENOTDIR);
            return 0;
        }
        if (!root_meets(who, info)) {
            set_problem_errno(problem, EPERM);
            return 0;
        }
        folder.reset(found.fd);
        found.fd = -1;
    }
    place->folder.reset(folder.fd);
    folder.fd = -1;
    return 1;
}

// Reads the file at its place, where no link is left to follow. Anything in the file's place that is not
// a regular file counts as unreadable and is not opened: opening a device may act on it, and a FIFO would
// block. The open itself does not block either (a FIFO swapped in meanwhile), nor follow a link swapped in
// since the path was resolved, and only the first RATING_READ_MAX bytes are read. *info gets what fstat
// says of a file read, or what lstat says of what is there instead.
int read_at(const RATING_PLACE &place, double *value, struct stat *info, char *problem) {
    *value = 0.0;
    if (fstatat(place.folder.fd, place.name.c_str(), info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return RATING_MISSING;
        set_problem_errno(problem, errno);
        return RATING_UNREADABLE;
    }
    if (!S_ISREG(info->st_mode)) {
        set_not_a_file(problem, info->st_mode);
        return RATING_UNREADABLE;
    }
    const FD file(openat(place.folder.fd, place.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd < 0) {
        if (errno == ENOENT) return RATING_MISSING;
        if (errno == ELOOP) {
            info->st_mode = S_IFLNK;
            set_not_a_file(problem, info->st_mode);
            return RATING_UNREADABLE;
        }
        set_problem_errno(problem, errno);
        return RATING_UNREADABLE;
    }
    if (fstat(file.fd, info) != 0 || !S_ISREG(info->st_mode)) {
        set_not_a_file(problem, info->st_mode);
        return RATING_UNREADABLE;
    }
    // One byte more than a rating file may hold tells a longer file.
    char text[RATING_READ_MAX + 1];
    size_t length = 0;
    while (length < sizeof text) {
        const ssize_t done = read(file.fd, text + length, sizeof text - length);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) {
            set_problem_errno(problem, errno);
            return RATING_UNREADABLE;
        }
        if (done == 0) break;
        length += static_cast<size_t>(done);
    }
    return rating_text_parse(text, length, value, problem);
}

// Another copy of the game in the same folder saves under the same lock, so that each adds its change to
// what the other saved. A lock held longer than the tries means the holder is stuck or is another
// program: the caller tries again later instead of freezing the window.
int lock_folder(int folder, int tries) {
    for (int k = 0; k < tries || k == 0; ++k) {
        if (k > 0) {
            const timespec pause = {0, 10 * 1000 * 1000};
            nanosleep(&pause, nullptr);
        }
        if (flock(folder, LOCK_EX | LOCK_NB) == 0) return 1;
        if (errno != EWOULDBLOCK && errno != EINTR) return 1; // a file system without locks: save unlocked
    }
    return 0;
}

// Writes the whole text at the descriptor's offset; 0 on any failure.
int write_all(int fd, const char *text, size_t length) {
    while (length > 0) {
        const ssize_t done = write(fd, text, length);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) return 0;
        if (done == 0) {
            errno = EIO;
            return 0;
        }
        text += done;
        length -= static_cast<size_t>(done);
    }
    return 1;
}

// Removes the temporary files that saves killed half way left behind. A save in progress holds a lock on
// its own file, so only files nobody holds are removed; nothing without the marker is ever touched.
void remove_stray_temps(const RATING_PLACE &place) {
    const int listed = openat(place.folder.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listed < 0) return;
    DIR *listing = fdopendir(listed);
    if (!listing) {
        close(listed);
        return;
    }
    while (const dirent *entry = readdir(listing)) {
        if (!rating_is_temp_name(entry->d_name, place.name)) continue;
        const FD stray(openat(place.folder.fd, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (stray.fd < 0) continue;
        struct stat info {};
        if (fstat(stray.fd, &info) == 0 && S_ISREG(info.st_mode) && flock(stray.fd, LOCK_EX | LOCK_NB) == 0)
            unlinkat(place.folder.fd, entry->d_name, 0);
    }
    closedir(listing);
}

// Makes the new file beside the rating file, private to its maker as mkstemp makes it: the name is the
// rating file's, the marker and six random letters or digits. *temp gets the name.
int make_temp(const RATING_PLACE &place, std::string *temp) {
    static const char LETTERS[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    for (int tries = 0; tries < 100; ++tries) {
        unsigned char noise[6];
        if (getrandom(noise, sizeof noise, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof noise)) {
            // Too early in boot for the kernel's pool: the clock and the process tell names apart enough.
            timespec now {};
            clock_gettime(CLOCK_MONOTONIC, &now);
            unsigned long mix = static_cast<unsigned long>(now.tv_nsec) * 2654435761u ^ getpid() ^ tries;
            for (unsigned char &byte : noise) byte = static_cast<unsigned char>(mix >>= 5);
        }
        *temp = place.name + RATING_TEMP_MARKER;
        for (const unsigned char byte : noise) *temp += LETTERS[byte % (sizeof LETTERS - 1)];
        const int fd = openat(place.folder.fd, temp->c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// How a replacement went: done, refused before anything was written over (the new file could not be
// made, written for want of space, or renamed: the file may still be written in place), or failed
// writing the new file.
enum { REPLACE_DONE, REPLACE_REFUSED, REPLACE_FAILED };

// A full disk or quota, or a file-size limit, stops the new file; the old one, written in place with a
// number no longer than itself, needs no new block.
bool is_out_of_space(int error) { return error == ENOSPC || error == EDQUOT || error == EFBIG; }

// Replaces the file at its place with the text: a new file beside it, with the old one's permission bits,
// owner and group (old, or as a new file gets them when there was none), forced to disk and renamed over
// it. *error gets the failing call's error.
int replace_file(const RATING_PLACE &place, const std::string &text, const struct stat *old, int *error) {
    std::string temp;
    const int fd = step_fails(RATING_STEP_CREATE) ? -1 : make_temp(place, &temp);
    if (fd < 0) {
        *error = errno;
        return *error == EIO ? REPLACE_FAILED : REPLACE_REFUSED;
    }
    // Held until the file is closed, so that another copy's clean-up leaves a save in progress alone.
    flock(fd, LOCK_EX);
    mode_t mode = 0;
    if (old) {
        mode = old->st_mode & 07777;
        // Root saving a user's file (sudo in the user's home) must leave it the user's; for anyone else
        // this is the file's owner already, and a group they are not in is simply not kept.
        [[maybe_unused]] const int kept = fchown(fd, old->st_uid, old->st_gid);
    } else {
        // The new file is private; a new rating file is an ordinary one, made as fopen would.
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
        struct stat owner {};
        if (geteuid() == 0 && fstat(place.folder.fd, &owner) == 0) {
            [[maybe_unused]] const int kept = fchown(fd, owner.st_uid, owner.st_gid);
        }
    }
    fchmod(fd, mode);
    struct stat made {};
    const bool written = fstat(fd, &made) == 0 && !step_fails(RATING_STEP_WRITE) &&
                         write_all(fd, text.data(), text.size()) && !step_fails(RATING_STEP_SYNC) && fsync(fd) == 0;
    if (!written || step_fails(RATING_STEP_CLOSE)) {
        *error = errno;
        close(fd);
        unlinkat(place.folder.fd, temp.c_str(), 0);
        return is_out_of_space(*error) ? REPLACE_REFUSED : REPLACE_FAILED;
    }
    if (close(fd) != 0) { // closed all the same
        *error = errno;
        unlinkat(place.folder.fd, temp.c_str(), 0);
        return is_out_of_space(*error) ? REPLACE_REFUSED : REPLACE_FAILED;
    }
    const char *name = place.name.c_str();
    if (step_fails(RATING_STEP_RENAME) || renameat(place.folder.fd, temp.c_str(), place.folder.fd, name) != 0) {
        *error = errno;
        // A network file system may answer a rename that took place with an error, its reply lost: the
        // new file at the rating file's name says it did. Called a failure, the change would stay pending
        // and be added a second time by the next save.
        struct stat now {};
        if (fstatat(place.folder.fd, name, &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_ino == made.st_ino &&
            now.st_dev == made.st_dev)
            return REPLACE_DONE;
        unlinkat(place.folder.fd, temp.c_str(), 0);
        return *error == EIO ? REPLACE_FAILED : REPLACE_REFUSED;
    }
    return REPLACE_DONE;
}
// Writes the text over the file at its place itself, as careful editors do when they cannot replace a file.
// A write stopped part way leaves the old rating or the new one, never a third number: the text, padded
// with blanks to the old length, is written over the old one from its start; a write that a known limit
// would cut short is not begun, and one cut short all the same (a full disk, a limit set meanwhile) has
// the old bytes put back over what it wrote, and fails. Only once the whole text is on the disk is the file cut to its
// length.
int write_in_place(const RATING_PLACE &place, const std::string &text, const struct stat &old, int *error) {
    const int fd = openat(place.folder.fd, place.name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return 0;
    }
    struct stat now {};
    char before[RATING_READ_MAX];
    if (fstat(fd, &now) != 0 || !S_ISREG(now.st_mode) || now.st_ino != old.st_ino || now.st_dev != old.st_dev ||
        now.st_size > RATING_READ_MAX || pread(fd, before, now.st_size, 0) != now.st_size) {
        *error = EBUSY; // changed under the save: leave it
        close(fd);
        return 0;
    }
    std::string padded = text;
    if (static_cast<off_t>(padded.size()) < now.st_size) padded.append(now.st_size - padded.size(), ' ');
    rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY && padded.size() > limit.rlim_cur) {
        *error = EFBIG;
        close(fd);
        return 0;
    }
    size_t written = 0;
    if (step_fails(RATING_STEP_PLACE_WRITE)) {
        // As a write cut short: half of the text is over the old one.
        const int failure = errno;
        written = std::max<ssize_t>(0, pwrite(fd, padded.data(), padded.size() / 2, 0));
        errno = failure;
    } else {
        while (written < padded.size()) {
            const ssize_t done = pwrite(fd, padded.data() + written, padded.size() - written, written);
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) {
                if (done == 0) errno = EIO;
                break;
            }
            written += static_cast<size_t>(done);
        }
    }
    if (written < padded.size()) {
        *error = errno;
        const size_t back = std::min(written, static_cast<size_t>(now.st_size));
        [[maybe_unused]] const ssize_t restored = pwrite(fd, before, back, 0);
        if (written > static_cast<size_t>(now.st_size)) {
            [[maybe_unused]] const int cut = ftruncate(fd, now.st_size);
        }
        fsync(fd);
        close(fd);
        return 0;
    }
    // Every reader finds the new rating from here on. Called a failure, the change would stay pending and
    // the next save would add it to the file a second time; so what fails later only leaves the blanks.
    if (fsync(fd) == 0 && !step_fails(RATING_STEP_PLACE_CUT) && ftruncate(fd, static_cast<off_t>(text.size())) == 0)
        fsync(fd);
    close(fd);
    return 1;
}

// Whether a file that cannot be replaced may be written in place. A file without any write permission
// has been made read-only on purpose: root, whom permissions do not stop, leaves it alone too.
bool may_write_in_place(const ROOT_IDENTITY &who, const RATING_PLACE &place, const struct stat &old) {
    return (old.st_mode & 0222) != 0 && may_be_trusted(who, place.folder.fd, old);
}

} // namespace

int rating_file_read(double *value, char *problem) {
    *value = 0.0;
    // A link swapped in between the resolution and the read is resolved again, as if it had been there
    // from the start: followed if it may be, refused otherwise.
    for (int tries = 0;; ++tries) {
        ROOT_IDENTITY who;
        RATING_PLACE place;
        if (!resolve_rating_path(&who, &place, problem)) return RATING_UNREADABLE;
        struct stat info {};
        const int found = read_at(place, value, &info, problem);
        if (found != RATING_UNREADABLE || !S_ISLNK(info.st_mode) || tries == 3) return found;
    }
}

int rating_file_save(double rating, double change, int absolute, int lock_tries, double *stored, char *problem) {
    ROOT_IDENTITY who;
    RATING_PLACE place;
    if (!resolve_rating_path(&who, &place, problem)) return RATING_SAVE_FAILED;
    double on_disk = 0.0;
    struct stat info {};
    if (fstatat(place.folder.fd, place.name.c_str(), &info, 0) == 0 && !S_ISREG(info.st_mode)) {
        // A folder, a FIFO or a device in the file's place: refused before anything is locked.
        read_at(place, &on_disk, &info, problem);
        return RATING_SAVE_FAILED;
    }
    // A folder that cannot be opened (no read permission) cannot be locked or synced; the save goes on.
    const int folder = openat(place.folder.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0 && !lock_folder(folder, lock_tries)) {
        close(folder);
        set_problem_errno(problem, EWOULDBLOCK);
        return RATING_LOCKED;
    }
    const int found = read_at(place, &on_disk, &info, problem);
    int saved = 0;
    // A file that is there but cannot be read, or holds more than a rating, is the user's: never replaced.
    if (found == RATING_MISSING || found == RATING_FOUND) {
        const double value = absolute ? rating : on_disk + change;
        std::string number;
        int error = EIO;
        if (rating_text_format(value, &number)) {
            const struct stat *old = found == RATING_FOUND ? &info : nullptr;
            const int replaced = replace_file(place, number, old, &error);
            saved = replaced == REPLACE_DONE;
            if (replaced == REPLACE_REFUSED && old && may_write_in_place(who, place, info)) {
                int place_error = error;
                saved = write_in_place(place, number, info, &place_error);
                // Not writable in place either: the first reason says best why.
                if (!saved && place_error != EACCES && place_error != EPERM) error = place_error;
            }
        }
        if (saved)
            *stored = value;
        else
            set_problem_errno(problem, error);
    }
    // The new rating is saved, renamed or in place; what follows only tidies up and cannot lose it.
    if (saved && !step_fails(RATING_STEP_CLEAN)) remove_stray_temps(place);
    if (folder >= 0) {
        // The rename itself reaches the disk with the folder; a folder that cannot be synced still holds it.
        if (saved && !step_fails(RATING_STEP_SYNC_FOLDER)) fsync(folder);
        close(folder); // and with it the lock
    }
    return saved ? RATING_SAVED : RATING_SAVE_FAILED;
}
