// The game flow as the main window calls it.
#pragma once

// Allocates the board view arrays, every entry empty.
void view_new();
// Releases the board view arrays.
void view_free();
// Starts a new game; a game in progress is given up and charged.
void new_game();
// Sets the rating to 0 and starts a new game without charging the one in progress.
void rating_reset();
