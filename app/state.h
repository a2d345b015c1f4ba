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
    char problem[RATING_PROBLEM_MAX]; // why the rating file could not be read or written: a Russian
                                      // phrase for the user, such as "нет доступа"; empty when all went well
};

// A new record with the rating read from the rating file, stake 0.5 and no game in progress.
// The caller owns it (app_close).
app_state *app_new(const char *computer_name, int size);

// Fills the rating from the rating file: the number at its start as "%lf" reads it, within the file's
// first RATING_READ_MAX bytes. A missing file, a file that does not start with a number, or a number that
// is not finite gives 0.0. A file that exists but cannot be read (no permission, not a regular file such
// as a folder, a FIFO or a device, an I/O error) gives 0.0 as well, but returns 0 with the reason in
// problem: such a file is never replaced (rating_save). Never blocks on the file. 1 otherwise.
int rating_read(app_state *app);

// Saves the session's change of the rating, as one atomic replacement of the rating file. Under a lock
// on the folder that holds the file, it reads what the file holds now (another copy of the game in the
// same folder may have saved since), adds this session's change to it (after a reset it takes the rating
// itself), and writes the sum; rating and saved become that value. With no change and no reset it only
// takes up what the file holds, unless `always` asks for the write anyway. Returns 1 on success; 0 when
// the file could not be read or written (with no change as well): problem says why and the change stays
// for the next save. A file that exists but cannot be read is never replaced. Never exits.
int rating_save(app_state *app, int always);

// Writes this rating with "%f" (no newline) through the same atomic save, without regard to what the
// file holds. On failure stops through YError("rating_write").
void rating_write(double rating);

// Saves the record's rating (rating_save, always writing), then releases the record (not the game record
// it points to). A failed save stops through YError("rating_write").
void app_close(app_state *app);
