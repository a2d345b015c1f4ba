#include "support/toolkit.h"

#include <cmath>

#include <FL/Fl.H>
#include <FL/Fl_Preferences.H>
#include <FL/fl_draw.H>

#include "support/toolkit_options.h"

void toolkit_setup() {
    // FLTK 1.4's own options, at the values it gives them when no file says otherwise.
    toolkit_options_mark({
        {Fl::OPTION_PRINTER_USES_GTK, 1},
        {Fl::OPTION_SHOW_SCALING, 1},
        {Fl::OPTION_FNFC_USES_ZENITY, 0},
        {Fl::OPTION_FNFC_USES_KDIALOG, 0},
        {Fl::OPTION_SIMPLE_ZOOM_SHORTCUT, 0},
    });
    // FLTK 1.4's own zoom, Ctrl and + / - / 0, stays: the window keeps its size in the toolkit's units at
    // every step, so it stays fixed, clicks land on the point under the pointer and everything is drawn
    // anew at the new scale; it lets a player on a screen of scale 1 make the game larger, and Ctrl and
    // 0 brings back the screen's own scale. Nothing of it is kept across runs.
    // Whatever else of the toolkit would keep preferences (its file chooser, its printer dialog) keeps
    // none either: no preference file is read or written, the user's nor the system's.
    Fl_Preferences::file_access(Fl_Preferences::NONE);
}

int toolkit_screen_scale() {
    const long scale = std::lround(Fl::screen_scale(0));
    return scale < 1 ? 1 : static_cast<int>(scale);
}

float toolkit_pixels_begin() { return fl_override_scale(); }

void toolkit_pixels_end(float scale) { fl_restore_scale(scale); }
