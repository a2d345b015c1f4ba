// The application's one state record and the rating file. No toolkit here: this module also builds
// headless.
#pragma once

struct GAME;

// The name of the rating file, opened in the working directory.
extern const char *const RATING_FILE;

struct app_state {
    int size;                  // board size; the program passes 5
    const char *computer_name; // the computer player's name; the pointer is kept, not copied
    GAME *game;                // the current game record; null until the first new game
    double rating;             // the user's rating
    double stake;              // what one game is worth: 0.5
    int computer;              // index of the computer player in the game record
    int game_over;             // nonzero while no game is in progress
};

// A new record with the rating read from the rating file, stake 0.5 and no game in progress.
// The caller owns it (app_close).
app_state *app_new(const char *computer_name, int size);

// Fills the rating from the rating file: the number at its start as "%lf" reads it. A missing file, a
// file that does not start with a number, or a number that is not finite gives 0.0.
void rating_read(app_state *app);

// Writes the rating with "%f" (no newline) to a new file beside the rating file, flushes it to disk and
// renames it over the rating file, so a failed save leaves the previous file whole and no stray file
// behind. A save that was killed half way may leave its temporary file: the next successful save removes
// it. On failure stops through YError("rating_write").
void rating_write(double rating);

// The steps of rating_write, in order.
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

// Fault injection for the tests: when set, rating_write calls it before each step, and a nonzero answer
// makes that step fail as its system call would. Null in the program.
extern int (*rating_write_fault)(int step);

// rating_write of the record's rating, then releases the record (not the game record it points to).
void app_close(app_state *app);
