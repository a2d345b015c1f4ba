// The toolkit's options marked read without reading its preference files, for the one source file of
// support/toolkit_fltk13.cpp and support/toolkit_fltk14.cpp that a build compiles. Both FLTK versions
// read the options (tooltips, visible focus, drag and drop of text, arrow keys' focus ...) from their
// preference files the first time one is asked for, a tooltip shown or -tooltips read, and write those
// files back, as root also into /etc/fltk, following links, whoever's HOME it is. FLTK keeps the two
// members private and has no call that sets them without reading the files: an explicit instantiation
// may name a private member, which is how this template is handed their addresses.
#pragma once

#include <initializer_list>
#include <utility>

#include <FL/Fl.H>

namespace toolkit_options_access {

inline unsigned char *values = nullptr;
inline unsigned char *read = nullptr;

template <unsigned char *Values, unsigned char *Read> struct FOUND {
    static inline const bool found = (values = Values, read = Read, true);
};
template struct FOUND<Fl::options_, &Fl::options_read_>;

} // namespace toolkit_options_access

// Gives the options both versions have, then the version's own, the values FLTK gives them when no file
// says otherwise, and marks them all read, so that no file is read for them; the command line's -tooltips
// and the like still change them afterwards.
inline void toolkit_options_mark(std::initializer_list<std::pair<Fl::Fl_Option, unsigned char>> own = {}) {
    for (const auto &[option, value] : {std::pair<Fl::Fl_Option, unsigned char>{Fl::OPTION_ARROW_FOCUS, 0},
                                        {Fl::OPTION_VISIBLE_FOCUS, 1},
                                        {Fl::OPTION_DND_TEXT, 1},
                                        {Fl::OPTION_SHOW_TOOLTIPS, 1},
                                        {Fl::OPTION_FNFC_USES_GTK, 1}})
        toolkit_options_access::values[option] = value;
    for (const auto &[option, value] : own) toolkit_options_access::values[option] = value;
    *toolkit_options_access::read = 1;
}
