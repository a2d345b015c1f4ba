#include "support/common.h"

#include <cassert>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int INDENT_SIZE = 96;
constexpr int INDENT_SPACES = 42;
constexpr int NAME_SLOTS = 80;
constexpr int NAME_SIZE = 80;

// The indentation is a run of spaces with a movable terminator: the empty text followed by 42 spaces.
// Growing writes a space over the terminator and moves it two places on, so up to 21 open blocks give
// exactly two spaces each; beyond that the initial run ends and the text stays at 43 spaces.
struct Indent {
    char text[INDENT_SIZE];
    int length;
};

Indent make_indent() {
    Indent indent{};
    for (int k = 1; k <= INDENT_SPACES; ++k) indent.text[k] = ' ';
    return indent;
}

// The error stream gets a buffer of its own. Unbuffered, every search node cost two write calls for its
// two colour escapes, a quarter of the time of a computer move and far more on a terminal. The bytes
// and their order stay the same: the stream is flushed whenever the trace is back at depth 0 (so a
// finished search has written everything, the closing reset included), after every printed trace
// line, and by the standard library at exit, on a fatal exit and on a failed assertion.
char error_stream_buffer[1 << 14];

struct ErrorStreamBuffer {
    ErrorStreamBuffer() { std::setvbuf(stderr, error_stream_buffer, _IOFBF, sizeof error_stream_buffer); }
};
// Set up before main, before anything is written to the stream.
const ErrorStreamBuffer error_stream_buffered;

// The escapes of the colour table's codes, made once: formatting them for every block was the other
// half of the trace's cost.
constexpr int ESCAPE_CACHE = 100;
constexpr int ESCAPE_SIZE = 16;
struct Escape {
    char text[ESCAPE_SIZE];
    int length; // 0 until made
};
Escape escapes[ESCAPE_CACHE];

const Escape *escape_of(int code) {
    if (code < 0 || code >= ESCAPE_CACHE) return nullptr;
    Escape &escape = escapes[code];
    if (escape.length == 0) escape.length = std::snprintf(escape.text, ESCAPE_SIZE, "\033[ %d m", code);
    return &escape;
}

int trace_level = 0;
int depth = 0;
Indent indent = make_indent();
char block_names[NAME_SLOTS][NAME_SIZE];

// SGR codes per depth: reset, cyan, white, green, cyan, white, then reset for every deeper block.
const int colour_table[NAME_SLOTS] = {0, 36, 37, 32, 36, 37};

void indent_grow() {
    indent.text[indent.length] = ' ';
    indent.length += 2;
    indent.text[indent.length] = '\0';
}

void indent_shrink() {
    indent.text[indent.length] = ' ';
    indent.length -= 2;
    indent.text[indent.length] = '\0';
}

[[noreturn]] void fatal_line(const char *format, const char *text) {
    std::fprintf(stderr, format, text);
    // Out before the exit handlers run, so the line is there even if one of them never returns.
    std::fflush(stderr);
    std::exit(EXIT_FAILURE);
}

} // namespace

void YTraceLevel(int level) { trace_level = level; }

int YTraceDepth() { return depth; }

int YTraceActive() { return depth <= trace_level ? 1 : 0; }

void YTraceColor(int code) {
    const Escape *escape = escape_of(code);
    if (escape) {
        // Straight into the stream's buffer, without its lock (the trace is single-threaded like the
        // rest): a few instructions a character, a tenth of what a formatted write cost.
        for (int k = 0; k < escape->length; ++k) putc_unlocked(escape->text[k], stderr);
    } else {
        std::fprintf(stderr, "\033[ %d m", code);
    }
    if (depth == 0) std::fflush(stderr);
}

void YTrace(const char *format, ...) {
    if (depth > trace_level) return;
    std::fputs(indent.text, stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    // A printed line shows at once, as on the unbuffered stream, even if the program dies right after.
    std::fflush(stderr);
}

void YBeg(const char *name, int condition) {
    // The assertion reads "expression", the name the condition has always had in its message.
    const int expression = condition;
    assert(expression);
    (void)expression;
    // Growing the indentation of a 48th block would move its terminator past the buffer.
    if (indent.length + 2 >= INDENT_SIZE) YFatal("YBeg");
    ++depth;
    // Only the name itself is copied: padding the slot with zeros, as a plain strncpy does, costs more
    // than the rest of the block.
    const size_t length = strnlen(name, NAME_SIZE - 1);
    std::memcpy(block_names[depth], name, length);
    block_names[depth][length] = '\0';
    YTraceColor(colour_table[depth]);
    YTrace("BEG: %s \n", name);
    indent_grow();
}

void YEnd() {
    if (depth <= 0) YFatal("YEnd");
    indent_shrink();
    YTrace("END: %s \n", block_names[depth]);
    --depth;
    YTraceColor(colour_table[depth]);
}

void YFatal(const char *text) { fatal_line("ERROR: %s \n", text); }

void YError(const char *text) { fatal_line("Error: %s\n", text); }

void YMyError(const char *text) { fatal_line("MyError: %s\n", text); }
