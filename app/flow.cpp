// PLACEHOLDER: empty stand-ins so that the window links and runs before the game flow exists.
// The game-flow step replaces this whole file.
#include "app/flow.h"

void view_new() {}

void view_free() {}

void new_game() {}

void rating_reset() {}
