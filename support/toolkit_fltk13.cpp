#include "support/toolkit.h"

#include <FL/Fl.H>

namespace {

// FLTK 1.3 reads its options (tooltips, visible focus, drag and drop of text, arrow keys' focus) from
// its preference files the first time one is asked for, a tooltip shown or -tooltips read, and writes
// those files back: $HOME/.fltk/fltk.org/fltk.prefs and, as root, /etc/fltk/fltk.org/fltk.prefs,
// following links, whoever's HOME it is. So the options are marked read before anything asks, with the
// values FLTK gives them when no file says otherwise; the command line's -tooltips and the like still
// change them. FLTK keeps the two members private and has no call that sets them without reading the
// files: an explicit instantiation may name a private member, which is how this template is handed
// their addresses.
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
    *toolkit_options_read = 1;
}

int toolkit_screen_scale() { return 1; }
