// The player's language on Windows: not chosen yet. The build has no catalog reader for MinGW-w64, so
// every text is the Russian one, as with no catalog on Linux.
#include "support/i18n.h"

void i18n_setup() {}

const char *i18n_text(const char *text) { return text; }
