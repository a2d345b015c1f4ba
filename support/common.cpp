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
    std::exit(EXIT_FAILURE);
}

} // namespace

void YTraceLevel(int level) { trace_level = level; }

int YTraceDepth() { return depth; }

void YTraceColor(int code) { std::fprintf(stderr, "\033[ %d m", code); }

void YTrace(const char *format, ...) {
    if (depth > trace_level) return;
    std::fputs(indent.text, stderr);
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

void YBeg(const char *name, int condition) {
    // The assertion reads "expression", the name the condition has always had in its message.
    const int expression = condition;
    assert(expression);
    (void)expression;
    // Growing the indentation of a 48th block would move its terminator past the buffer.
    if (indent.length + 2 >= INDENT_SIZE) YFatal("YBeg");
    ++depth;
    std::strncpy(block_names[depth], name, NAME_SIZE - 1);
    block_names[depth][NAME_SIZE - 1] = '\0';
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
