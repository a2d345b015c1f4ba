#include <cstdio>

#include "app/main_window.h"
#include "app/options.h"
#include "app/platform.h"
#include "support/i18n.h"
#include "support/toolkit.h"

int main(int argc, char **argv) {
    process_signals_ignore();
    // Before any text is printed or shown: --help and a mistyped option speak the player's language too.
    i18n_setup();
    // Before the toolkit reads the command line, which may already ask for its options.
    toolkit_setup();
    // --help, --version and a mistyped option answer before any display is opened, and before the
    // standard streams are made whole: written to a closed stream, they fail and say so.
    const int status = options_read(argc, argv, stdout, stderr);
    if (status >= 0) return status;
    process_streams_prepare();
    // Before the toolkit opens the display: from here on, a signal to end leaves through the exit.
    session_end_prepare();
    return app_main(argc, argv);
}
