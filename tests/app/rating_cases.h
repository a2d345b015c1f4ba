// What the rating file's tests share on every platform: a working folder named in Cyrillic, the file's
// bytes, and one save of a table's case under the fault hook, checked for what it must leave.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "app/state.h"
#include "tests/test_files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace rating_cases {

// The hook's answers for the faults the shared cases meet, in the platform's own codes.
#ifdef _WIN32
const long DISK_FULL = ERROR_DISK_FULL;
const long NETWORK_LOST = ERROR_UNEXP_NET_ERR;
const long OTHER_DISK = ERROR_NOT_SAME_DEVICE;
#else
const long DISK_FULL = ENOSPC;
const long NETWORK_LOST = ESTALE;
const long OTHER_DISK = EXDEV;
#endif

// The shared helpers under the names these tests use.
using WORK_DIR = TEMP_DIR;
inline std::string bytes(const std::string &path) { return file_bytes(path); }
inline void put(const std::string &path, const std::string &content) { write_file(path, content); }
// The names in the working folder, sorted.
inline std::vector<std::string> entries() { return dir_entries("."); }

// A save's new file in the working folder, or "".
inline std::string temp_file() {
    for (const std::string &name : entries())
        if (name.find(RATING_TEMP_MARKER) != std::string::npos) return name;
    return "";
}

// Which file stands at the name.
inline unsigned long long identity(const char *path) {
#ifdef _WIN32
    const HANDLE file = CreateFileA(path, 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION about{};
    GetFileInformationByHandle(file, &about);
    CloseHandle(file);
    return (static_cast<unsigned long long>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
#else
    struct stat info {};
    stat(path, &info);
    return info.st_ino;
#endif
}

// The rating as the game writes it.
inline std::string fixed(double rating) {
    char text[400];
    std::snprintf(text, sizeof text, "%f", rating);
    return text;
}

// The fault hook's answers: each step's error (0 goes on), and what happens on the disk at one step
// before its answer is given (the step of a case's last fault), with the count of its calls.
inline long step_error[RATING_STEPS + 2];
inline int action_step = -1;
inline int action_calls;
inline void (*step_action)();
inline int answer_step(int step) {
    if (step == action_step && step_action) {
        ++action_calls;
        step_action();
    }
    return static_cast<int>(step_error[step]);
}

// A copy of the game adding half a point times times as fast as it can; one that finds the lock held is
// answered at once and tries again a millisecond later. The saves that failed all the same.
inline int add_half_points(int times) {
    app_state mine{};
    rating_read(&mine);
    for (int k = 0; k < times; ++k) {
        mine.rating += 0.5;
        for (int tries = 0; !rating_save(&mine); ++tries) {
            if (!mine.save_locked || tries > 10000) return times - k;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    return 0;
}

struct CASE {
    const char *what;
    const char *old; // the file before the save; nullptr: none
    std::vector<std::pair<int, long>> faults; // steps failing with an error, or going on with 0
    void (*action)();                         // done on the disk at the last fault's step
    int result;      // RATING_SAVED, RATING_SAVE_FAILED or RATING_LOCKED
    const char *after;
    bool same_file;  // the old file is still at the name: written in place or not at all
    const char *problem;
    void (*before)() = nullptr; // what the platform's own cases do to the file first
    void (*after_save)() = nullptr; // and check or undo once the save is done
};

// Saves a change to 9.5 over the case's file and checks what is left.
inline void run(const CASE &c) {
    SCOPED_TRACE(c.what);
    WORK_DIR dir;
    if (c.old) put("korvani.ini", c.old);
    if (c.before) c.before();
    const unsigned long long before = c.old ? identity("korvani.ini") : 0;
    std::fill(std::begin(step_error), std::end(step_error), 0);
    for (const auto &fault : c.faults) step_error[fault.first] = fault.second;
    action_step = c.faults.empty() ? -1 : c.faults.back().first;
    step_action = c.action;
    action_calls = 0;
    rating_write_fault = answer_step;
    app_state app{};
    app.saved = c.old ? std::strtod(c.old, nullptr) : 0.0;
    app.rating = 9.5;
    EXPECT_EQ(c.result == RATING_SAVED, rating_save(&app) == 1);
    rating_write_fault = nullptr;
    if (c.after_save) c.after_save();
    EXPECT_EQ(c.result == RATING_LOCKED, app.save_locked == 1) << "a held file is tried again soon";
    EXPECT_STREQ(c.problem, app.problem);
    EXPECT_EQ(c.after, bytes("korvani.ini"));
    EXPECT_EQ(c.result != RATING_SAVED, rating_pending(&app)) << "a saved change is not added again";
    EXPECT_EQ("", temp_file());
    if (c.old) {
        EXPECT_EQ(c.same_file, before == identity("korvani.ini"));
    }
}

} // namespace rating_cases
