// Point notation from arbitrary text on boards of 1 x 1 to 7 x 7 and on boards 19 columns wide: the
// parser reads only its text, the column is a letter of the board or the one past the last, the row
// follows the number, and every point it gives is named so that the name reads back as the same point.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "model/board.h"

namespace {

void check(bool ok, const char *what, const std::string &text) {
    if (ok) return;
    std::fprintf(stderr, "board_parse_point: %s, text \"%s\"\n", what, text.c_str());
    std::abort();
}

const char LETTERS[] = "abcdefghjklmnopqrst"; // no i, as on a Go board

// The column the first character names on a board this wide, or cols when it names none.
int column_of(char c, int cols) {
    const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (int k = 0; k < cols && k < 19; ++k)
        if (lower != '\0' && LETTERS[k] == lower) return k;
    return cols;
}

// The row number of a plain "<digits>" text of at most six digits; -1 when it is anything else.
long plain_row(const char *text) {
    long row = 0;
    int digits = 0;
    for (; std::isdigit(static_cast<unsigned char>(*text)); ++text, ++digits) {
        if (digits == 6) return -1;
        row = row * 10 + (*text - '0');
    }
    return digits > 0 && *text == '\0' ? row : -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 2) return 0;
    // The first byte picks the board: rows and columns 1 to 7, or 19 columns and 1 to 19 rows.
    const bool wide = data[0] & 0x80;
    const int rows = wide ? data[1] % 19 + 1 : (data[0] & 0x7f) % 7 + 1;
    const int cols = wide ? 19 : data[1] % 7 + 1;
    // The text is a string of its own on the heap, so that reading past its end is caught.
    const std::string text(reinterpret_cast<const char *>(data + 2), size - 2);
    char *const copy = new char[text.size() + 1];
    std::memcpy(copy, text.c_str(), text.size() + 1);

    BOARD *board = board_new(rows, cols);
    int i = -7;
    int j = -7;
    board_parse_point(board, copy, &i, &j);
    check(j == column_of(copy[0], cols), "wrong column", text);
    // Whatever number follows, the row stays within a million of the board.
    check(i >= rows - 1000000 && i <= rows + 1000000, "row beyond the clamp", text);
    if (copy[0] != '\0') {
        const long row = plain_row(copy + 1);
        if (row >= 0) check(i == rows - row, "wrong row", text);
    }

    // The point's name reads back as the same point, on the board or off it.
    if (j < cols) {
        const std::string name = board_point_name(board, i, j);
        check(name.size() < 16 && name[0] == LETTERS[j], "bad name", name);
        int i2 = -7;
        int j2 = -7;
        board_parse_point(board, name.c_str(), &i2, &j2);
        check(i2 == i && j2 == j, "name does not read back", name);
    }
    board_free(board);
    delete[] copy;
    return 0;
}
