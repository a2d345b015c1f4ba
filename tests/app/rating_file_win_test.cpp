// The rating file's cases that only Windows has: attributes, other programs holding the file open, and
// the lock file beside it. The promises every platform keeps are in rating_promise_test.cpp.
#include <string>

#include <gtest/gtest.h>

#include <windows.h>

#include "tests/app/rating_cases.h"

using namespace rating_cases;

namespace {

// Another program's handle on the rating file, sharing what the case says.
HANDLE holder = INVALID_HANDLE_VALUE;
void hold(DWORD share) { holder = CreateFileA("korvani.ini", GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr); }
void let_go() {
    if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
    holder = INVALID_HANDLE_VALUE;
}

const DWORD WATCHED = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
DWORD given = 0; // the attributes a case gave the file, to be found on it afterwards
void give(DWORD attributes) {
    given = attributes;
    ASSERT_TRUE(SetFileAttributesA("korvani.ini", attributes));
}
void kept() {
    EXPECT_EQ(given & WATCHED, GetFileAttributesA("korvani.ini") & WATCHED);
    SetFileAttributesA("korvani.ini", FILE_ATTRIBUTE_NORMAL);
}

const char *const HELD = "файл открыт другой программой";

} // namespace

TEST(RatingFileWin, ANewFileKeepsTheOldOnesAttributesAndAReadOnlyOneIsLeftAlone) {
    const CASE cases[] = {
        {"a hidden file", "4.000000", {}, nullptr, RATING_SAVED, "9.500000", false, "",
         [] { give(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE); }, kept},
        // Made read-only on purpose: neither replaced (Windows would refuse, Wine would not) nor written.
        {"a read-only file", "4.000000", {}, nullptr, RATING_SAVE_FAILED, "4.000000", true, "файл только для чтения",
         [] { give(FILE_ATTRIBUTE_READONLY); }, kept},
    };
    for (const CASE &c : cases) run(c);
}

TEST(RatingFileWin, AFileAnotherProgramHoldsIsWaitedForThenWrittenInPlaceOrLeftForLater) {
    const CASE cases[] = {
        {"an editor sharing writes", "-12.500000", {}, nullptr, RATING_SAVED, "9.500000", true, "",
         [] { hold(FILE_SHARE_READ | FILE_SHARE_WRITE); }, let_go},
        {"a scan sharing reads, for a moment", "-12.500000", {{RATING_STEP_RENAME, 0}},
         [] {
             if (action_calls == 3) let_go();
         },
         RATING_SAVED, "9.500000", false, "", [] { hold(FILE_SHARE_READ); }, let_go},
        {"a program sharing reads", "-12.500000", {}, nullptr, RATING_LOCKED, "-12.500000", true, HELD,
         [] { hold(FILE_SHARE_READ); }, let_go},
        {"a program sharing nothing", "-12.500000", {}, nullptr, RATING_LOCKED, "-12.500000", true, HELD,
         [] { hold(0); }, let_go},
    };
    for (const CASE &c : cases) run(c);
}

TEST(RatingFileWin, TheLockFileIsHidden) {
    const CASE cases[] = {
        {"the lock file made", "4.000000", {}, nullptr, RATING_SAVED, "9.500000", false, "", nullptr,
         [] { EXPECT_TRUE(GetFileAttributesA("korvani.ini.lock") & FILE_ATTRIBUTE_HIDDEN); }},
    };
    for (const CASE &c : cases) run(c);
}

TEST(RatingFileWin, StartedInWindowsOwnFolderTheRatingIsNotKeptThere) {
    // Where Windows starts a program whose own folder it cannot use; under Wine, C:\windows.
    const std::filesystem::path previous = std::filesystem::current_path();
    char windows[MAX_PATH + 1];
    ASSERT_GT(GetWindowsDirectoryA(windows, sizeof windows), 0u);
    ASSERT_TRUE(SetCurrentDirectoryA(windows));
    const bool there = std::filesystem::exists("korvani.ini");
    app_state app{};
    EXPECT_EQ(0, rating_read(&app));
    EXPECT_STREQ("игра запущена из папки Windows", app.problem);
    app.rating = 0.5;
    EXPECT_EQ(0, rating_save(&app));
    EXPECT_EQ(there, std::filesystem::exists("korvani.ini"));
    std::filesystem::current_path(previous);
}
