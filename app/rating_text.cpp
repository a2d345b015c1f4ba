#include "app/rating_text.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/rating_file.h"
#include "support/i18n.h"

void rating_problem(char *problem, const char *text) { std::snprintf(problem, RATING_PROBLEM_MAX, "%s", text); }

namespace {

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Where a number as the game writes it, or as a person would, ends: a sign, digits with a point or a
// comma (digits on one side of it at least), then an exponent only with its digits.
size_t number_end(const char *text, size_t from, size_t length) {
    size_t at = from;
    if (at < length && (text[at] == '+' || text[at] == '-')) ++at;
    size_t digits = 0;
    for (; at < length && is_digit(text[at]); ++at) ++digits;
    if (at < length && (text[at] == '.' || text[at] == ','))
        for (++at; at < length && is_digit(text[at]); ++at) ++digits;
    if (digits == 0) return from;
    size_t exponent = at;
    if (exponent < length && (text[exponent] == 'e' || text[exponent] == 'E')) {
        ++exponent;
        if (exponent < length && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        const size_t first = exponent;
        while (exponent < length && is_digit(text[exponent])) ++exponent;
        if (exponent > first) at = exponent;
    }
    return at;
}

// The rating in the text. People edit the file by hand: Notepad puts a byte order mark before it, other
// editors a line end after it, and a Russian keyboard gives a decimal comma. Such a file still holds
// purely a rating and may be replaced; anything more is the user's, and is read for display only.
int parse_rating(const char *text, size_t length, bool whole, double *value) {
    *value = 0.0;
    size_t k = 0;
    if (length >= 3 && std::memcmp(text, "\xEF\xBB\xBF", 3) == 0) k = 3;
    while (k < length && is_blank(text[k])) ++k;
    if (k == length) return whole ? RATING_FOUND : RATING_MIXED;
    // The number as "%lf" reads it, with the first comma after its digits taken as the point.
    // No bound on the digits: "%f" writes a huge rating with hundreds of them.
    std::string rest;
    bool digits = false;
    bool point = false;
    size_t at = k;
    if (at < length && (text[at] == '+' || text[at] == '-')) rest += text[at++];
    for (; at < length; ++at) {
        const char c = text[at];
        if (std::isdigit(static_cast<unsigned char>(c))) {
            digits = true;
            rest += c;
        } else if ((c == '.' || c == ',') && !point) {
            point = true;
            rest += '.';
        } else {
            break;
        }
    }
    const size_t n = rest.size();
    // What follows goes to "%lf" too: an exponent, or what it reads beyond a decimal ("nan", "0x1p3").
    rest.append(text + at, length - at);
    double read = 0.0;
    int used = 0;
    if (std::sscanf(rest.c_str(), "%lf%n", &read, &used) != 1 || !std::isfinite(read)) return RATING_MIXED;
    *value = read;
    if (!digits || used < static_cast<int>(n)) return RATING_MIXED;
    // What "%lf" took must be all of a number as people write it: it takes "5e" and "5e+" for 5 too.
    const size_t end = number_end(text, k, length);
    k = at + (used - n);
    if (k != end) return RATING_MIXED;
    while (k < length && is_blank(text[k])) ++k;
    return whole && k == length ? RATING_FOUND : RATING_MIXED;
}

// Notepad saves "Unicode" as UTF-16 with a byte order mark, little- or big-endian. A rating is plain ASCII:
// the text narrowed to one byte a character reads as any other; every character beyond ASCII, a NUL
// among them, becomes a byte that no rating holds, so that such a text stays more than a rating, as a
// UTF-16 text without the mark does.
std::string narrowed_utf16(const char *text, size_t length) {
    const bool little = static_cast<unsigned char>(text[0]) == 0xFF;
    std::string narrow;
    for (size_t k = 2; k < length; k += 2) {
        if (k + 1 == length) { // half a character
            narrow += '\x80';
            break;
        }
        const unsigned low = static_cast<unsigned char>(text[little ? k : k + 1]);
        const unsigned high = static_cast<unsigned char>(text[little ? k + 1 : k]);
        const unsigned unit = high << 8 | low;
        narrow += unit != 0 && unit < 0x80 ? static_cast<char>(unit) : '\x80';
    }
    return narrow;
}

bool has_utf16_mark(const char *text, size_t length) {
    return length >= 2 && (std::memcmp(text, "\xFF\xFE", 2) == 0 || std::memcmp(text, "\xFE\xFF", 2) == 0);
}

} // namespace

int rating_text_parse(const char *text, size_t length, double *value, char *problem) {
    const bool whole = length <= RATING_READ_MAX;
    if (!whole) length = RATING_READ_MAX;
    std::string narrow;
    if (has_utf16_mark(text, length)) {
        narrow = narrowed_utf16(text, length);
        text = narrow.data();
        length = narrow.size();
    }
    const int found = parse_rating(text, length, whole, value);
    if (found == RATING_MIXED) rating_problem(problem, _("в нём не только рейтинг"));
    return found;
}

int rating_text_format(double value, std::string *text) {
    char number[400];
    const int length = std::snprintf(number, sizeof number, "%f", value);
    if (length <= 0 || length >= static_cast<int>(sizeof number)) return 0;
    text->assign(number, length);
    return 1;
}

int rating_is_temp_name(const char *entry, const std::string &name) {
    const size_t marker = std::strlen(RATING_TEMP_MARKER);
    if (std::strlen(entry) != name.size() + marker + 6) return 0;
    if (name.compare(0, name.size(), entry, name.size()) != 0) return 0;
    if (std::strncmp(entry + name.size(), RATING_TEMP_MARKER, marker) != 0) return 0;
    for (const char *c = entry + name.size() + marker; *c; ++c)
        if (!std::isalnum(static_cast<unsigned char>(*c))) return 0;
    return 1;
}
