#include <cstdio>

#include "app/main_window.h"
#include "app/options.h"
#include "app/platform.h"

int main(int argc, char **argv) {
    process_prepare();
    // --help, --version and a mistyped option answer before any display is opened.
    const int status = options_read(argc, argv, stdout, stderr);
    if (status >= 0) return status;
    return app_main(argc, argv);
}
