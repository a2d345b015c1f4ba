// The rating file from arbitrary bytes: the rating read is always finite, 0.0 when the file does not
// start with a number (after a byte order mark, UTF-8's or UTF-16's), the number itself when it plainly is one (with a point
// or a comma), the file counted purely a rating exactly when it is one number as people write it
// between blanks, and the game started from it puts a bounded number of handicap stones.
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <regex>
#include <string>

#include <unistd.h>

#include "app/flow.h"
#include "app/rating_file.h"
#include "app/state.h"
#include "model/game.h"

namespace {

void check(bool ok, const char *what) {
    if (ok) return;
    std::fprintf(stderr, "rating_read: %s\n", what);
    std::abort();
}

// Where the text begins after the byte order mark an editor may put before it.
size_t after_mark(const std::string &text) { return text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0; }

// The number at the start when the text is a plain decimal ("-12.5", "3.", "007", "3,5" with a decimal
// comma) followed by something that cannot continue a number; NAN when that cannot be said without the
// full grammar of "%lf".
double plain_number(const std::string &text) {
    size_t k = after_mark(text);
    while (k < text.size() && std::strchr(" \t\n\v\f\r", text[k])) ++k;
    const size_t start = k;
    if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
    const size_t digits = k;
    while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) ++k;
    if (k == digits) return NAN;
    if (k < text.size() && (text[k] == '.' || text[k] == ',')) {
        ++k;
        while (k < text.size() && std::isdigit(static_cast<unsigned char>(text[k]))) ++k;
    }
    if (k < text.size() && (std::isalnum(static_cast<unsigned char>(text[k])) || text[k] == '.')) return NAN;
    std::string number = text.substr(start, k - start);
    const size_t comma = number.find(',');
    if (comma != std::string::npos) number[comma] = '.';
    return std::strtod(number.c_str(), nullptr);
}

// Whether nothing at the start of the text, after white space, could begin a number for "%lf".
bool cannot_begin_number(const std::string &text) {
    size_t k = after_mark(text);
    while (k < text.size() && std::strchr(" \t\n\v\f\r", text[k])) ++k;
    return k == text.size() || !std::strchr("+-.,0123456789iInN", text[k]);
}

// Whether the text is purely a rating, which a save may replace: within RATING_READ_MAX bytes, after a
// byte order mark, nothing but blanks, or one finite number as people write it (a sign, digits with a
// point or a comma, an exponent only with its digits) between blanks.
bool pure_rating(const std::string &text, bool whole) {
    static const std::regex PURE("(\xEF\xBB\xBF)?[ \t\n\v\f\r]*"
                                 "([+-]?([0-9]+([.,][0-9]*)?|[.,][0-9]+)([eE][+-]?[0-9]+)?)?[ \t\n\v\f\r]*");
    std::smatch parts;
    if (!whole || !std::regex_match(text, parts, PURE)) return false;
    std::string number = parts[2].str();
    const size_t comma = number.find(',');
    if (comma != std::string::npos) number[comma] = '.';
    return std::isfinite(std::strtod(number.c_str(), nullptr));
}

// What the game reads of a file that begins with UTF-16's byte order mark (Notepad's "Unicode", either
// order): its characters as the text, one byte each; a character beyond ASCII, a zero one or a byte left
// over stands as a byte that no number holds.
std::string from_utf16(const std::string &bytes) {
    const bool little = bytes.compare(0, 2, "\xFF\xFE") == 0;
    if (!little && bytes.compare(0, 2, "\xFE\xFF") != 0) return bytes;
    std::u16string units;
    for (size_t k = 2; k + 1 < bytes.size(); k += 2) {
        const auto first = static_cast<unsigned char>(bytes[k]);
        const auto second = static_cast<unsigned char>(bytes[k + 1]);
        units += static_cast<char16_t>(little ? second << 8 | first : first << 8 | second);
    }
    std::string text;
    for (const char16_t unit : units) text += unit > 0 && unit < 0x80 ? static_cast<char>(unit) : '\x80';
    if (bytes.size() % 2) text += '\x80';
    return text;
}

int stones_on_board() {
    int stones = 0;
    for (int k = 0; k < app->size * app->size; ++k) stones += board_view[k] != STONE_NONE;
    return stones;
}

} // namespace

namespace {

char folder[] = "/tmp/korvani-fuzz-XXXXXX";

void remove_folder() {
    unlink(RATING_FILE);
    if (chdir("/") == 0) rmdir(folder);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    // The rating file is read from the working directory: give the run a folder of its own. (Paths given
    // to the fuzzer must therefore be absolute.)
    if (!mkdtemp(folder) || chdir(folder) != 0) std::abort();
    std::atexit(remove_folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *file = std::fopen(RATING_FILE, "wb");
    if (!file) std::abort();
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    session_open(nullptr, 0, nullptr);
    const double rating = app->rating;
    check(std::isfinite(rating), "the rating is not finite");
    // Only the file's first RATING_READ_MAX bytes are read; "%lf" stops at a zero byte as at any other
    // character that does not continue the number.
    const size_t seen = size < RATING_READ_MAX ? size : RATING_READ_MAX;
    std::string text = from_utf16(std::string(reinterpret_cast<const char *>(data), seen));
    double again = 0.0;
    char problem[RATING_PROBLEM_MAX] = "";
    const bool pure = rating_file_read(&again, problem) == RATING_FOUND;
    check(pure == pure_rating(text, size <= RATING_READ_MAX), "purely a rating or not, told wrong");
    text.resize(strnlen(text.c_str(), text.size()));
    if (cannot_begin_number(text)) check(rating == 0.0, "no number, but the rating is not 0.0");
    const double plain = plain_number(text);
    if (!std::isnan(plain)) check(rating == (std::isfinite(plain) ? plain : 0.0), "a plain number read wrong");

    // The first game from this rating: the handicap is the integer part of |rating|, but never more
    // stones than the board has points; with a negative rating the computer adds its opening move.
    new_game();
    const int points = app->size * app->size;
    const double magnitude = std::fabs(rating);
    const int handicap = magnitude >= points ? points : static_cast<int>(magnitude);
    const int expected = rating >= 0 ? handicap : (handicap < points ? handicap + 1 : points);
    check(stones_on_board() == expected, "the handicap stones are not bounded by the rating and the board");
    session_close();
    return 0;
}
