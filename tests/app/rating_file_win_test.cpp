// The rating file's storage on Windows, where it meets what the Linux tests cannot show: a folder named in
// Cyrillic, attributes, other programs holding the file open, two copies of the game sharing its lock,
// and the faults of a save's replace and of its write in place. What the text may hold is the same on
// every platform and proved by the Linux tests. Every case runs in a folder named in Cyrillic.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include <windows.h>

#include "app/state.h"

namespace {

struct WORK_DIR {
    std::wstring path;
    std::wstring previous = std::filesystem::current_path().wstring();
    WORK_DIR() {
        static int made = 0;
        path = (std::filesystem::temp_directory_path() /
                (L"Корвани рейтинг " + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++made)))
                   .wstring();
        std::filesystem::create_directory(path);
        SetCurrentDirectoryW(path.c_str());
    }
    ~WORK_DIR() {
        SetCurrentDirectoryW(previous.c_str());
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    WORK_DIR(const WORK_DIR &) = delete;
    WORK_DIR &operator=(const WORK_DIR &) = delete;
};

std::string bytes(const char *path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void put(const char *path, const std::string &content) {
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
    std::ofstream(path, std::ios::binary) << content;
}

std::vector<std::string> entries() {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(".")) names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

const std::vector<std::string> THE_FILE_AND_ITS_LOCK = {"korvani.ini", "korvani.ini.lock"};

// The file's index on its volume: which file is at the name.
ULONGLONG identity(const char *path) {
    const HANDLE file = CreateFileA(path, 0, 7, nullptr, OPEN_EXISTING, 0, nullptr);
    BY_HANDLE_FILE_INFORMATION about{};
    GetFileInformationByHandle(file, &about);
    CloseHandle(file);
    return (static_cast<ULONGLONG>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
}

// A session whose change since it read old is to be saved.
app_state session(double old, double rating) {
    app_state app{};
    app.saved = old;
    app.rating = rating;
    return app;
}

// What the fault hook does: each step's error (0 goes on), and what happens on the disk just before it.
DWORD step_error[RATING_STEPS + 2];
void (*step_action[RATING_STEPS + 2])();
int step_calls[RATING_STEPS + 2];
int answer_step(int step) {
    ++step_calls[step];
    if (step_action[step]) step_action[step]();
    return static_cast<int>(step_error[step]);
}
void clear_faults() {
    for (int step = 0; step < RATING_STEPS + 2; ++step) {
        step_error[step] = 0;
        step_action[step] = nullptr;
        step_calls[step] = 0;
    }
}

// Another program's handle on the rating file.
HANDLE holder = INVALID_HANDLE_VALUE;

} // namespace

TEST(RatingFileWin, SavesInACyrillicFolderReplacingTheFileAndKeepingItsAttributes) {
    WORK_DIR dir;
    rating_write(2.5);
    EXPECT_EQ("2.500000", bytes("korvani.ini"));
    EXPECT_EQ(THE_FILE_AND_ITS_LOCK, entries());
    EXPECT_TRUE(GetFileAttributesA("korvani.ini.lock") & FILE_ATTRIBUTE_HIDDEN);
    const struct {
        DWORD attributes;
        int saved;
        const char *problem;
    } cases[] = {
        {FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE, 1, ""},
        // Made read-only on purpose: neither replaced (as Windows, unlike Wine, would refuse) nor written.
        {FILE_ATTRIBUTE_READONLY, 0, "файл только для чтения"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.attributes);
        put("korvani.ini", "4.000000");
        ASSERT_TRUE(SetFileAttributesA("korvani.ini", c.attributes));
        const ULONGLONG before = identity("korvani.ini");
        app_state app = session(4.0, 4.5);
        EXPECT_EQ(c.saved, rating_save(&app));
        EXPECT_STREQ(c.problem, app.problem);
        EXPECT_EQ(c.saved ? "4.500000" : "4.000000", bytes("korvani.ini"));
        const DWORD watched = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
        EXPECT_EQ(c.attributes & watched, GetFileAttributesA("korvani.ini") & watched);
        EXPECT_EQ(c.saved, before != identity("korvani.ini")) << "a new file moved over the old one";
    }
    SetFileAttributesA("korvani.ini", FILE_ATTRIBUTE_NORMAL);
}

TEST(RatingFileWin, WhatIsNotPurelyARatingIsNeverWritten) {
    WORK_DIR dir;
    const std::string mixed = "[korvani]\r\nrating=12.5\r\n";
    put("korvani.ini", mixed);
    const ULONGLONG before = identity("korvani.ini");
    app_state app = session(0.0, 0.5);
    EXPECT_EQ(0, rating_save(&app));
    EXPECT_STREQ("в нём не только рейтинг", app.problem);
    EXPECT_EQ(mixed, bytes("korvani.ini"));
    EXPECT_EQ(before, identity("korvani.ini"));
    ASSERT_TRUE(DeleteFileA("korvani.ini") && CreateDirectoryA("korvani.ini", nullptr));
    EXPECT_EQ(0, rating_save(&app));
    EXPECT_STREQ("на его месте папка", app.problem);
}

TEST(RatingFileWin, AFileAnotherProgramHoldsIsWaitedForThenWrittenInPlaceOrLeftForLater) {
    const struct {
        const char *holder;
        DWORD share;
        int released_at_try; // the try of the replace at which the other program lets go; 0: never
        int saved;
        bool same_file; // written in place, or not at all
        const char *problem;
    } cases[] = {
        {"an editor sharing writes", FILE_SHARE_READ | FILE_SHARE_WRITE, 0, 1, true, ""},
        {"a scan sharing reads, for a moment", FILE_SHARE_READ, 3, 1, false, ""},
        {"a program sharing reads", FILE_SHARE_READ, 0, 0, true, "файл открыт другой программой"},
        {"a program sharing nothing", 0, 0, 0, true, "файл открыт другой программой"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.holder);
        WORK_DIR dir;
        put("korvani.ini", "-12.500000");
        const ULONGLONG before = identity("korvani.ini");
        holder = CreateFileA("korvani.ini", GENERIC_READ, c.share, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);
        clear_faults();
        if (c.released_at_try)
            step_action[RATING_STEP_RENAME] = [] {
                if (step_calls[RATING_STEP_RENAME] < 3) return;
                CloseHandle(holder);
                holder = INVALID_HANDLE_VALUE;
            };
        rating_write_fault = answer_step;
        app_state app = session(-12.5, 9.5);
        EXPECT_EQ(c.saved, rating_save(&app));
        rating_write_fault = nullptr;
        EXPECT_EQ(c.saved ? 0 : 1, app.save_locked) << "a held file is tried again soon";
        EXPECT_STREQ(c.problem, app.problem);
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
        EXPECT_EQ(c.saved ? "9.500000" : "-12.500000", bytes("korvani.ini"));
        EXPECT_EQ(c.same_file, before == identity("korvani.ini"));
        EXPECT_EQ(THE_FILE_AND_ITS_LOCK, entries());
        EXPECT_EQ(1, rating_save(&app));
        EXPECT_EQ("9.500000", bytes("korvani.ini"));
    }
}

namespace {

// One copy of the game saving half a point at a time, as the test below starts it twice at once.
int save_copy(int saves) {
    app_state app{};
    rating_read(&app);
    for (int k = 0; k < saves; ++k) {
        app.rating += 0.5;
        for (int tries = 0; !rating_save(&app); ++tries) {
            if (!app.save_locked || tries > 10000) return 1;
            Sleep(1);
        }
    }
    return 0;
}

} // namespace

TEST(RatingFileWin, TwoCopiesTakeTheSameLock) {
    WORK_DIR dir;
    put("korvani.ini", "1.000000");
    {
        // The lock another copy holds: a save fails at once, keeping the change, and is left for later.
        const HANDLE lock = CreateFileA("korvani.ini.lock", GENERIC_READ, 3, nullptr, OPEN_ALWAYS, 0, nullptr);
        OVERLAPPED at{};
        ASSERT_TRUE(LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &at));
        app_state app = session(1.0, 1.5);
        EXPECT_EQ(0, rating_save(&app));
        EXPECT_EQ(1, app.save_locked);
        EXPECT_STREQ("файл заблокирован", app.problem);
        CloseHandle(lock);
        EXPECT_EQ("1.000000", bytes("korvani.ini"));
    }
    // Two copies, each adding half a point 100 times as fast as it can: every save adds to the other's.
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    PROCESS_INFORMATION copies[2]{};
    HANDLE running[2];
    for (int k = 0; k < 2; ++k) {
        std::wstring command = L"\"" + std::wstring(exe) + L"\" --save-copy 100";
        STARTUPINFOW start{};
        start.cb = sizeof start;
        ASSERT_TRUE(CreateProcessW(exe, &command[0], nullptr, nullptr, FALSE, 0, nullptr, dir.path.c_str(), &start,
                                   &copies[k]));
        running[k] = copies[k].hProcess;
    }
    if (WaitForMultipleObjects(2, running, TRUE, 120000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the two copies did not end their 200 saves within 120 s";
        for (HANDLE copy : running) TerminateProcess(copy, 99), WaitForSingleObject(copy, 10000);
    }
    for (const PROCESS_INFORMATION &copy : copies) {
        DWORD status = 99;
        GetExitCodeProcess(copy.hProcess, &status);
        EXPECT_EQ(0u, status);
        CloseHandle(copy.hProcess);
        CloseHandle(copy.hThread);
    }
    EXPECT_EQ("101.000000", bytes("korvani.ini"));
    EXPECT_EQ(THE_FILE_AND_ITS_LOCK, entries());
}

TEST(RatingFileWin, AFailedStepLeavesTheOldOrTheNewNumberAndNoChangeCountedTwice) {
    const struct {
        const char *what;
        const char *old; // nullptr: no file
        std::vector<std::pair<int, DWORD>> faults;
        void (*action)(); // what reached the disk before the last fault was reported
        int saved;
        const char *after;
        bool same_file; // written in place, or not at all
        const char *problem;
    } cases[] = {
        {"a move done but reported lost", "4.000000", {{RATING_STEP_RENAME, ERROR_UNEXP_NET_ERR}},
         [] {
             WIN32_FIND_DATAA temp{};
             FindClose(FindFirstFileA("korvani.ini.korvani-save-*", &temp));
             MoveFileExA(temp.cFileName, "korvani.ini", MOVEFILE_REPLACE_EXISTING);
         },
         1, "9.500000", false, ""},
        {"a move lost", "4.000000", {{RATING_STEP_RENAME, ERROR_UNEXP_NET_ERR}}, nullptr, 0, "4.000000", true,
         "сетевой диск недоступен"},
        {"a full disk making the new file", "-12.500000", {{RATING_STEP_CREATE, ERROR_DISK_FULL}}, nullptr, 1,
         "9.500000", true, ""},
        {"a full disk writing it", "-12.500000", {{RATING_STEP_WRITE, ERROR_DISK_FULL}}, nullptr, 1, "9.500000", true, ""},
        {"a full disk and no file to write in place", nullptr, {{RATING_STEP_WRITE, ERROR_DISK_FULL}}, nullptr, 0,
         "<missing>", false, "нет места на диске"},
        {"the write in place stopped part way", "-12.500000",
         {{RATING_STEP_RENAME, ERROR_NOT_SAME_DEVICE}, {RATING_STEP_PLACE_WRITE, ERROR_DISK_FULL}},
         [] { std::fstream("korvani.ini", std::ios::in | std::ios::out | std::ios::binary) << "9.5"; }, 0,
         "-12.500000", true, "нет места на диске"},
        {"the cut after it", "-12.500000", {{RATING_STEP_RENAME, ERROR_NOT_SAME_DEVICE}, {RATING_STEP_PLACE_CUT, 1}},
         nullptr, 1, "9.500000  ", true, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        WORK_DIR dir;
        if (c.old) put("korvani.ini", c.old);
        const ULONGLONG before = c.old ? identity("korvani.ini") : 0;
        clear_faults();
        for (const auto &fault : c.faults) step_error[fault.first] = fault.second;
        step_action[c.faults.back().first] = c.action;
        rating_write_fault = answer_step;
        app_state app = session(c.old ? std::strtod(c.old, nullptr) : 0.0, 9.5);
        EXPECT_EQ(c.saved, rating_save(&app));
        rating_write_fault = nullptr;
        EXPECT_STREQ(c.problem, app.problem);
        EXPECT_EQ(c.after, bytes("korvani.ini"));
        if (c.old) {
            EXPECT_EQ(c.same_file, before == identity("korvani.ini"));
        }
        EXPECT_EQ(c.saved ? 0 : 1, rating_pending(&app)) << "a saved change is not added again";
        std::vector<std::string> left = THE_FILE_AND_ITS_LOCK;
        if (!c.old && !c.saved) left.erase(left.begin());
        EXPECT_EQ(left, entries()) << "no temporary file left";
    }
}

int main(int argc, char **argv) {
    if (argc == 3 && std::strcmp(argv[1], "--save-copy") == 0) return save_copy(std::atoi(argv[2]));
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
