// The rating file's promises that hold alike on every platform, run against the storage the build has
// (on Linux natively, for Windows under Wine): what a hand-written file may hold, what a failed step of a
// save leaves, and two copies of the game saving at once. Each platform's own cases are in
// rating_fault_test.cpp (POSIX) and rating_file_win_test.cpp (Windows).
#include <atomic>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "tests/app/rating_cases.h"

using namespace rating_cases;

namespace {

// UTF-16 as Notepad saves "Unicode": the byte order mark, then each character in two bytes.
std::string utf16(const std::string &ascii, bool little, bool mark = true) {
    std::string out = mark ? (little ? "\xFF\xFE" : "\xFE\xFF") : "";
    for (const char c : ascii) out += little ? std::string{c, '\0'} : std::string{'\0', c};
    return out;
}

// A save that took place though its answer was lost: the new file is moved over the old one by hand
// before the hook fails the rename.
void move_by_hand() { std::filesystem::rename(temp_file(), "korvani.ini"); }

} // namespace

TEST(RatingPromise, HandWrittenRatingsAreReadAndOnlyAPureOneIsReplaced) {
    const struct {
        std::string content;
        double rating;
        bool pure; // purely a rating as people write it: may be replaced
    } cases[] = {
        {"\xEF\xBB\xBF" "12.5", 12.5, true}, // the byte order mark of Windows Notepad
        {utf16("2.5\r\n", true), 2.5, true}, // Notepad's "Unicode"
        {utf16("-3,5", false), -3.5, true},  // and its "Unicode big endian"
        {" 12.5\r\n", 12.5, true},
        {"-3,5", -3.5, true}, // a Russian decimal comma
        {fixed(1e69), 1e69, true}, // a huge rating as the game writes it, 77 characters long
        {"[korvani]\r\nrating=12.5\r\n", 0.0, false},
        {"12.5\nмои заметки", 12.5, false},
        {"2.5" + std::string(1 << 20, ' '), 2.5, false}, // more than a rating file may hold
        {"nan", 0.0, false},
        {"5e", 5.0, false}, // an exponent without its digits, which "%lf" takes for 5
        {"5E-\n", 5.0, false},
        {utf16("5e+", true), 5.0, false},
        {"1,5e1", 15.0, true},
        {utf16("2.5", true, false), 2.0, false},                     // UTF-16 without its mark
        {utf16("2.5", true) + std::string("\0\0", 2), 2.5, false},  // a NUL
        {utf16("2.5\x1A", true), 2.5, false},                        // Ctrl-Z
        {utf16("2.5", true) + "\xA0", 2.5, false},                   // half a character
        {utf16("2.5", true) + std::string("\xA0\0", 2), 2.5, false}, // a no-break space
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("file: " + c.content.substr(0, 30));
        WORK_DIR dir;
        put("korvani.ini", c.content);
        app_state app{};
        EXPECT_EQ(c.pure, rating_read(&app) == 1);
        EXPECT_EQ(c.rating, app.rating);
        app.rating -= 0.5;
        EXPECT_EQ(c.pure, rating_save(&app) == 1);
        if (!c.pure) {
            EXPECT_STREQ("в нём не только рейтинг", app.problem);
        }
        EXPECT_EQ(c.pure ? fixed(c.rating - 0.5) : c.content, bytes("korvani.ini"));
    }
}

TEST(RatingPromise, AFailedStepLeavesTheOldOrTheNewNumberAndNoChangeCountedTwice) {
    const CASE cases[] = {
        {"the first save", nullptr, {}, nullptr, RATING_SAVED, "9.500000", false, ""},
        {"more than a rating", "[korvani]\r\nrating=4\r\n", {}, nullptr, RATING_SAVE_FAILED,
         "[korvani]\r\nrating=4\r\n", true, "в нём не только рейтинг"},
        {"a rename done but answered with an error", "4.000000", {{RATING_STEP_RENAME, NETWORK_LOST}}, move_by_hand,
         RATING_SAVED, "9.500000", false, ""},
        {"a rename lost", "4.000000", {{RATING_STEP_RENAME, NETWORK_LOST}}, nullptr, RATING_SAVE_FAILED, "4.000000",
         true, "сетевой диск недоступен"},
        {"a full disk writing the new file: written in place", "-12.500000", {{RATING_STEP_WRITE, DISK_FULL}}, nullptr,
         RATING_SAVED, "9.500000", true, ""},
        {"a full disk forcing it to disk", "-12.500000", {{RATING_STEP_SYNC, DISK_FULL}}, nullptr, RATING_SAVED,
         "9.500000", true, ""},
        {"a full disk and no file to write in place", nullptr, {{RATING_STEP_WRITE, DISK_FULL}}, nullptr,
         RATING_SAVE_FAILED, "<missing>", false, "нет места на диске"},
        {"the write in place stopped part way is undone", "-12.500000",
         {{RATING_STEP_RENAME, OTHER_DISK}, {RATING_STEP_PLACE_WRITE, DISK_FULL}}, nullptr, RATING_SAVE_FAILED,
         "-12.500000", true, "нет места на диске"},
        {"the cut after it", "-12.500000", {{RATING_STEP_RENAME, OTHER_DISK}, {RATING_STEP_PLACE_CUT, 1}}, nullptr,
         RATING_SAVED, "9.500000  ", true, ""},
        // No lock to be had: the save says so, and never saves unlocked.
        {"a folder at the lock's name", "4.000000", {}, nullptr, RATING_SAVE_FAILED, "4.000000", true,
         "на месте korvani.ini.lock не файл", [] { std::filesystem::create_directory("korvani.ini.lock"); }},
        // Written in place, a file with another name would change under that name too.
        {"a full disk and another hard link: not written in place", "-12.500000", {{RATING_STEP_WRITE, DISK_FULL}},
         nullptr, RATING_SAVE_FAILED, "-12.500000", true, "у файла есть другие жёсткие ссылки",
         [] { std::filesystem::create_hard_link("korvani.ini", "other name"); },
         [] { EXPECT_EQ("-12.500000", bytes("other name")); }},
    };
    for (const CASE &c : cases) run(c);
}

TEST(RatingPromise, TwoCopiesTakeTheSameLock) {
    WORK_DIR dir;
    put("korvani.ini", "1.000000");
    // Two copies adding half a point 100 times each. The lock belongs to an open file, not to a process:
    // two threads opening it each contend as two processes do.
    std::atomic<int> failed{0};
    const auto copy = [&failed] { failed += add_half_points(100); };
    std::thread first(copy), second(copy);
    first.join();
    second.join();
    EXPECT_EQ(0, failed.load());
    EXPECT_EQ("101.000000", bytes("korvani.ini"));
    EXPECT_EQ("", temp_file());
}
