// The rating file's storage primitives: what a read and a save ask of the system, one source file per
// platform (rating_store_posix.cpp, rating_store_win.cpp). The save's sequence and every promise of
// rating_file.h are kept once, above these, in rating_file.cpp; here is only what differs: how the path
// is found (links, trust and root's identity on POSIX; wide paths on Windows), the lock, the calls that
// make, write, sync, close and rename a file, and how a system error is sorted into a fault.
#pragma once

#include <cstddef>
#include <string>

// What went wrong, sorted from the system's own error; rating_file.cpp words each kind once, in one table
// of rows, and decides on it (a failing device writes nothing more; a full disk falls back to the write in
// place; a file held by another program is tried again soon).
enum {
    FAULT_NONE,
    FAULT_ACCESS,         // no permission
    FAULT_READ_ONLY_DISK, // a read-only file system or a write-protected disk
    FAULT_READ_ONLY_FILE, // made read-only on purpose (Windows' attribute)
    FAULT_FULL,           // no room on the disk
    FAULT_QUOTA,          // the player's quota reached
    FAULT_TOO_BIG,        // the file-size limit
    FAULT_DEVICE,         // the disk fails to read or write
    FAULT_NOT_READY,      // a removable disk taken out
    FAULT_NETWORK,        // a network disk gone
    FAULT_LOOP,           // links in a circle, or more than the system follows
    FAULT_LOCKED,         // another copy holds the save's lock
    FAULT_HELD,           // another program holds the file open
    FAULT_HELD_LOCKED,    // another program holds a lock on the file
    FAULT_BUSY,           // a mount point, or the system's own file
    FAULT_TEXT_BUSY,      // a program being run
    FAULT_NAME_TOO_LONG,
    FAULT_BAD_NAME,
    FAULT_NO_FOLDER,      // a folder on the way is missing
    FAULT_NOT_A_FOLDER,   // something else stands where the path needs a folder
    FAULT_OTHER_DISK,
    FAULT_DELETING,       // being deleted by another program
    FAULT_CHANGED,        // replaced or changed under the save
    FAULT_TOO_MANY_FILES,
    FAULT_MEMORY,
    FAULT_UNSUPPORTED,    // the system cannot replace the file
    FAULT_FOLDER,         // a folder stands at the file's name
    FAULT_NOT_A_FILE,     // a device, a FIFO, a socket or a link swapped in stands there
    FAULT_FOREIGN_LINK,   // another user's link in a folder others may write to
    FAULT_LOCK_NOT_A_FILE, // something other than the lock file stands at the lock's name
    FAULT_LOCK_UNMADE,    // the lock file cannot be made
    FAULT_LOCK_FOREIGN,   // the lock file belongs to another user (who could hold it)
    FAULT_LINKED,         // the file has other hard links: written in place, it would change them too
    FAULT_SYSTEM_FOLDER,  // started in the system's own folder, where Windows puts a program it cannot
                          // start in the folder asked for: no place for the rating
    FAULT_SYSTEM,         // any other: the platform words the code
};

// A fault and the system's own code for it.
struct RATING_FAULT {
    int kind = FAULT_NONE;
    long code = 0;
};

// The fault the fault hook's answer stands for: 1 a failing device, otherwise the platform's own code.
RATING_FAULT rating_fault_of_code(long code);

// Words a FAULT_SYSTEM fault into problem (RATING_PROBLEM_MAX bytes).
void rating_fault_system_words(long code, char *problem);

// The rating file's place, found: the folder and the name there, and while it lives root's identity
// (POSIX) and the lock when taken. Owned by the caller; rating_store_close releases all of it.
struct RATING_STORE;

// Finds the rating file's place in the working folder, through its links as the platform follows them.
// Null with *fault when the path cannot be followed.
RATING_STORE *rating_store_open(RATING_FAULT *fault);
void rating_store_close(RATING_STORE *store);

// What stands at the name now, looked at without opening it.
enum { STORE_NOTHING, STORE_FILE, STORE_FOLDER, STORE_OTHER };
int rating_store_kind(RATING_STORE *store);

// Takes the lock that copies of the game saving this file share, once and without waiting: the save's
// policy tries again. Kept until the store is closed. The lock is the file of the rating file's name and
// ".lock" beside it, the player's own and, on POSIX, private (0600), so that no other user can open it,
// let alone hold it; made where it is missing. Where the folder lets no file be made (the player may not
// write it, a read-only disk) the rating file itself is locked: no new file can be renamed over it there
// either, so the save can only write it in place. LOCK_HELD when another copy holds it; LOCK_FAILED with
// *fault when something else stands at the lock's name, it is another user's, or no lock can be had:
// the save then refuses, since two copies' games would rest on timing.
enum { LOCK_TAKEN, LOCK_HELD, LOCK_FAILED };
int rating_store_lock(RATING_STORE *store, RATING_FAULT *fault);

// Reads at most size bytes of the file, never blocking on what stands there; the store remembers which
// file it read for a later write. READ_MISSING, READ_DONE with *length bytes in text, or READ_FAILED
// with *fault; FAULT_NOT_A_FILE after a link was swapped in since the store was opened; FAULT_HELD when
// another program holds the file for now (Windows), answered at once.
enum { READ_MISSING, READ_DONE, READ_FAILED };
int rating_store_read(RATING_STORE *store, char *text, size_t size, size_t *length, RATING_FAULT *fault);

// Whether the file read may be replaced (not on Windows when it is read-only: *fault), and whether it
// may be written in place (POSIX: a file with a write permission bit and trusted in its folder).
bool rating_store_may_replace(const RATING_STORE *store, RATING_FAULT *fault);
bool rating_store_may_write_in_place(const RATING_STORE *store);
// How many names (hard links) the file read has.
unsigned long rating_store_links(const RATING_STORE *store);

// Whether the folder is known to keep any file made in it: one that may be added to but from which
// nothing may be removed or renamed (POSIX: an append-only or immutable folder, chattr +a).
bool rating_store_keeps_new_files(const RATING_STORE *store);
// The folder the rating file lies in, as a text that tells it from any other for the session.
std::string rating_store_folder_id(const RATING_STORE *store);

// A new file beside the rating file, made private under a name of the rating file's, the marker and six
// random letters or digits, with the old file's permissions, owner and attributes (as a new rating file
// gets them when there was none); held so that another copy's clean-up leaves it alone. On POSIX it
// carries the old file's access control list and extended attributes; where the list cannot be carried
// it is not made (FAULT_UNSUPPORTED), so that the file is written in place rather than opened to others.
// Each step returns 0 with *fault on failure; rating_new_close closes the file whether or not it fails.
struct RATING_NEW;
RATING_NEW *rating_new_make(RATING_STORE *store, RATING_FAULT *fault);
int rating_new_write(RATING_NEW *file, const std::string &text, RATING_FAULT *fault);
int rating_new_sync(RATING_NEW *file, RATING_FAULT *fault);
int rating_new_close(RATING_NEW *file, RATING_FAULT *fault);
// Renames the closed new file over the rating file: RENAME_DONE, RENAME_REFUSED with *fault, or
// RENAME_AGAIN when another program may be holding the file for a moment (Windows).
enum { RENAME_DONE, RENAME_REFUSED, RENAME_AGAIN };
int rating_new_rename(RATING_STORE *store, RATING_NEW *file, RATING_FAULT *fault);
// Whether the new file stands at the rating file's name: a rename answered with an error may have taken
// place all the same (a network file system's lost reply).
int rating_new_landed(RATING_STORE *store, RATING_NEW *file);
// Closes the file if open, removes it unless renamed, and frees the record. 0 when the file is still
// there: it could be neither renamed nor removed.
int rating_new_drop(RATING_STORE *store, RATING_NEW *file);

// The file read, opened again to be written in place, once (FAULT_HELD where another program holds it
// for now). Null with *fault when it cannot be opened or is no longer the file read. *before gets its
// bytes.
struct RATING_OLD;
RATING_OLD *rating_old_open(RATING_STORE *store, std::string *before, RATING_FAULT *fault);
// Whether length bytes from the start can be written whole where the old file held old_length: the
// file-size limit (POSIX) or the disk's free room for the player (Windows).
int rating_old_room(RATING_OLD *file, size_t length, size_t old_length, RATING_FAULT *fault);
// Writes from the start; the bytes written, all of them unless *fault.
size_t rating_old_write(RATING_OLD *file, const char *text, size_t length, RATING_FAULT *fault);
int rating_old_sync(RATING_OLD *file);
int rating_old_cut(RATING_OLD *file, size_t length);
void rating_old_close(RATING_OLD *file);

// Removes the new files of saves killed half way that nobody holds; nothing without the marker.
void rating_store_remove_strays(RATING_STORE *store);
// Forces the rename to disk with the folder (POSIX; Windows wrote the move through already).
void rating_store_sync_folder(RATING_STORE *store);
