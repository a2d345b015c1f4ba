// The application's one state record and the rating file. No toolkit here: this module also builds
// headless.
#pragma once

#include "app/rating_file.h"

struct GAME;

struct app_state {
    int size;                  // board size; the program passes 5
    const char *computer_name; // the computer player's name; the pointer is kept, not copied
    GAME *game;                // the current game record; null until the first new game
    double rating;             // the user's rating
    double stake;              // what one game is worth: 0.5
    int computer;              // index of the computer player in the game record
    int game_over;             // nonzero while no game is in progress
    double saved;              // what the rating file held when this session last read or wrote it:
                               // rating - saved is the session's own change not saved yet
    int reset;                 // nonzero after a reset not saved yet: the next save writes the rating
                               // itself instead of adding the change to what the file holds
    int save_at_once;          // nonzero in the program: the flow saves every change of the rating at once;
                               // 0 in headless runs, which never touch the file
    int save_failing;          // nonzero while saves fail (the user has been told once)
    char problem[RATING_PROBLEM_MAX]; // why the rating file could not be read or written: a phrase
                                      // for the user in the player's language, such as "нет доступа";
                                      // empty when all went well
    int save_locked;           // nonzero when the last save failed only because the file was locked:
                               // it is tried again soon, without waiting for the next change
    int mixed;                 // nonzero when the file holds more than a rating: it is never replaced
};

// A new record with the rating read from the rating file, stake 0.5 and no game in progress.
// The caller owns it (app_close).
app_state *app_new(const char *computer_name, int size);
// The same with this rating, the rating file not read: for headless runs.
app_state *app_new_rated(const char *computer_name, int size, double rating);

// Fills the rating from the rating file (rating_file_read). A missing file gives 0.0. A file that cannot
// be read gives 0.0, and one that holds more than a rating the number at its start, or 0.0; both return 0
// with the reason in problem (and mixed set for the second): such a file is never replaced. Never blocks
// on the file. 1 otherwise.
int rating_read(app_state *app);

// Saves the session's change of the rating, as one safe replacement of the rating file (rating_file_save).
// Under the lock of korvani.ini.lock beside the file, it reads what the file holds now (another copy of the
// game in the same folder may have saved since), adds this session's change to it (after a reset it takes
// the rating itself), and writes the sum; rating and saved become that value. With no change and no reset
// it only takes up what the file holds. A lock held elsewhere is not waited for: the save fails at once
// with save_locked set. Returns 1 on success; 0 when the file could not be read or written (with no
// change as well): problem says why and the change stays for the next save. A file that cannot be read or holds more than a rating is never replaced. Never exits.
int rating_save(app_state *app);

// Whether the session holds a change of the rating (or a reset) not saved yet.
int rating_pending(const app_state *app);

// Saves a pending change on the way out of the program: as rating_save, but waiting up to half a second
// for a lock held elsewhere. 1 when nothing is left unsaved.
int rating_save_at_exit(app_state *app);

// Writes this rating with "%f" (no newline) through the same safe save, without regard to what the file
// holds. On failure stops through YError("rating_write").
void rating_write(double rating);

// Saves a pending change (rating_save_at_exit); with none, only makes the file when there is none yet
// (a failure to make it loses nothing). Then releases the record (not the game record it points to). A
// failed save stops through YError("rating_write").
void app_close(app_state *app);
