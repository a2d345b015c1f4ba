#include "app/options.h"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <string>

#include <FL/Fl.H>

namespace {

// The build gives the project's version (KORVANI_VERSION), so that it is written in one place only.
const char VERSION_LINE[] = "korvani " KORVANI_VERSION;

const char USAGE[] = "usage: korvani [--help] [--version] [toolkit options]";

enum { SHOW_NOTHING, SHOW_HELP, SHOW_VERSION };
int asked = SHOW_NOTHING;

// -geometry, as the toolkit abbreviates it: -g up to -geometry, in any case.
bool is_geometry(const char *arg) {
    const char *const name = "geometry";
    if (arg[0] != '-' || arg[1] == '\0') return false;
    for (size_t k = 1; arg[k]; ++k)
        if (k > std::strlen(name) || std::tolower(static_cast<unsigned char>(arg[k])) != name[k - 1]) return false;
    return true;
}

// The window's size is fixed: of -geometry WxH+X+Y only the position is kept. A size alone is taken and
// left out; a position is handed on to the toolkit without the size, which keeps a pointer to that very
// text and places the window by it when it is shown. A value that is not a geometry goes to the toolkit
// whole, which refuses it.
int geometry_position(char **argv, int &i) {
    const char *value = argv[i + 1];
    const char *at = value + (value[0] == '=');
    const char *size = at;
    while (std::isdigit(static_cast<unsigned char>(*at))) ++at;
    if (at > size && (*at == 'x' || *at == 'X') && std::isdigit(static_cast<unsigned char>(at[1]))) {
        for (++at; std::isdigit(static_cast<unsigned char>(*at));) ++at;
        if (*at == '\0') {
            i += 2;
            return 2;
        }
        if (*at == '+' || *at == '-') argv[i + 1] = const_cast<char *>(at);
    }
    return 0;
}

// The toolkit hands every word it does not know to this first: the game's own options.
int own_option(int argc, char **argv, int &i) {
    const char *arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        if (asked == SHOW_NOTHING) asked = SHOW_HELP;
    } else if (std::strcmp(arg, "--version") == 0) {
        if (asked == SHOW_NOTHING) asked = SHOW_VERSION;
    } else if (is_geometry(arg) && i + 1 < argc) {
        return geometry_position(argv, i);
    } else {
        return 0;
    }
    ++i;
    return 1;
}

// Why the toolkit refused the word: an option of its own that lacks its value (or whose value it could
// not read), or a word nobody knows.
std::string refusal(int argc, char **argv, int i) {
    const std::string word = argv[i];
    if (word.size() > 1 && word[0] == '-' && word[1] != '-') {
        // Asked again with a value that every option of the toolkit reads: it knows the option when it
        // takes two words now. The process ends with status 2 right after, so what it stored is moot.
        char value[] = "1x1+0+0";
        char *pair[] = {argv[i], value, nullptr};
        int at = 0;
        if (Fl::arg(2, pair, at) == 2) {
            return i + 1 >= argc ? "option \"" + word + "\" needs a value"
                                 : "option \"" + word + "\" cannot take \"" + argv[i + 1] + "\"";
        }
    }
    if (word.empty() || word[0] != '-') return "unexpected argument \"" + word + "\"";
    return "unknown option \"" + word + "\"";
}

} // namespace

int options_read(int argc, char **argv, FILE *out, FILE *err) {
    asked = SHOW_NOTHING;
    int i = 1;
    // Fl::args stops with i at the first word that neither own_option nor the toolkit takes.
    if (argc > 1) Fl::args(argc, argv, i, own_option);
    if (i < argc) {
        std::fprintf(err, "korvani: %s\n%s\n", refusal(argc, argv, i).c_str(), USAGE);
        std::fflush(err);
        return 2;
    }
    if (asked == SHOW_HELP) {
        std::fprintf(out,
                     "%s\n\n"
                     "КОРВАНИ: the first-capture variant of Go on a 5 x 5 board, Black against the computer.\n\n"
                     "  -h, --help     print this help and exit\n"
                     "      --version  print the version and exit\n\n"
                     "Toolkit (FLTK) options, each of which may be abbreviated as shown:\n%s\n\n"
                     "The rating is kept in korvani.ini in the current folder. See korvani(6).\n",
                     USAGE, Fl::help);
    } else if (asked == SHOW_VERSION) {
        std::fprintf(out, "%s\n", VERSION_LINE);
    }
    if (asked == SHOW_NOTHING) return -1;
    // Output that cannot be written (a full disk, a closed stream) is said, as GNU's tools say it.
    const int written = std::fflush(out) == 0 && !std::ferror(out);
    if (written) return 0;
    std::fprintf(err, "korvani: cannot write the %s: %s\n", asked == SHOW_HELP ? "help" : "version",
                 std::strerror(errno));
    std::fflush(err);
    return 1;
}
