// The nested trace on the error stream and the three fatal exits.
// No toolkit, no allocation: all state is process-wide and lives for the whole run.
#pragma once

#include <cstdio>
#include <cstring>

// Sets the trace level: a trace line is printed only while the depth of open blocks is at most this value.
// The running program leaves it at 0, so only the colour escapes of the blocks reach the error stream.
void YTraceLevel(int level);

// Writes ESC "[ %d m" (with its spaces) to the error stream, whatever the trace level, when the colour
// escapes are on (YTraceColors); nothing when they are off.
void YTraceColor(int code);

// Writes the indentation and the formatted text when the depth is at most the trace level.
// Adds no newline: the formats carry it.
void YTrace(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Whether the trace's colour escapes are wanted, by the convention of terminal programs: never when
// no_color (the NO_COLOR variable, or null when unset) is set and not empty, as a user who asked for no
// colour anywhere gets none; otherwise always when clicolor_force (CLICOLOR_FORCE) is set and not "0";
// otherwise when the stream is a terminal. Returns 1 or 0.
int YColorWanted(int stream_is_terminal, const char *no_color, const char *clicolor_force);

// Turns the colour escapes of YTraceColor, YBeg and YEnd on (non-zero) or off (0). Off, they write
// nothing at all; the trace lines are the same either way. At start-up the trace sets them from
// YColorWanted with the error stream and the environment, so a program need not call this.
void YTraceColors(int on);

// The trace's state, for the inline parts below alone; everything else goes through the functions here.
namespace ytrace_state {
extern int depth;
extern int level;
// A 48th open block stops the program (YBeg).
enum { DEPTH_MOST = 47 };
// The colour escape written when the depth becomes d ("ESC[ 99 m", the longest, has 7 bytes).
struct ColourEscape {
    char text[8];
    int length;
};
struct DepthEscapes {
    ColourEscape of[DEPTH_MOST + 1];
};
// The escapes YBeg and YEnd write: the colours of each depth, or, with the colours off, a table of
// empty escapes, so that the inline steps below need no test of their own for it.
extern const DepthEscapes *depth_escapes;
// What a block opened and closed at once writes when the depth is d: the escape of d + 1, then that of
// d (two escapes of at most 7 bytes).
struct ColourEscapePair {
    char text[16];
    int length;
};
struct DepthEscapePairs {
    ColourEscapePair of[DEPTH_MOST];
};
extern const DepthEscapePairs *depth_escape_pairs;
// The name of each open block (see YBeg).
extern const char *block_names[];
// YBeg and YEnd, every step.
void block_open(const char *name, int condition);
void block_close();

// Writes bytes to the error stream through the stream itself, so they keep their place among every
// other write to it. fwrite_unlocked where the library has it: the program writes from one thread, and
// the lock was most of the cost of a short write. An empty text costs nothing.
inline void write_error_stream(const char *text, int length) {
    if (length == 0) return;
#if defined(__GLIBC__)
    fwrite_unlocked(text, 1, static_cast<size_t>(length), stderr);
#else
    std::fwrite(text, 1, static_cast<size_t>(length), stderr);
#endif
}
} // namespace ytrace_state

// 1 when a YTrace line written now would be printed (the depth is at most the trace level), else 0.
// Lets a caller skip building a text that the trace would not print. Inline: the search asks at every
// node, and a call cost more than the test.
inline int YTraceActive() { return ytrace_state::depth <= ytrace_state::level ? 1 : 0; }

// Opens a named block: depth + 1, its colour escape, "BEG: %s \n", two more spaces of indentation.
// The name is copied when the block's own lines are printed at its opening; otherwise only referenced,
// so it must stay valid until the block closes (the search passes a literal). The condition must be
// non-zero (assertion). Nesting past the indentation buffer (a 48th open block)
// stops through YFatal("YBeg") instead of writing past it.
//
// Inline for the case of every block of the running program, which the search opens at every node: a
// true condition, room for another block and a "BEG" line that is not printed. Then the steps that
// apply are the raise of the depth, the escape and the name referenced. Any other case takes every step
// in block_open.
inline void YBeg(const char *name, int condition) {
    using namespace ytrace_state;
    if (condition && depth < DEPTH_MOST && depth + 1 > level) {
        ++depth;
        const ColourEscape &escape = depth_escapes->of[depth];
        write_error_stream(escape.text, escape.length);
        block_names[depth] = name;
        return;
    }
    ytrace_state::block_open(name, condition);
}

// Closes the innermost block: "END: %s \n", depth - 1, the colour escape of the new depth.
// Stops through YFatal("YEnd") when no block is open.
//
// Inline for a block that is not the outermost (no flush follows) and whose "END" line is not printed,
// as YBeg; every other case in block_close.
inline void YEnd() {
    using namespace ytrace_state;
    if (depth > 1 && depth > level) {
        --depth;
        const ColourEscape &escape = depth_escapes->of[depth];
        write_error_stream(escape.text, escape.length);
        return;
    }
    ytrace_state::block_close();
}

// YBeg(name, 1) and at once YEnd(), with nothing written between: the same bytes and the same state
// after. Inline, for a block inside another one (depth at least 1, so YEnd does not flush) whose lines
// do not print: the conditions of the inline YBeg and of the inline YEnd that follows it, so that their
// two escapes go out in one write. The depth ends where it began, and the name is referenced as YBeg
// does. Any other case takes both calls.
inline void YBegEnd(const char *name) {
    using namespace ytrace_state;
    if (depth >= 1 && depth < DEPTH_MOST && depth + 1 > level) {
        const ColourEscapePair &pair = depth_escape_pairs->of[depth];
        write_error_stream(pair.text, pair.length);
        block_names[depth + 1] = name;
        return;
    }
    YBeg(name, 1);
    YEnd();
}

// The number of blocks open now.
int YTraceDepth();

// Fatal exits. Each writes its one line to the error stream and ends the process with status 1:
// a fatal exit is a failure, so the status says so.
[[noreturn]] void YFatal(const char *text);   // "ERROR: %s \n"
[[noreturn]] void YError(const char *text);   // "Error: %s\n"
[[noreturn]] void YMyError(const char *text); // "MyError: %s\n"
