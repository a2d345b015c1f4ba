#include "app/options.h"

#include <cstring>
#include <string>

#include <FL/Fl.H>

namespace {

// The build gives the project's version (KORVANI_VERSION), so that it is written in one place only.
const char VERSION_LINE[] = "korvani " KORVANI_VERSION;

const char USAGE[] = "usage: korvani [--help] [--version] [toolkit options]";

enum { SHOW_NOTHING, SHOW_HELP, SHOW_VERSION };
int asked = SHOW_NOTHING;

// The toolkit hands every word it does not know to this first: the game's own options.
int own_option(int, char **argv, int &i) {
    const char *arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        if (asked == SHOW_NOTHING) asked = SHOW_HELP;
    } else if (std::strcmp(arg, "--version") == 0) {
        if (asked == SHOW_NOTHING) asked = SHOW_VERSION;
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
    return std::fflush(out) == 0 && !std::ferror(out) ? 0 : 1;
}
