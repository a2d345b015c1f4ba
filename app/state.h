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
// behind. On failure stops through YError("rating_write").
void rating_write(double rating);

// rating_write of the record's rating, then releases the record (not the game record it points to).
void app_close(app_state *app);
