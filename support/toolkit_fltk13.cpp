#include "support/toolkit.h"

#include <FL/Fl.H>

#include "support/toolkit_options.h"

void toolkit_setup() {
    // The values FLTK gives them when no file says otherwise.
    toolkit_options_mark({
        {Fl::OPTION_ARROW_FOCUS, 0},
        {Fl::OPTION_VISIBLE_FOCUS, 1},
        {Fl::OPTION_DND_TEXT, 1},
        {Fl::OPTION_SHOW_TOOLTIPS, 1},
        {Fl::OPTION_FNFC_USES_GTK, 1},
    });
}

int toolkit_screen_scale() { return 1; }
