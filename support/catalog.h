// A compiled message catalog, a .mo file as msgfmt writes it, read into memory: where the C library has
// no gettext (Windows; Debian has no MinGW-w64 build of gettext's libintl and serves no source to build
// one from), the game looks its texts up here. On Linux the C library's gettext reads the same files.
#pragma once

#include <string>
#include <unordered_map>

struct CATALOG {
    std::string bytes;                                   // the file's content, which texts points into
    std::unordered_map<std::string, const char *> texts; // each source text's translation
};

// Takes the file's bytes into catalog, replacing what it held. Returns false, leaving the catalog empty,
// when they are not a catalog (another magic number, a table or a text beyond the end, a text without
// its terminating zero). Entries with an empty translation and the header are left out; of a text with
// plural forms only the first form is kept. Texts are taken in the catalog's own encoding (UTF-8 for
// the game's catalogs).
bool catalog_load(CATALOG *catalog, std::string bytes);

// The translation of text, or text itself when the catalog has none. The result lives as long as the
// catalog.
const char *catalog_text(const CATALOG &catalog, const char *text);
