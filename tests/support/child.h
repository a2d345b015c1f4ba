// Waiting for a test's forked child without waiting forever.
#pragma once

#include <chrono>
#include <csignal>
#include <thread>

#include <gtest/gtest.h>

#include <sys/wait.h>

// Waits up to the seconds for the child to end and returns its wait status. A child still running then
// is killed and reaped, and the test fails saying that what the child did (what) did not end.
inline int wait_child(pid_t child, const char *what, int seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return status;
        if (done < 0) {
            ADD_FAILURE() << what << ": no child " << child << " to wait for";
            return -1;
        }
        if (std::chrono::steady_clock::now() >= end) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    ADD_FAILURE() << what << " did not end within " << seconds << " s";
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    return status;
}
