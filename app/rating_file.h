// The rating file's storage: reading the number it holds and replacing it safely. It knows nothing of
// the game's state or of the toolkit, and builds headless. Every failure is answered with a Russian
// phrase for the user (problem, RATING_PROBLEM_MAX bytes) and never ends the process.
#pragma once

#include <sys/types.h>

// The name of the rating file, opened in the working directory.
extern const char *const RATING_FILE;

// The size of a problem text, with its terminating zero.
enum { RATING_PROBLEM_MAX = 96 };

// A rating is one short number; a bounded read keeps start-up quick whatever lies in the file's place.
enum { RATING_READ_MAX = 4096 };

// How a read went.
enum { RATING_MISSING, RATING_FOUND, RATING_UNREADABLE };

// Reads the number at the start of the file at path into *value, as "%lf" reads it, within its first
// RATING_READ_MAX bytes; 0.0 when there is none or it is not finite. What is not a regular file is not
// opened, and nothing blocks. *mode gets the permission bits of a file found.
int rating_file_read(const char *path, double *value, mode_t *mode, char *problem);

// One save under the lock of the rating file's folder: what the file holds now plus change (or rating
// itself when absolute) replaces it; *stored gets the value written. 1 on success, 0 with the reason in
// problem; a file that exists but cannot be read is never replaced.
int rating_file_save(double rating, double change, int absolute, double *stored, char *problem);

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
    RATING_STEP_SYNC_FOLDER, // the rename forced to disk
    RATING_STEPS
};

// Fault injection for the tests: when set, a save calls it before each step, and a nonzero answer
// makes that step fail as its system call would. Null in the program.
extern int (*rating_write_fault)(int step);
