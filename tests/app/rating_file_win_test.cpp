// The rating file's storage on Windows, where it meets what the Linux tests cannot show: a folder named in
// Cyrillic, attributes, other programs holding the file open, two copies of the game sharing its lock,
// and the faults of a save's replace and of its write in place. What the text may hold is the same on
// every platform and proved by the Linux tests. Every case runs in a folder named in Cyrillic.
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "app/state.h"

namespace {

// A fresh working folder named in Cyrillic for one case, removed with its content afterwards.
struct WORK_DIR {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 (L"Корвани рейтинг " + std::to_wstring(GetCurrentProcessId()));
    WORK_DIR() {
        std::filesystem::create_directory(path);
        std::filesystem::current_path(path);
    }
    ~WORK_DIR() {
        std::error_code ignored;
        std::filesystem::current_path(path.parent_path());
        std::filesystem::remove_all(path, ignored);
    }
};

std::string bytes(const char *path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

// Whether a save left a temporary file behind.
bool temp_left() {
    WIN32_FIND_DATAA temp{};
    const HANDLE found = FindFirstFileA("korvani.ini.korvani-save-*", &temp);
    return found != INVALID_HANDLE_VALUE && FindClose(found);
}

// Which file is at the name: its index on its volume.
ULONGLONG identity(const char *path) {
    const HANDLE file = CreateFileA(path, 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION about{};
    GetFileInformationByHandle(file, &about);
    CloseHandle(file);
    return (static_cast<ULONGLONG>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
}

// The fault hook's answers: each step's error (0 goes on), and what happens on the disk at one step
// before its answer is given (the step of a case's last fault).
DWORD step_error[RATING_STEPS + 2];
int action_step = -1;
int action_calls;
void (*step_action)();
int answer_step(int step) {
    if (step == action_step && step_action) {
        ++action_calls;
        step_action();
    }
    return static_cast<int>(step_error[step]);
}

// Another program's handle on the rating file.
HANDLE holder = INVALID_HANDLE_VALUE;

struct CASE {
    const char *what;
    const char *old;  // the file before the save; nullptr: none
    DWORD attributes; // given to it
    int share;        // another program holds it open, sharing this; -1: nobody
    std::vector<std::pair<int, DWORD>> faults; // steps failing with an error, or going on with 0
    void (*action)();                          // done on the disk at the last fault's step
    int result; // RATING_SAVED, RATING_SAVE_FAILED or RATING_LOCKED
    const char *after;
    bool same_file; // the old file is still at the name: written in place or not at all
    const char *problem;
};

// Saves a change to 9.5 over the case's file and checks what is left.
void run(const CASE &c) {
    SCOPED_TRACE(c.what);
    WORK_DIR dir;
    if (c.old) {
        std::ofstream("korvani.ini", std::ios::binary) << c.old;
        ASSERT_TRUE(SetFileAttributesA("korvani.ini", c.attributes));
    }
    const ULONGLONG before = c.old ? identity("korvani.ini") : 0;
    holder = c.share < 0 ? INVALID_HANDLE_VALUE
                         : CreateFileA("korvani.ini", GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
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
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    EXPECT_EQ(c.result == RATING_LOCKED, app.save_locked == 1) << "a held file is tried again soon";
    EXPECT_STREQ(c.problem, app.problem);
    EXPECT_EQ(c.after, bytes("korvani.ini"));
    EXPECT_EQ(c.result != RATING_SAVED, rating_pending(&app)) << "a saved change is not added again";
    EXPECT_FALSE(temp_left());
    if (!c.old) return;
    EXPECT_EQ(c.same_file, before == identity("korvani.ini"));
    const DWORD watched = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    EXPECT_EQ(c.attributes & watched, GetFileAttributesA("korvani.ini") & watched);
    SetFileAttributesA("korvani.ini", FILE_ATTRIBUTE_NORMAL);
}

const DWORD NORMAL = FILE_ATTRIBUTE_NORMAL;
const char *const HELD = "файл открыт другой программой";

} // namespace

TEST(RatingFileWin, ANewFileReplacesTheOldKeepingItsAttributesUnlessReadOnlyOrNotPurelyARating) {
    const CASE cases[] = {
        {"the first save", nullptr, NORMAL, -1, {}, nullptr, RATING_SAVED, "9.500000", false, ""},
        {"a hidden file", "4.000000", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, -1, {}, nullptr,
         RATING_SAVED, "9.500000", false, ""},
        // Made read-only on purpose: neither replaced (Windows would refuse, Wine would not) nor written.
        {"a read-only file", "4.000000", FILE_ATTRIBUTE_READONLY, -1, {}, nullptr, RATING_SAVE_FAILED,
         "4.000000", true, "файл только для чтения"},
        {"more than a rating", "[korvani]\r\nrating=4\r\n", NORMAL, -1, {}, nullptr, RATING_SAVE_FAILED,
         "[korvani]\r\nrating=4\r\n", true, "в нём не только рейтинг"},
    };
    for (const CASE &c : cases) run(c);
}

TEST(RatingFileWin, AFileAnotherProgramHoldsIsWaitedForThenWrittenInPlaceOrLeftForLater) {
    const CASE cases[] = {
        {"an editor sharing writes", "-12.500000", NORMAL, FILE_SHARE_READ | FILE_SHARE_WRITE, {}, nullptr,
         RATING_SAVED, "9.500000", true, ""},
        {"a scan sharing reads, for a moment", "-12.500000", NORMAL, FILE_SHARE_READ, {{RATING_STEP_RENAME, 0}},
         [] {
             if (action_calls < 3) return;
             CloseHandle(holder);
             holder = INVALID_HANDLE_VALUE;
         },
         RATING_SAVED, "9.500000", false, ""},
        {"a program sharing reads", "-12.500000", NORMAL, FILE_SHARE_READ, {}, nullptr, RATING_LOCKED,
         "-12.500000", true, HELD},
        {"a program sharing nothing", "-12.500000", NORMAL, 0, {}, nullptr, RATING_LOCKED, "-12.500000", true, HELD},
    };
    for (const CASE &c : cases) run(c);
}

TEST(RatingFileWin, AFailedStepLeavesTheOldOrTheNewNumberAndNoChangeCountedTwice) {
    const CASE cases[] = {
        {"a move done but reported lost", "4.000000", NORMAL, -1, {{RATING_STEP_RENAME, ERROR_UNEXP_NET_ERR}},
         [] {
             WIN32_FIND_DATAA temp{};
             FindClose(FindFirstFileA("korvani.ini.korvani-save-*", &temp));
             MoveFileExA(temp.cFileName, "korvani.ini", MOVEFILE_REPLACE_EXISTING);
         },
         RATING_SAVED, "9.500000", false, ""},
        {"a move lost", "4.000000", NORMAL, -1, {{RATING_STEP_RENAME, ERROR_UNEXP_NET_ERR}}, nullptr,
         RATING_SAVE_FAILED, "4.000000", true, "сетевой диск недоступен"},
        {"a full disk writing the new file", "-12.500000", NORMAL, -1, {{RATING_STEP_WRITE, ERROR_DISK_FULL}}, nullptr,
         RATING_SAVED, "9.500000", true, ""},
        {"a full disk and no file to write in place", nullptr, NORMAL, -1, {{RATING_STEP_WRITE, ERROR_DISK_FULL}},
         nullptr, RATING_SAVE_FAILED, "<missing>", false, "нет места на диске"},
        {"the write in place stopped part way", "-12.500000", NORMAL, -1,
         {{RATING_STEP_RENAME, ERROR_NOT_SAME_DEVICE}, {RATING_STEP_PLACE_WRITE, ERROR_DISK_FULL}}, nullptr,
         RATING_SAVE_FAILED, "-12.500000", true, "нет места на диске"},
        {"the cut after it", "-12.500000", NORMAL, -1,
         {{RATING_STEP_RENAME, ERROR_NOT_SAME_DEVICE}, {RATING_STEP_PLACE_CUT, 1}}, nullptr, RATING_SAVED,
         "9.500000  ", true, ""},
    };
    for (const CASE &c : cases) run(c);
}

TEST(RatingFileWin, TwoCopiesTakeTheSameLock) {
    WORK_DIR dir;
    std::ofstream("korvani.ini", std::ios::binary) << "1.000000";
    // Two copies adding half a point 100 times each as fast as they can; one that finds the lock held is
    // answered at once and tries again. The lock belongs to a handle, not to a process: two threads with a
    // handle each contend as two processes do.
    std::atomic<int> failed{0};
    const auto copy = [&failed] {
        app_state mine{};
        rating_read(&mine);
        for (int k = 0; k < 100; ++k) {
            mine.rating += 0.5;
            for (int tries = 0; !rating_save(&mine); ++tries) {
                if (!mine.save_locked || tries > 10000) return void(++failed);
                Sleep(1);
            }
        }
    };
    std::thread first(copy), second(copy);
    first.join();
    second.join();
    EXPECT_EQ(0, failed.load());
    EXPECT_EQ("101.000000", bytes("korvani.ini"));
    EXPECT_FALSE(temp_left());
    EXPECT_TRUE(GetFileAttributesA("korvani.ini.lock") & FILE_ATTRIBUTE_HIDDEN);
}
