#include "app/options.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

#include <FL/Fl.H>

#include "support/i18n.h"

namespace {

// The build gives the project's version (KORVANI_VERSION), so that it is written in one place only.
const char VERSION_LINE[] = "korvani " KORVANI_VERSION;

const char USAGE[] = N_("usage: korvani [--help] [--version] [toolkit options]");

enum { SHOW_NOTHING, SHOW_HELP, SHOW_VERSION };
int asked = SHOW_NOTHING;

// Whether arg is the toolkit's option name, as the toolkit matches its words: after one dash, a beginning
// of the name at least at_least letters long, in any case.
bool toolkit_option_is(const char *arg, const char *name, size_t at_least) {
    if (arg[0] != '-' || arg[1] == '-' || arg[1] == '\0') return false;
    size_t k = 0;
    for (const char *word = arg + 1; word[k]; ++k)
        if (std::tolower(static_cast<unsigned char>(word[k])) != name[k]) return false;
    return k >= at_least;
}

// The format, translated, with its one or two %s filled in by the words.
std::string worded(const char *format, const std::string &first, const std::string &second = "") {
    const char *translated = _(format);
    const int length = std::snprintf(nullptr, 0, translated, first.c_str(), second.c_str());
    if (length < 0) return format;
    std::string text(static_cast<size_t>(length) + 1, '\0');
    std::snprintf(&text[0], text.size(), translated, first.c_str(), second.c_str());
    text.pop_back();
    return text;
}

// The first option refused here rather than by the toolkit, and why; 0 when none was.
int refused_at = 0;
std::string refused_why;

// Refuses the option at i with its value: parsing goes on, so that an earlier refusal of the toolkit's
// still comes first, and the program then ends with status 2.
int refuse(int &i, const std::string &why) {
    if (refused_at == 0) {
        refused_at = i;
        refused_why = why;
    }
    i += 2;
    return 2;
}

// A number of X's geometry grammar, read as the toolkit's XParseGeometry reads it: an optional sign, then
// any number of digits (none at all after a sign). The magnitude stops growing past INT_MAX, where the
// toolkit's int would overflow.
const char *geometry_number(const char *at, long long *value) {
    long long sign = 1;
    if (*at == '+' || *at == '-') sign = *at++ == '-' ? -1 : 1;
    long long magnitude = 0;
    for (; *at >= '0' && *at <= '9'; ++at) magnitude = std::min(magnitude * 10 + (*at - '0'), INT_MAX + 1LL);
    *value = sign * magnitude;
    return at;
}

// What a geometry asks for: its position's sign characters ('+', '-', or 0 when that offset is not given)
// and the numbers after them. The size is never kept.
struct GEOMETRY_POSITION {
    char x_sign = 0;
    char y_sign = 0;
    long long x = 0;
    long long y = 0;
};

// X's geometry grammar, exactly as XParseGeometry reads it, so that the game takes what the toolkit would
// and refuses the rest: [=][<width>][{xX}<height>][{+-}<xoffset>[{+-}<yoffset>]], a width only where the
// value does not begin with x, + or -, and the height and the offsets with a sign of their own allowed
// ("500x-5", "+-5"). Returns false for what is not a geometry.
bool geometry_parse(const char *text, GEOMETRY_POSITION *position) {
    const char *at = text + (text[0] == '=');
    long long ignored = 0;
    if (*at != '+' && *at != '-' && *at != 'x') {
        const char *end = geometry_number(at, &ignored);
        if (end == at) return false;
        at = end;
    }
    if (*at == 'x' || *at == 'X') {
        const char *end = geometry_number(++at, &ignored);
        if (end == at) return false;
        at = end;
    }
    for (char *sign : {&position->x_sign, &position->y_sign}) {
        if (*at != '+' && *at != '-') break;
        *sign = *at;
        long long *value = sign == &position->x_sign ? &position->x : &position->y;
        const char *end = geometry_number(++at, value);
        if (end == at) return false;
        at = end;
    }
    return *at == '\0';
}

// The window's size is fixed: of -geometry only the position is kept, in any of the forms X's grammar
// allows. The toolkit is handed that position alone, rewritten plainly, and keeps a pointer to this very
// text, which therefore lives as long as the program; a size alone is taken and left out. A value that
// is not a geometry, or whose offsets are beyond what the toolkit's int holds, is refused.
char geometry_kept[64];

int geometry_position(char **argv, int &i) {
    GEOMETRY_POSITION position;
    if (!geometry_parse(argv[i + 1], &position) || std::llabs(position.x) > INT_MAX ||
        std::llabs(position.y) > INT_MAX)
        return refuse(i, worded(N_("option \"%s\" cannot take \"%s\""), argv[i], argv[i + 1]));
    if (position.x_sign != 0) {
        // Each sign is kept with the number after it, which may carry its own: "--5" stays 5 from the right.
        int length = std::snprintf(geometry_kept, sizeof geometry_kept, "%c%lld", position.x_sign, position.x);
        if (position.y_sign != 0)
            std::snprintf(geometry_kept + length, sizeof geometry_kept - length, "%c%lld", position.y_sign,
                          position.y);
        char *pair[] = {argv[i], geometry_kept, nullptr};
        int at = 0;
        Fl::arg(2, pair, at);
    }
    i += 2;
    return 2;
}

// The toolkit copies some values into buffers of a fixed size. A longer value is refused, before anything
// is opened: a class would overflow its buffer, and a display cut to fit would name another than the one
// given.
// - -name, the window's class: on X11 both FLTK 1.3 and 1.4 copy it twice, each with its terminating NUL,
//   into one 1024-byte buffer on the stack when the window is shown (the WM_CLASS pair "name", "Name"),
//   so 2 * length + 2 <= 1024: 511 bytes at most; a longer one overflows it. (On Windows the toolkit cuts
//   the class to 99 UTF-16 units; the same limit keeps the command line the same everywhere.)
// - -display: FLTK 1.3 puts "DISPLAY=" and the value into a static 1024-byte buffer for putenv, cut to
//   fit, and adds ":0.0" to a value without a colon: 1015 bytes at most, 1011 without a colon.
const size_t CLASS_MAX = (1024 - 2) / 2;
const size_t DISPLAY_BUFFER = 1024;

size_t display_max(const char *value) {
    return DISPLAY_BUFFER - 1 - std::strlen("DISPLAY=") - (std::strchr(value, ':') ? 0 : std::strlen(":0.0"));
}

// The toolkit hands every word it does not know to this first: the game's own options.
int own_option(int argc, char **argv, int &i) {
    const char *arg = argv[i];
    if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
        if (asked == SHOW_NOTHING) asked = SHOW_HELP;
    } else if (std::strcmp(arg, "--version") == 0) {
        if (asked == SHOW_NOTHING) asked = SHOW_VERSION;
    } else if (i + 1 >= argc) {
        return 0; // the toolkit's options that take a value say they need one
    } else if (toolkit_option_is(arg, "geometry", 1)) {
        return geometry_position(argv, i);
    } else if (toolkit_option_is(arg, "name", 2) && std::strlen(argv[i + 1]) > CLASS_MAX) {
        return refuse(i, worded(N_("option \"%s\" cannot take more than %s bytes"), arg, std::to_string(CLASS_MAX)));
    } else if (toolkit_option_is(arg, "display", 2) && std::strlen(argv[i + 1]) > display_max(argv[i + 1])) {
        return refuse(i, worded(N_("option \"%s\" cannot take more than %s bytes"), arg,
                                std::to_string(display_max(argv[i + 1]))));
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
            return i + 1 >= argc ? worded(N_("option \"%s\" needs a value"), word)
                                 : worded(N_("option \"%s\" cannot take \"%s\""), word, argv[i + 1]);
        }
    }
    if (word.empty() || word[0] != '-') return worded(N_("unexpected argument \"%s\""), word);
    return worded(N_("unknown option \"%s\""), word);
}

} // namespace

int options_read(int argc, char **argv, FILE *out, FILE *err) {
    asked = SHOW_NOTHING;
    refused_at = 0;
    int i = 1;
    // Fl::args stops with i at the first word that neither own_option nor the toolkit takes.
    if (argc > 1) Fl::args(argc, argv, i, own_option);
    if (refused_at != 0 || i < argc) {
        // A refusal of the game's own came at an earlier word than where the toolkit stopped.
        const std::string why = refused_at != 0 ? refused_why : refusal(argc, argv, i);
        std::fprintf(err, "korvani: %s\n%s\n", why.c_str(), _(USAGE));
        std::fflush(err);
        return 2;
    }
    if (asked == SHOW_HELP) {
        std::fprintf(out,
                     _("%s\n\n"
                     "КОРВАНИ: the first-capture variant of Go on a 5 x 5 board, Black against the computer.\n\n"
                     "  -h, --help     print this help and exit\n"
                     "      --version  print the version and exit\n\n"
                     "Toolkit (FLTK) options, each of which may be abbreviated as shown:\n%s\n\n"
                       "The rating is kept in korvani.ini in the current folder. See korvani(6).\n"),
                     _(USAGE), Fl::help);
    } else if (asked == SHOW_VERSION) {
        std::fprintf(out, "%s\n", VERSION_LINE);
    }
    if (asked == SHOW_NOTHING) return -1;
    // Output that cannot be written (a full disk, a closed stream) is said, as GNU's tools say it.
    const int written = std::fflush(out) == 0 && !std::ferror(out);
    if (written) return 0;
    const int why = errno;
    std::fprintf(err, asked == SHOW_HELP ? _("korvani: cannot write the help: %s\n")
                                         : _("korvani: cannot write the version: %s\n"),
                 std::strerror(why));
    std::fflush(err);
    return 1;
}
