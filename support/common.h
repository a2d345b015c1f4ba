// The nested trace on the error stream and the three fatal exits.
// No toolkit, no allocation: all state is process-wide and lives for the whole run.
#pragma once

// Sets the trace level: a trace line is printed only while the depth of open blocks is at most this value.
// The running program leaves it at 0, so only the colour escapes of the blocks reach the error stream.
void YTraceLevel(int level);

// Writes ESC "[ %d m" (with its spaces) to the error stream, whatever the trace level.
void YTraceColor(int code);

// Writes the indentation and the formatted text when the depth is at most the trace level.
// Adds no newline: the formats carry it.
void YTrace(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The trace's depth and level, for YTraceActive alone; everything else goes through the functions here.
namespace ytrace_state {
extern int depth;
extern int level;
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
void YBeg(const char *name, int condition);

// Closes the innermost block: "END: %s \n", depth - 1, the colour escape of the new depth.
// Stops through YFatal("YEnd") when no block is open.
void YEnd();

// The number of blocks open now.
int YTraceDepth();

// Fatal exits. Each writes its one line to the error stream and ends the process with status 1:
// a fatal exit is a failure, so the status says so.
[[noreturn]] void YFatal(const char *text);   // "ERROR: %s \n"
[[noreturn]] void YError(const char *text);   // "Error: %s\n"
[[noreturn]] void YMyError(const char *text); // "MyError: %s\n"
