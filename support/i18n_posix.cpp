// The player's language on Linux and other POSIX systems: gettext of the C library.
#include "support/i18n.h"

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <climits>
#include <string>

#include <sys/stat.h>

namespace {

const char DOMAIN[] = "korvani";

bool is_folder(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The catalogs lie where the installed game has them, share/locale beside the folder of the executable
// (/usr/games/korvani and /usr/share/locale, /usr/local/bin and /usr/local/share/locale), and the build
// tree lays them out the same way, so that a game run from its build or moved with its prefix finds its
// own. When the executable cannot be found, the prefix it was built for.
std::string catalog_folder() {
    char exe[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (length > 0) {
        const std::string path(exe, static_cast<size_t>(length));
        const std::string folder = path.substr(0, path.rfind('/') + 1) + "../share/locale";
        if (is_folder(folder)) return folder;
    }
    return KORVANI_LOCALEDIR;
}

} // namespace

void i18n_setup() {
    // Not LC_ALL: LC_NUMERIC stays "C", so that the rating is written "0.500000" and read with a point in
    // every locale, as before. The toolkit takes LC_CTYPE from the environment too, when it opens the
    // display.
    std::setlocale(LC_CTYPE, "");
    std::setlocale(LC_MESSAGES, "");
    bindtextdomain(DOMAIN, catalog_folder().c_str());
    // The toolkit draws UTF-8 whatever the locale's encoding, and in the C locale too.
    bind_textdomain_codeset(DOMAIN, "UTF-8");
    textdomain(DOMAIN);
}

const char *i18n_text(const char *text) {
    // gettext answers the empty text with the catalog's header.
    if (!text || !text[0]) return text;
    return dgettext(DOMAIN, text);
}
