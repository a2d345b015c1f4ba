// The rating file's storage: reading the rating it holds and replacing it safely. It knows nothing of
// the game's state or of the toolkit, and builds headless.
//
// What it promises:
// - It never replaces what it did not write: a file that cannot be read, or whose content is more than
//   one rating, is never written (RATING_MIXED, RATING_UNREADABLE).
// - It follows symbolic links as the kernel does, up to 40 of them, walking the path one part at a time
//   and judging each link and folder on the object it then uses, never by its name a second time: a link
//   or a folder swapped in anywhere on the path meanwhile is judged before it is followed. In a folder
//   that others may write to (everyone, in a sticky one as /tmp; a group or everyone, in one that is not
//   sticky) it follows a link, anywhere on the path, only when the link belongs to the player or to the
//   folder's owner, so that another user's link cannot turn a save against a file of the player's; nor
//   does it write in place a file there that belongs to anyone else.
// - Root reads and saves, from the first folder or link on the path that another user owns on, with that
//   user's file-system identity: the user's uid, own primary group and groups (a uid without an account:
//   the object's group), never the folder's group. A link or a folder of the user's then reaches only
//   what the user could reach, and what is made there is the user's. A second, different user met on the
//   same path is refused ("нет доступа"). Where no other user's folder or link lies on the path, root is
//   root. Root is root again when the read or save is done, however it ended.
// - A save leaves the old rating or the new one, never a mix nor nothing: a new file beside the old one,
//   forced to disk and renamed over it; where that cannot be done (a read-only folder, a file mounted on
//   its own, a name too long for the new file, a full disk or quota) but the file itself may be written,
//   it is written in place, so that every reader finds the old number or the new one: a write that a
//   file-size limit would cut is not begun, and one cut short all the same is undone and fails. A file
//   with other hard links is never written in place (it would change under its other names too): the
//   save fails and says so. A folder that keeps what is made in it (append-only: nothing removed or
//   renamed) is written in place at once, found so by the system or by a new file that could be neither
//   renamed nor removed, for the rest of the session, so that the saves do not fill it with new files.
// - A rename that took place but was answered with an error (a network file system's lost reply) is
//   known by the new file at the rating file's name, and counts as the save it is.
// - The saved file keeps the old one's permission bits, its access control list and extended attributes
//   (where the list cannot be carried the file is written in place instead, never opened to others; a
//   list the folder would give a new file is not added), and its owner and group when root saves in a
//   folder of its own. A new rating file gets the owner and group the player's own run would give it:
//   root's, in a user's folder, the user's own primary group, or the folder's where it is setgid.
// - Copies of the game saving one file take one lock, which no other user can take: korvani.ini.lock
//   beside the file, the player's own, private (0600), made and opened without following a link; in a
//   folder the player may write but not read (0300) too. Where the folder lets no file be made, the file
//   itself is locked (nothing can be renamed over it there). Anything else at the lock's name, another
//   user's lock file, or no lock at all fails the save with the reason: it is never saved unlocked.
// - Nothing waits on what it finds: a FIFO is never opened, and a lock held elsewhere is answered at once
//   (RATING_LOCKED) unless the caller asks to wait a bounded while. The platforms never wait: one rule
//   here tries a held lock, or a file another program holds, again every 10 ms.
// - Every failure is answered with a Russian phrase for the user (problem, RATING_PROBLEM_MAX bytes) and
//   never ends the process.
//
// The sequence is written once (rating_file.cpp) over each platform's storage primitives
// (rating_store.h: rating_store_posix.cpp, rating_store_win.cpp). On Windows the same promises hold in
// Windows' terms, and where they have no meaning this holds instead:
// - Paths are wide and absolute (\\?\), so a folder named in any script works, and the new file's longer
//   name beside the rating file is not held to MAX_PATH.
// - Windows has no sticky folders and no other user's links to guard against: making a symbolic link
//   takes an administrator or developer mode, and who may write a file is up to the folders' access
//   lists. A link is followed as Windows follows it, and a save replaces the file it names.
// - The new file is forced to disk with FlushFileBuffers and moved over the old one with MoveFileExW,
//   written through. It keeps the old file's hidden, system and archive attributes; its permissions are
//   those the folder gives any new file (so the folder's user keeps them when an administrator saves
//   there), and its owner is whoever saved. A read-only file is neither replaced nor written in place
//   (Windows itself would refuse; Wine would replace it). A move answered with an error is known done by
//   the file at the name: the new file's volume serial number and file index.
// - There is no file-size limit: a write in place whose longer number needs more room than the disk has
//   free for the player is not begun.
// - The lock file is hidden, and its lock is one byte of it taken with LockFileEx; Windows lets go of it
//   when the game ends however it ends. Who may open it is up to the folder's access list; where the
//   folder lets no file be made, a byte of the rating file far beyond its end is locked instead.
// - Started in Windows' own folder or its system folder (where Windows starts a program whose folder it
//   cannot use), the rating is neither read nor saved there, and the reason is said.
// - Nothing but a folder can stand at the file's name. A file that another program holds open (an
//   editor, an antivirus scan) is tried again every 10 ms, at least ten times and as long as the lock is
//   waited for; then it is written in place when that program lets others write it, or else the answer
//   is RATING_LOCKED, so that the game tries again soon, as for a held lock.
#pragma once

// The name of the rating file, opened in the working directory.
extern const char *const RATING_FILE;

// The size of a problem text, with its terminating zero.
enum { RATING_PROBLEM_MAX = 96 };

// A rating is one short number; a bounded read keeps start-up quick whatever lies in the file's place.
enum { RATING_READ_MAX = 4096 };

// What a read found.
enum {
    RATING_MISSING,    // no file: the rating is 0
    RATING_FOUND,      // one rating as people write it, or nothing but blanks (0)
    RATING_MIXED,      // more than a rating (text around it, no number, "nan"): the value is the number at
                       // its start or 0, and the file is never replaced
    RATING_UNREADABLE, // there, but it cannot be read (no permission, not a regular file, a refused link)
};

// Reads the rating file through its links. "Purely a rating" is, after an optional UTF-8 byte order
// mark and blanks (CR and LF among them), one finite decimal number with a point or a comma (and an
// exponent only with its digits: "5e" is more than a rating), then only blanks, all within
// RATING_READ_MAX bytes; or the same in UTF-16 after its byte order mark, either order (Notepad's
// "Unicode"). A save writes the number as the game always writes it. *value gets that number; with
// RATING_MIXED, the number at the start as "%lf" reads it (a comma taken as the point), or 0; otherwise
// 0. The reason for RATING_MIXED and RATING_UNREADABLE goes to problem.
int rating_file_read(double *value, char *problem);

// How a save went.
enum { RATING_SAVE_FAILED, RATING_SAVED, RATING_LOCKED };

// One save under the lock of the rating file (korvani.ini.lock beside it): what the file holds now plus change (or rating
// itself when absolute) replaces it, and *stored gets the value written. The lock is tried lock_tries
// times, 10 ms apart; still held, the answer is RATING_LOCKED and nothing is touched. A file read as
// RATING_MIXED or RATING_UNREADABLE fails the save. The reason of any failure goes to problem.
int rating_file_save(double rating, double change, int absolute, int lock_tries, double *stored, char *problem);

// How the save replaces the file: it writes a new file beside it (beside the file a symbolic link
// names, when korvani.ini is one), with the old file's permission bits, forces it to disk and renames it
// over the old one, so a failed save leaves the previous file whole. The new file's name is the rating
// file's, this marker and six random letters or digits: no name a user would choose. A save killed half
// way may leave it behind; the next successful save removes such files, except one another save holds.
extern const char *const RATING_TEMP_MARKER;

// The steps of a save, in order.
enum {
    RATING_STEP_CREATE,      // the temporary file beside the rating file
    RATING_STEP_WRITE,       // the number into it
    RATING_STEP_SYNC,        // forced to disk
    RATING_STEP_CLOSE,       // closed
    RATING_STEP_RENAME,      // renamed over the rating file: from here on the new rating is saved
    RATING_STEP_CLEAN,       // temporary files of earlier, interrupted saves removed
    RATING_STEP_SYNC_FOLDER, // the rename forced to disk (on Windows the move was written through already)
    RATING_STEPS,
    // When the new file cannot be made or renamed but the old one may be written, it is written in place
    // instead of the rename, and the clean-up follows:
    RATING_STEP_PLACE_WRITE = RATING_STEPS, // the number, padded with blanks to the old length, over the old:
                                            // from here on the new rating is saved
    RATING_STEP_PLACE_CUT,                  // forced to disk, then cut to the number's length
};

// Fault injection for the tests: when set, a save calls it before each step, and a nonzero answer
// makes that step fail as its system call would, with that answer as the error (1 stands for EIO; on
// Windows the answer is a Windows error code, and 1 stands for ERROR_IO_DEVICE); the write in place
// fails half way, as a write cut short. Null in the program.
extern int (*rating_write_fault)(int step);
