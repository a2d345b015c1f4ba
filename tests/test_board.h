// Helpers of the core tests: boards written as pictures, owned records, captured output streams and the
// trace level put back after a test.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "model/board.h"

// A unique_ptr that releases a record with the module's own release function.
template <typename T, void (*Release)(T *)>
struct Releaser {
    void operator()(T *p) const { Release(p); }
};
template <typename T, void (*Release)(T *)>
using Owned = std::unique_ptr<T, Releaser<T, Release>>;

using BoardPtr = Owned<BOARD, board_free>;

// A board from a picture: rows from the top, separated by newlines or "/", blanks between points ignored.
// "." empty, "O" White, "X" Black, "@" dead White (111), "#" dead Black (221), "o" 11, "x" 22.
// Rows of unequal length or an unknown character fail the current test.
BoardPtr board_from_picture(const std::string &picture);
// The reverse, "X O . / . . O": a code without a character shows as "?".
std::string board_picture(const BOARD *board);

// Everything the call writes to the error stream, or to the standard output.
std::string capture_stderr(const std::function<void()> &call);
std::string capture_stdout(const std::function<void()> &call);

// A regular expression that matches exactly the given text and nothing around it, for death tests.
std::string exact_text(const std::string &text);

// The escape that the trace writes for a colour code, ESC "[ %d m", and a text without any of them.
std::string colour_escape(int code);
std::string without_escapes(const std::string &text);

// Sets the trace level for one test and puts back the program's level 0 when the test ends, so that later
// tests see the trace as the program does.
struct TraceLevelScope {
    explicit TraceLevelScope(int level);
    ~TraceLevelScope();
    TraceLevelScope(const TraceLevelScope &) = delete;
    TraceLevelScope &operator=(const TraceLevelScope &) = delete;
};

// Ends the test program with a message naming what did not end, when the scope is not left within the
// given seconds: the guard of a test whose fault would be a loop that never ends. A thread of its own,
// so that it works wherever the tests run (alarm() is POSIX's alone).
class Deadline {
public:
    Deadline(int seconds, std::string what);
    ~Deadline();
    Deadline(const Deadline &) = delete;
    Deadline &operator=(const Deadline &) = delete;

private:
    struct Watch;
    std::unique_ptr<Watch> watch;
};

// Expected values computed with glibc's rand() hold only where rand() is glibc's: the Windows C library
// draws another sequence from the same seed. Such a test skips itself, saying so, elsewhere.
bool rand_is_glibcs();
#define SKIP_UNLESS_GLIBC_RAND()                                                                               \
    if (!rand_is_glibcs()) GTEST_SKIP() << "the expected values rest on glibc's rand(), which this C library does not have"
