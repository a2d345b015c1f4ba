// What korvani-solve asks of its operating system beside the standard library: its peak memory and a
// time limit. One source file per platform, chosen by the build: tools/process_posix.cpp and
// tools/process_win.cpp.
#pragma once

// The most memory the process has held so far, in MB (Linux: the peak resident set; Windows: the peak
// working set).
double process_peak_megabytes();

// After the given seconds, calls stop once, at any point of the run, as a signal handler is called: stop
// does only what a handler may (write, _exit). POSIX: SIGALRM from an interval timer; Windows: a
// thread of its own.
void process_time_limit(long seconds, void (*stop)());

// Holds the cuts back (POSIX: SIGINT, SIGTERM and SIGALRM blocked) from hold until release, so that a
// file the run makes and the flag that tells the cut to remove it are set as one step. On Windows a cut
// comes from another thread and is not held: a cut there may leave the file behind.
void process_cuts_hold();
void process_cuts_release();
