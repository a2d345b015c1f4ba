#include "app/state.h"

#include "support/common.h"

app_state *app_new(const char *computer_name, int size) {
    app_state *app = new app_state{};
    rating_read(app);
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
    mode_t mode = 0;
    app->problem[0] = '\0';
    const int found = rating_file_read(RATING_FILE, &app->rating, &mode, app->problem);
    app->saved = app->rating;
    return found != RATING_UNREADABLE;
}

int rating_save(app_state *app, int always) {
    const double change = app->rating - app->saved;
    if (!always && !app->reset && change == 0.0) {
        // Nothing of this session's to save; another copy of the game may have saved since. A file that
        // cannot be read counts as a failure: nothing could be saved there.
        double on_disk = 0.0;
        mode_t mode = 0;
        if (rating_file_read(RATING_FILE, &on_disk, &mode, app->problem) == RATING_UNREADABLE) return 0;
        app->rating = app->saved = on_disk;
        return 1;
    }
    double stored = 0.0;
    if (!rating_file_save(app->rating, change, app->reset, &stored, app->problem)) return 0;
    app->rating = app->saved = stored;
    app->reset = 0;
    app->problem[0] = '\0';
    return 1;
}

void rating_write(double rating) {
    double stored = 0.0;
    char problem[RATING_PROBLEM_MAX];
    if (!rating_file_save(rating, 0.0, 1, &stored, problem)) YError("rating_write");
}

void app_close(app_state *app) {
    if (!rating_save(app, 1)) YError("rating_write");
    delete app;
}
