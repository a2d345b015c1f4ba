#include "app/state.h"

#include "support/common.h"

app_state *app_new(const char *computer_name, int size) {
    app_state *app = app_new_rated(computer_name, size, 0.0);
    rating_read(app);
    return app;
}

app_state *app_new_rated(const char *computer_name, int size, double rating) {
    app_state *app = new app_state{};
    app->rating = rating;
    app->saved = rating;
    app->stake = 0.5;
    app->computer_name = computer_name;
    app->size = size;
    app->game = nullptr;
    app->computer = 0;
    // No game is in progress yet, so the first new game gives nothing up.
    app->game_over = 1;
    return app;
}

int rating_read(app_state *app) {
    app->problem[0] = '\0';
    const int found = rating_file_read(&app->rating, app->problem);
    app->saved = app->rating;
    app->mixed = found == RATING_MIXED;
    return found == RATING_MISSING || found == RATING_FOUND;
}

int rating_pending(const app_state *app) { return app->reset || app->rating != app->saved; }

namespace {

int save_change(app_state *app, int lock_tries) {
    app->save_locked = 0;
    if (!rating_pending(app)) {
        // Nothing of this session's to save; another copy of the game may have saved since. A file that
        // cannot be read or is not purely a rating counts as a failure: nothing could be saved there.
        double on_disk = 0.0;
        const int found = rating_file_read(&on_disk, app->problem);
        if (found == RATING_UNREADABLE || found == RATING_MIXED) return 0;
        app->rating = app->saved = on_disk;
        return 1;
    }
    double stored = 0.0;
    const int result =
        rating_file_save(app->rating, app->rating - app->saved, app->reset, lock_tries, &stored, app->problem);
    if (result != RATING_SAVED) {
        app->save_locked = result == RATING_LOCKED;
        return 0;
    }
    app->rating = app->saved = stored;
    app->reset = 0;
    app->problem[0] = '\0';
    return 1;
}

// Half a second in steps of 10 ms: a save takes far less, and a signal to end is answered within a second.
const int EXIT_LOCK_TRIES = 50;

} // namespace

int rating_save(app_state *app) { return save_change(app, 1); }

int rating_save_at_exit(app_state *app) { return !rating_pending(app) || save_change(app, EXIT_LOCK_TRIES); }

void rating_write(double rating) {
    double stored = 0.0;
    char problem[RATING_PROBLEM_MAX];
    if (rating_file_save(rating, 0.0, 1, EXIT_LOCK_TRIES, &stored, problem) != RATING_SAVED) YError("rating_write");
}

void app_close(app_state *app) {
    if (rating_pending(app)) {
        if (!rating_save_at_exit(app)) YError("rating_write");
    } else {
        // A first run leaves the file it played from, as a user expects to find it; where it cannot be
        // made, nothing is lost: no file means a rating of 0. A change of nothing rather than the rating
        // itself: another copy that made the file since this one looked keeps what it saved there.
        double on_disk = 0.0;
        char problem[RATING_PROBLEM_MAX];
        double stored = 0.0;
        if (rating_file_read(&on_disk, problem) == RATING_MISSING) rating_file_save(0.0, 0.0, 0, 1, &stored, problem);
    }
    delete app;
}
