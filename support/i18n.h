// The player's language. The game's texts stand in the sources in Russian, as the game was made, marked
// with _() where they are used and N_() where a table holds them; a catalog of the player's language
// (po/LANG.po, compiled to LANG/LC_MESSAGES/korvani.mo) gives them in that language. With no catalog for
// it, every text is the Russian one, byte for byte. One source file per platform: i18n_posix.cpp (gettext
// in the C library), i18n_win.cpp.
#pragma once

// Chooses the language as the platform states the player's: on Linux LANGUAGE, LC_ALL, LC_MESSAGES and
// LANG; on Windows the user's language of the interface. Only the language of messages and the
// characters' encoding follow the desktop: numbers are still written and read with a point, as the rating
// file holds them. Call once, before any text is shown or printed.
void i18n_setup();

// The text in the player's language, in UTF-8; the text itself when the catalog has no entry for it, when
// no catalog was found, or before i18n_setup. An empty text stays empty. The result lives as long as the
// program.
// format_arg: the compiler checks a translated format against its arguments as it checks the text.
const char *i18n_text(const char *text) __attribute__((format_arg(1)));

#define _(text) i18n_text(text)
// Marks a text that a table holds, for the extraction; it is translated where it is used, with _().
#define N_(text) text
