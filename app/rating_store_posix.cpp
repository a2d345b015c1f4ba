// The rating file's storage primitives on POSIX systems (rating_store.h). The path is walked one part
// at a time without following, and everything after is done relative to the folder found (openat,
// renameat), so that what was judged is what is used. Root takes the identity of the first other user
// whose folder or link lies on the path.
#include "app/rating_store.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
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
#include <sys/xattr.h>
#include <time.h>
#include <unistd.h>

#include "app/rating_file.h"
#include "app/rating_text.h"
#include "support/i18n.h"

namespace {

// As many symbolic links as the kernel follows in one path before it gives up with ELOOP.
const int LINKS_MAX = 40;

RATING_FAULT fault_of_errno(int error) {
    RATING_FAULT fault;
    fault.code = error;
    switch (error) {
    case EACCES:
    case EPERM: fault.kind = FAULT_ACCESS; break;
    case EROFS: fault.kind = FAULT_READ_ONLY_DISK; break;
    case ENOSPC: fault.kind = FAULT_FULL; break;
    case EDQUOT: fault.kind = FAULT_QUOTA; break;
    case EFBIG: fault.kind = FAULT_TOO_BIG; break;
    case EIO: fault.kind = FAULT_DEVICE; break;
    case ELOOP: fault.kind = FAULT_LOOP; break;
    case EWOULDBLOCK: fault.kind = FAULT_LOCKED; break;
    case EBUSY: fault.kind = FAULT_BUSY; break;
    case ETXTBSY: fault.kind = FAULT_TEXT_BUSY; break;
    case ENAMETOOLONG: fault.kind = FAULT_NAME_TOO_LONG; break;
    case ENOENT: fault.kind = FAULT_NO_FOLDER; break;
    case ENOTDIR: fault.kind = FAULT_NOT_A_FOLDER; break;
    case EXDEV: fault.kind = FAULT_OTHER_DISK; break;
    case EMFILE:
    case ENFILE: fault.kind = FAULT_TOO_MANY_FILES; break;
    case ENOMEM: fault.kind = FAULT_MEMORY; break;
    case ESTALE: fault.kind = FAULT_NETWORK; break;
    case EINVAL: fault.kind = FAULT_UNSUPPORTED; break;
    default: fault.kind = FAULT_SYSTEM; break;
    }
    return fault;
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

} // namespace

struct RATING_STORE {
    ROOT_IDENTITY who;  // first, so that it is given back last
    FD folder;          // O_PATH: the folder the file lies in
    std::string name;   // the file's name in it, no slash
    FD lock;            // the lock file (or the rating file itself), once opened
    struct stat old {}; // the file read
    bool read = false;
    std::vector<std::pair<std::string, std::string>> attributes; // the file read's extended ones: name, value
};

namespace {

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
int walk_to_rating_file(RATING_STORE *place, RATING_FAULT *fault) {
    ROOT_IDENTITY *who = &place->who;
    FD folder(open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat info {};
    if (folder.fd < 0 || fstat(folder.fd, &info) != 0) {
        *fault = fault_of_errno(errno);
        return 0;
    }
    if (!root_meets(who, info)) {
        *fault = fault_of_errno(EPERM);
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
            *fault = fault_of_errno(errno);
            return 0;
        }
        if (S_ISLNK(info.st_mode)) {
            if (++links > LINKS_MAX) {
                *fault = fault_of_errno(ELOOP);
                return 0;
            }
            if (!may_be_trusted(*who, folder.fd, info)) {
                fault->kind = FAULT_FOREIGN_LINK;
                return 0;
            }
            if (!root_meets(who, info)) {
                *fault = fault_of_errno(EPERM);
                return 0;
            }
            char target[4096];
            const ssize_t length = readlinkat(found.fd, "", target, sizeof target - 1);
            if (length <= 0) {
                *fault = fault_of_errno(length < 0 ? errno : ENOENT);
                return 0;
            }
            target[length] = '\0';
            push_parts(&rest, target);
            if (target[0] == '/') {
                folder.reset(open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
                if (folder.fd < 0) {
                    *fault = fault_of_errno(errno);
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
            *fault = fault_of_errno(ENOTDIR);
            return 0;
        }
        if (!root_meets(who, info)) {
            *fault = fault_of_errno(EPERM);
            return 0;
        }
        folder.reset(found.fd);
        found.fd = -1;
    }
    place->folder.reset(folder.fd);
    folder.fd = -1;
    return 1;
}

// Makes the new file beside the rating file, private to its maker as mkstemp makes it: the name is the
// rating file's, the marker and six random letters or digits. *temp gets the name.
int make_temp(const RATING_STORE &place, std::string *temp) {
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

// The extended attributes of an open file, its access control list among them: name and value.
std::vector<std::pair<std::string, std::string>> attributes_of(int fd) {
    std::vector<std::pair<std::string, std::string>> found;
    const ssize_t size = flistxattr(fd, nullptr, 0);
    if (size <= 0) return found;
    std::string names(static_cast<size_t>(size), '\0');
    const ssize_t listed = flistxattr(fd, &names[0], names.size());
    for (size_t at = 0; listed > 0 && at < static_cast<size_t>(listed); at = names.find('\0', at) + 1) {
        const char *name = names.c_str() + at;
        const ssize_t length = fgetxattr(fd, name, nullptr, 0);
        std::string value(static_cast<size_t>(std::max<ssize_t>(length, 0)), '\0');
        if (length >= 0 && fgetxattr(fd, name, &value[0], value.size()) == length) found.emplace_back(name, value);
    }
    return found;
}

// The lists that say who may read and write a file: the POSIX one, and NFSv4's where the disk is one.
bool is_access_list(const std::string &name) { return name == "system.posix_acl_access" || name == "system.nfs4_acl"; }

// Gives the new file the old one's extended attributes. The access control list must come along, or a
// user the old file kept out could read the rating, and one it let in could no longer write it: where it
// cannot, the new file is refused (FAULT_UNSUPPORTED) and the old one is written in place. A list the new
// file took from its folder's default, where the old file had none, is removed for the same reason. The
// others (a user's notes, a security label) come along where the system lets them.
int attributes_carry(int fd, const std::vector<std::pair<std::string, std::string>> &attributes, RATING_FAULT *fault) {
    bool listed = false;
    for (const auto &attribute : attributes) {
        listed = listed || attribute.first == "system.posix_acl_access";
        const int set = fsetxattr(fd, attribute.first.c_str(), attribute.second.data(), attribute.second.size(), 0);
        if (set != 0 && is_access_list(attribute.first)) {
            *fault = RATING_FAULT{FAULT_UNSUPPORTED, errno};
            return 0;
        }
    }
    if (!listed && fremovexattr(fd, "system.posix_acl_access") != 0 && errno != ENODATA && errno != ENOTSUP) {
        *fault = RATING_FAULT{FAULT_UNSUPPORTED, errno};
        return 0;
    }
    return 1;
}

} // namespace

RATING_FAULT rating_fault_of_code(long code) { return fault_of_errno(code == 1 ? EIO : static_cast<int>(code)); }

// The program runs in the C locale, where the system's own texts are English.
void rating_fault_system_words(long code, char *problem) {
    std::snprintf(problem, RATING_PROBLEM_MAX, _("ошибка системы: %s"), std::strerror(static_cast<int>(code)));
}

RATING_STORE *rating_store_open(RATING_FAULT *fault) {
    RATING_STORE *store = new RATING_STORE;
    if (walk_to_rating_file(store, fault)) return store;
    delete store;
    return nullptr;
}

void rating_store_close(RATING_STORE *store) { delete store; }

int rating_store_kind(RATING_STORE *store) {
    struct stat info {};
    // What cannot be looked at is left to the read, which says why.
    if (fstatat(store->folder.fd, store->name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return STORE_NOTHING;
    if (S_ISREG(info.st_mode)) return STORE_FILE;
    return S_ISDIR(info.st_mode) ? STORE_FOLDER : STORE_OTHER;
}

namespace {

// Opens what the save locks: korvani.ini.lock beside the rating file, made private (0600) where it is
// missing, never through a link. An older one that others could open is made private too. A folder that
// lets no file be made (the player may not write it, a read-only disk) can have no name in it changed
// either: there the save can only write the file in place, and the file itself is what it locks.
int open_lock(RATING_STORE *store, RATING_FAULT *fault) {
    const std::string name = store->name + ".lock";
    const int flags = O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    store->lock.reset(openat(store->folder.fd, name.c_str(), flags | O_CREAT, 0600));
    if (store->lock.fd < 0) {
        const int error = errno;
        struct stat there {};
        if (fstatat(store->folder.fd, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
            if (error == EACCES || error == EPERM || error == EROFS) {
                store->lock.reset(openat(store->folder.fd, store->name.c_str(), flags));
                if (store->lock.fd < 0) *fault = fault_of_errno(error);
                return store->lock.fd >= 0;
            }
            *fault = RATING_FAULT{FAULT_LOCK_UNMADE, error};
        } else if (S_ISREG(there.st_mode) && there.st_uid != acting_user(store->who)) {
            fault->kind = FAULT_LOCK_FOREIGN;
        } else {
            *fault = S_ISREG(there.st_mode) ? fault_of_errno(error) : RATING_FAULT{FAULT_LOCK_NOT_A_FILE, error};
        }
        return 0;
    }
    struct stat info {};
    if (fstat(store->lock.fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        fault->kind = FAULT_LOCK_NOT_A_FILE;
        return 0;
    }
    // Any other user's lock file could be held by that user: only the player's own is taken.
    if (info.st_uid != acting_user(store->who)) {
        fault->kind = FAULT_LOCK_FOREIGN;
        return 0;
    }
    if (info.st_mode & 077) fchmod(store->lock.fd, info.st_mode & 0700);
    return 1;
}

} // namespace

int rating_store_lock(RATING_STORE *store, RATING_FAULT *fault) {
    if (store->lock.fd < 0 && !open_lock(store, fault)) {
        store->lock.reset(-1);
        return LOCK_FAILED;
    }
    if (flock(store->lock.fd, LOCK_EX | LOCK_NB) == 0) return LOCK_TAKEN;
    *fault = fault_of_errno(errno == EINTR ? EWOULDBLOCK : errno);
    if (fault->kind == FAULT_LOCKED) return LOCK_HELD;
    fault->kind = FAULT_LOCK_UNMADE; // a file system without locks
    return LOCK_FAILED;
}

// Anything in the file's place that is not a regular file is not opened: opening a device may act on it,
// and a FIFO would block. The open itself does not block either (a FIFO swapped in meanwhile), nor follow
// a link swapped in since the path was walked.
int rating_store_read(RATING_STORE *store, char *text, size_t size, size_t *length, RATING_FAULT *fault) {
    *length = 0;
    struct stat info {};
    if (fstatat(store->folder.fd, store->name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT) return READ_MISSING;
        *fault = fault_of_errno(errno);
        return READ_FAILED;
    }
    if (!S_ISREG(info.st_mode)) {
        fault->kind = S_ISDIR(info.st_mode) ? FAULT_FOLDER : FAULT_NOT_A_FILE;
        return READ_FAILED;
    }
    const FD file(openat(store->folder.fd, store->name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd < 0) {
        if (errno == ENOENT) return READ_MISSING;
        *fault = errno == ELOOP ? RATING_FAULT{FAULT_NOT_A_FILE, ELOOP} : fault_of_errno(errno);
        return READ_FAILED;
    }
    if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        fault->kind = FAULT_NOT_A_FILE;
        return READ_FAILED;
    }
    while (*length < size) {
        const ssize_t done = read(file.fd, text + *length, size - *length);
        if (done < 0 && errno == EINTR) continue;
        if (done < 0) {
            *fault = fault_of_errno(errno);
            return READ_FAILED;
        }
        if (done == 0) break;
        *length += static_cast<size_t>(done);
    }
    store->old = info;
    store->read = true;
    store->attributes = attributes_of(file.fd);
    return READ_DONE;
}

bool rating_store_may_replace(const RATING_STORE *, RATING_FAULT *) { return true; }

unsigned long rating_store_links(const RATING_STORE *store) { return store->read ? store->old.st_nlink : 1; }

// The kernel says so of a folder marked append-only or immutable (chattr +a, +i).
bool rating_store_keeps_new_files(const RATING_STORE *store) {
    struct statx about {};
    return statx(store->folder.fd, "", AT_EMPTY_PATH, STATX_TYPE, &about) == 0 &&
           (about.stx_attributes & (STATX_ATTR_APPEND | STATX_ATTR_IMMUTABLE)) != 0;
}

std::string rating_store_folder_id(const RATING_STORE *store) {
    struct stat info {};
    fstat(store->folder.fd, &info);
    return std::to_string(info.st_dev) + ":" + std::to_string(info.st_ino);
}

// A file without any write permission has been made read-only on purpose: root, whom permissions do not
// stop, leaves it alone too.
bool rating_store_may_write_in_place(const RATING_STORE *store) {
    return (store->old.st_mode & 0222) != 0 && may_be_trusted(store->who, store->folder.fd, store->old);
}

struct RATING_NEW {
    FD file;
    std::string name;
    struct stat made {};
    bool renamed = false;
};

RATING_NEW *rating_new_make(RATING_STORE *store, RATING_FAULT *fault) {
    RATING_NEW *made = new RATING_NEW;
    made->file.reset(make_temp(*store, &made->name));
    if (made->file.fd < 0) {
        *fault = fault_of_errno(errno);
        delete made;
        return nullptr;
    }
    const int fd = made->file.fd;
    // Held until the file is closed, so that another copy's clean-up leaves a save in progress alone.
    flock(fd, LOCK_EX);
    mode_t mode = 0;
    if (store->read) {
        mode = store->old.st_mode & 07777;
        // Root saving a user's file (sudo in the user's home) must leave it the user's; for anyone else
        // this is the file's owner already, and a group they are not in is simply not kept.
        [[maybe_unused]] const int kept = fchown(fd, store->old.st_uid, store->old.st_gid);
    } else {
        // The new file is private; a new rating file is an ordinary one, made as fopen would, with the
        // owner and group the kernel gives it: the player's (root's acting as a user's: that user's own
        // primary group), or the folder's group where the folder is setgid.
        const mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    fchmod(fd, mode);
    const bool described = fstat(fd, &made->made) == 0;
    if (!described) *fault = fault_of_errno(errno);
    if (!described || !attributes_carry(fd, store->attributes, fault)) {
        rating_new_drop(store, made);
        return nullptr;
    }
    return made;
}

int rating_new_write(RATING_NEW *file, const std::string &text, RATING_FAULT *fault) {
    if (write_all(file->file.fd, text.data(), text.size())) return 1;
    *fault = fault_of_errno(errno);
    return 0;
}

int rating_new_sync(RATING_NEW *file, RATING_FAULT *fault) {
    if (fsync(file->file.fd) == 0) return 1;
    *fault = fault_of_errno(errno);
    return 0;
}

int rating_new_close(RATING_NEW *file, RATING_FAULT *fault) {
    const int fd = file->file.fd;
    file->file.fd = -1;
    if (close(fd) == 0) return 1; // and a failed close has closed it all the same
    *fault = fault_of_errno(errno);
    return 0;
}

int rating_new_rename(RATING_STORE *store, RATING_NEW *file, RATING_FAULT *fault) {
    if (renameat(store->folder.fd, file->name.c_str(), store->folder.fd, store->name.c_str()) != 0) {
        *fault = fault_of_errno(errno);
        return RENAME_REFUSED;
    }
    file->renamed = true;
    return RENAME_DONE;
}

int rating_new_landed(RATING_STORE *store, RATING_NEW *file) {
    struct stat now {};
    file->renamed = fstatat(store->folder.fd, store->name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                    now.st_ino == file->made.st_ino && now.st_dev == file->made.st_dev;
    return file->renamed;
}

int rating_new_drop(RATING_STORE *store, RATING_NEW *file) {
    int gone = 1;
    if (!file->renamed) {
        file->file.reset(-1);
        gone = unlinkat(store->folder.fd, file->name.c_str(), 0) == 0 || errno == ENOENT;
    }
    delete file;
    return gone;
}

struct RATING_OLD {
    FD file;
};

RATING_OLD *rating_old_open(RATING_STORE *store, std::string *before, RATING_FAULT *fault) {
    RATING_OLD *old = new RATING_OLD;
    old->file.reset(openat(store->folder.fd, store->name.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat now {};
    char bytes[RATING_READ_MAX];
    if (old->file.fd < 0) {
        *fault = fault_of_errno(errno);
    } else if (fstat(old->file.fd, &now) != 0 || !S_ISREG(now.st_mode) || now.st_ino != store->old.st_ino ||
               now.st_dev != store->old.st_dev || now.st_size > RATING_READ_MAX ||
               pread(old->file.fd, bytes, now.st_size, 0) != now.st_size) {
        fault->kind = FAULT_CHANGED;
    } else {
        before->assign(bytes, now.st_size);
        return old;
    }
    delete old;
    return nullptr;
}

int rating_old_room(RATING_OLD *, size_t length, size_t, RATING_FAULT *fault) {
    rlimit limit {};
    if (getrlimit(RLIMIT_FSIZE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY || length <= limit.rlim_cur) return 1;
    *fault = fault_of_errno(EFBIG);
    return 0;
}

size_t rating_old_write(RATING_OLD *file, const char *text, size_t length, RATING_FAULT *fault) {
    size_t written = 0;
    while (written < length) {
        const ssize_t done = pwrite(file->file.fd, text + written, length - written, written);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) {
            *fault = fault_of_errno(done == 0 ? EIO : errno);
            break;
        }
        written += static_cast<size_t>(done);
    }
    return written;
}

int rating_old_sync(RATING_OLD *file) { return fsync(file->file.fd) == 0; }

int rating_old_cut(RATING_OLD *file, size_t length) { return ftruncate(file->file.fd, static_cast<off_t>(length)) == 0; }

void rating_old_close(RATING_OLD *file) { delete file; }

// Removes the temporary files that saves killed half way left behind. A save in progress holds a lock on
// its own file, so only files nobody holds are removed; nothing without the marker is ever touched.
void rating_store_remove_strays(RATING_STORE *store) {
    const RATING_STORE &place = *store;
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

// A folder the player may not read (0300) cannot be opened to be synced: the rename reaches the disk
// with the file system's next commit.
void rating_store_sync_folder(RATING_STORE *store) {
    const FD opened(openat(store->folder.fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (opened.fd >= 0) fsync(opened.fd);
}
