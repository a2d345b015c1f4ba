#include "tools/process.h"

#include <csignal>
#include <initializer_list>

#include <sys/resource.h>
#include <sys/time.h>

namespace {

void (*limit_stop)() = nullptr;

void on_alarm(int) { limit_stop(); }

} // namespace

double process_peak_megabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

void process_time_limit(long seconds, void (*stop)()) {
    limit_stop = stop;
    std::signal(SIGALRM, on_alarm);
    itimerval timer{};
    timer.it_value.tv_sec = seconds;
    setitimer(ITIMER_REAL, &timer, nullptr);
}

namespace {
sigset_t cuts_before;
}

void process_cuts_hold() {
    sigset_t cuts;
    sigemptyset(&cuts);
    for (int signal_number : {SIGINT, SIGTERM, SIGALRM}) sigaddset(&cuts, signal_number);
    sigprocmask(SIG_BLOCK, &cuts, &cuts_before);
}

void process_cuts_release() { sigprocmask(SIG_SETMASK, &cuts_before, nullptr); }
