#include "support/toolkit.h"

#include <cmath>

#include <FL/Fl.H>
#include <FL/Fl_Preferences.H>

namespace {

// FLTK 1.4 reads its options from /etc/fltk/fltk.org/fltk.prefs and $XDG_CONFIG_HOME/fltk.org/fltk.prefs
// (or ~/.config) the first time one is asked for, a tooltip shown or -tooltips read, and then writes the
// user's file back, as root also into /etc. The options are marked read before anything asks, with the
// values FLTK 1.4 gives them when no file says otherwise, so no file is read for them; the command line's
// -tooltips and the like still change them. FLTK keeps the two members private and has no call that sets
// them without reading the files: an explicit instantiation may name a private member, which is how this
// template is handed their addresses.
unsigned char *toolkit_options = nullptr;
unsigned char *toolkit_options_read = nullptr;

template <unsigned char *Values, unsigned char *Read> struct TOOLKIT_OPTIONS {
    static inline const bool found = (toolkit_options = Values, toolkit_options_read = Read, true);
};
template struct TOOLKIT_OPTIONS<Fl::options_, &Fl::options_read_>;

} // namespace

void toolkit_setup() {
    toolkit_options[Fl::OPTION_ARROW_FOCUS] = 0;
    toolkit_options[Fl::OPTION_VISIBLE_FOCUS] = 1;
    toolkit_options[Fl::OPTION_DND_TEXT] = 1;
    toolkit_options[Fl::OPTION_SHOW_TOOLTIPS] = 1;
    toolkit_options[Fl::OPTION_FNFC_USES_GTK] = 1;
    toolkit_options[Fl::OPTION_PRINTER_USES_GTK] = 1;
    toolkit_options[Fl::OPTION_SHOW_SCALING] = 1;
    toolkit_options[Fl::OPTION_FNFC_USES_ZENITY] = 0;
    toolkit_options[Fl::OPTION_FNFC_USES_KDIALOG] = 0;
    toolkit_options[Fl::OPTION_SIMPLE_ZOOM_SHORTCUT] = 0;
    *toolkit_options_read = 1;
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
