#include "support/common.h"

#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace {

constexpr int INDENT_SIZE = 96;
constexpr int NAME_SLOTS = 80;
constexpr int NAME_SIZE = 80;

// The indentation is a run of spaces with a movable terminator: the empty text followed by 42 spaces.
// Growing writes a space over the terminator and moves it two places on, shrinking writes a space over
// it and moves it two places back. Only even places are ever written, and those below the terminator
// always hold spaces; the odd places keep their first value, a space up to place 41 and a terminator
// from 43 on. So with d blocks open the text is 2d spaces up to 21 blocks, and 43 from 22 on: the text
// follows from the depth alone, and the trace keeps the depth only.
constexpr int INDENT_MOST = 43;
// A 48th block would have moved the terminator past the buffer's end.
static_assert(ytrace_state::DEPTH_MOST == (INDENT_SIZE - 2) / 2, "the depth limit follows from the buffer");
struct Spaces {
    char text[INDENT_MOST + 1];
    constexpr Spaces() : text{} {
        for (int k = 0; k < INDENT_MOST; ++k) text[k] = ' ';
    }
};
constexpr Spaces indent_spaces;

// The indentation with d blocks open.
const char *indent_text(int d) {
    const int length = 2 * d < INDENT_MOST ? 2 * d : INDENT_MOST;
    return indent_spaces.text + (INDENT_MOST - length);
}

// The error stream gets a buffer of its own. Unbuffered, every search node cost two write calls for its
// two colour escapes, a quarter of the time of a computer move and far more on a terminal. The bytes
// and their order stay the same: the stream is flushed whenever the trace is back at depth 0 (so a
// finished search has written everything, the closing reset included), after every printed trace
// line, and by the standard library at exit, on a fatal exit and on a failed assertion. It is buffered
// by lines, not by blocks: the escapes hold no newline and still go out together, while every line
// that the libraries write to the stream (the toolkit's warnings, Xlib's errors, the Wayland client
// library's protocol log of WAYLAND_DEBUG) shows at once, as on an unbuffered stream, and is not held
// back until 16 KiB have gathered or the game ends, nor lost when it is killed.
char error_stream_buffer[1 << 14];

struct ErrorStreamBuffer {
    ErrorStreamBuffer() { std::setvbuf(stderr, error_stream_buffer, _IOLBF, sizeof error_stream_buffer); }
};
// Set up before main, before anything is written to the stream.
const ErrorStreamBuffer error_stream_buffered;

// The escapes of the codes 0 to 99, made at compile time: formatting them for every block was the
// other half of the trace's cost.
constexpr int ESCAPE_CACHE = 100;
using ytrace_state::ColourEscape;

constexpr ColourEscape make_escape(int code) {
    ColourEscape escape{{}, 0};
    const char head[] = "\033[ ";
    for (int k = 0; k < 3; ++k) escape.text[escape.length++] = head[k];
    if (code >= 10) escape.text[escape.length++] = static_cast<char>('0' + code / 10);
    escape.text[escape.length++] = static_cast<char>('0' + code % 10);
    escape.text[escape.length++] = ' ';
    escape.text[escape.length++] = 'm';
    return escape;
}

struct EscapeTable {
    ColourEscape of[ESCAPE_CACHE];
    constexpr EscapeTable() : of{} {
        for (int code = 0; code < ESCAPE_CACHE; ++code) of[code] = make_escape(code);
    }
};
constexpr EscapeTable escapes;

// 1 when the colour escapes are written (YTraceColors). The blocks need no test of it: with the colours
// off they write the empty escapes of no_escapes below.
int colours_on = 1;

void write_escape(const ColourEscape &escape) { ytrace_state::write_error_stream(escape.text, escape.length); }

// A block's name: its own copy in block_copies when its lines were printed at its opening, else the
// caller's text (see YBeg).
char block_copies[NAME_SLOTS][NAME_SIZE];

// SGR codes per depth: reset, cyan, white, green, cyan, white, then reset for every deeper block.
constexpr int colour_table[NAME_SLOTS] = {0, 36, 37, 32, 36, 37};

[[noreturn]] void fatal_line(const char *format, const char *text) {
    std::fprintf(stderr, format, text);
    // Out before the exit handlers run, so the line is there even if one of them never returns.
    std::fflush(stderr);
    std::exit(EXIT_FAILURE);
}

} // namespace

namespace ytrace_state {
int depth = 0;
int level = 0;
const char *block_names[NAME_SLOTS];

namespace {
constexpr DepthEscapes make_depth_escapes() {
    DepthEscapes table{};
    for (int d = 0; d <= DEPTH_MOST; ++d) table.of[d] = escapes.of[colour_table[d]];
    return table;
}

constexpr DepthEscapePairs make_depth_escape_pairs() {
    DepthEscapePairs table{};
    const DepthEscapes single = make_depth_escapes();
    for (int d = 0; d < DEPTH_MOST; ++d) {
        ColourEscapePair &pair = table.of[d];
        const ColourEscape *both[2] = {&single.of[d + 1], &single.of[d]};
        for (const ColourEscape *escape : both)
            for (int k = 0; k < escape->length; ++k) pair.text[pair.length++] = escape->text[k];
    }
    return table;
}

// The escape of each depth's colour, which YBeg and YEnd write, and the empty ones of the colours off.
constexpr DepthEscapes coloured_escapes = make_depth_escapes();
constexpr DepthEscapes no_escapes{};
constexpr DepthEscapePairs coloured_pairs = make_depth_escape_pairs();
constexpr DepthEscapePairs no_pairs{};
} // namespace

const DepthEscapes *depth_escapes = &coloured_escapes;
const DepthEscapePairs *depth_escape_pairs = &coloured_pairs;
} // namespace ytrace_state

int YColorWanted(int stream_is_terminal, const char *no_color, const char *clicolor_force) {
    if (no_color && no_color[0]) return 0;
    if (clicolor_force && clicolor_force[0] && std::strcmp(clicolor_force, "0") != 0) return 1;
    return stream_is_terminal ? 1 : 0;
}

void YTraceColors(int on) {
    colours_on = on ? 1 : 0;
    ytrace_state::depth_escapes = on ? &ytrace_state::coloured_escapes : &ytrace_state::no_escapes;
    ytrace_state::depth_escape_pairs = on ? &ytrace_state::coloured_pairs : &ytrace_state::no_pairs;
}

namespace {
// A game started from a desktop menu writes its error stream to the session's log: the escapes go
// there only when asked for. Decided before main, before anything is written to the stream.
struct ColoursFromEnvironment {
    ColoursFromEnvironment() {
        YTraceColors(YColorWanted(isatty(STDERR_FILENO), std::getenv("NO_COLOR"), std::getenv("CLICOLOR_FORCE")));
    }
};
const ColoursFromEnvironment colours_from_environment;
} // namespace

using ytrace_state::block_names;
using ytrace_state::DEPTH_MOST;

using ytrace_state::depth;

void YTraceLevel(int level) { ytrace_state::level = level; }

int YTraceDepth() { return depth; }

void YTraceColor(int code) {
    if (colours_on) {
        if (code >= 0 && code < ESCAPE_CACHE) write_escape(escapes.of[code]);
        else std::fprintf(stderr, "\033[ %d m", code);
    }
    if (depth == 0) std::fflush(stderr);
}

namespace {

// A printed trace line with the indentation of d open blocks.
void trace_line(int d, const char *format, va_list args) {
    std::fputs(indent_text(d), stderr);
    std::vfprintf(stderr, format, args);
    // A printed line shows at once, as on the unbuffered stream, even if the program dies right after.
    std::fflush(stderr);
}

// A block's "BEG" and "END" lines: filtered by the block's depth, indented as the enclosing level.
__attribute__((format(printf, 1, 2))) void block_line(const char *format, ...) {
    va_list args;
    va_start(args, format);
    trace_line(depth - 1, format, args);
    va_end(args);
}

} // namespace

void YTrace(const char *format, ...) {
    if (!YTraceActive()) return;
    va_list args;
    va_start(args, format);
    trace_line(depth, format, args);
    va_end(args);
}

void ytrace_state::block_open(const char *name, int condition) {
    // The assertion reads "expression", the name the condition has always had in its message.
    const int expression = condition;
    assert(expression);
    (void)expression;
    if (ytrace_state::depth >= DEPTH_MOST) YFatal("YBeg");
    ++depth;
    write_escape(ytrace_state::depth_escapes->of[depth]); // YTraceColor, knowing the code is in the table
    if (YTraceActive()) {
        // A block whose lines print gets a copy of its name, as a caller's text may go before the block
        // closes. A silent one, every block of the running program, only refers to it: the copy was a
        // third of YBeg's instructions, for an "END" line that is not printed.
        const size_t length = strnlen(name, NAME_SIZE - 1);
        std::memcpy(block_copies[depth], name, length);
        block_copies[depth][length] = '\0';
        block_names[depth] = block_copies[depth];
        block_line("BEG: %s \n", name);
    } else {
        block_names[depth] = name;
    }
}

void ytrace_state::block_close() {
    if (depth <= 0) YFatal("YEnd");
    if (YTraceActive()) block_line("END: %s \n", block_names[depth]);
    --depth;
    write_escape(ytrace_state::depth_escapes->of[depth]); // YTraceColor, knowing the code is in the table
    if (depth == 0) std::fflush(stderr);
}

void YFatal(const char *text) { fatal_line("ERROR: %s \n", text); }

void YError(const char *text) { fatal_line("Error: %s\n", text); }

void YMyError(const char *text) { fatal_line("MyError: %s\n", text); }
