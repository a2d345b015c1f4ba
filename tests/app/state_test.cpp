// The application state and the rating file, byte for byte.
#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/state.h"
#include "tests/app/rating_cases.h"
#include "tests/support/child.h"

namespace {

using rating_cases::bytes;
using rating_cases::entries;
using rating_cases::put;
using rating_cases::WORK_DIR;

struct READ_CASE {
    const char *content; // nullptr: no file
    double rating;
};

TEST(RatingFile, ReadsTheNumberAtTheStartOrZero) {
    const READ_CASE cases[] = {
        {nullptr, 0.0},       {"3.7", 3.7},        {"-1.5", -1.5},     {"1.500000", 1.5},
        {"  \n 2.5xyz", 2.5}, {"1e1", 10.0},       {"", 0.0},          {"abc", 0.0},
        {"x 3", 0.0},         {"nan", 0.0},        {"inf", 0.0},       {"-INFINITY", 0.0},
        {"1e999", 0.0},       {"-0.5\n7", -0.5},
    };
    for (const READ_CASE &c : cases) {
        WORK_DIR dir;
        if (c.content) put("korvani.ini", c.content);
        app_state *app = app_new("tiku2", 5);
        EXPECT_EQ(c.rating, app->rating) << "file: " << (c.content ? c.content : "<none>");
        delete app;
    }
}

TEST(RatingFile, ReadsOnlyTheFirstKilobytesAndNeverWaitsOnWhatIsNotAFile) {
    {
        // However large the file, only its start is read: a number behind a long run of blanks is not seen.
        WORK_DIR dir;
        put("korvani.ini", std::string(RATING_READ_MAX - 1, ' ') + "7");
        app_state *app = app_new("tiku2", 5);
        EXPECT_EQ(7.0, app->rating);
        delete app;
        put("korvani.ini", std::string(16 << 20, ' ') + "7");
        app = app_new("tiku2", 5);
        EXPECT_EQ(0.0, app->rating);
        EXPECT_STREQ("в нём не только рейтинг", app->problem);
        delete app;
    }
    // A FIFO without a writer (a plain open would wait for one) and a folder: rating 0, and the reason.
    for (const char *kind : {"fifo", "folder"}) {
        SCOPED_TRACE(kind);
        WORK_DIR dir;
        ASSERT_EQ(0, std::string(kind) == "fifo" ? mkfifo("korvani.ini", 0644) : mkdir("korvani.ini", 0755));
        app_state app{};
        EXPECT_EQ(0, rating_read(&app));
        EXPECT_EQ(0.0, app.rating);
        EXPECT_STREQ(std::string(kind) == "fifo" ? "это не обычный файл" : "на его месте папка", app.problem);
    }
}

struct WRITE_CASE {
    double rating;
    const char *bytes;
};

TEST(RatingFile, WritesSixDecimalsWithoutNewlineAndNothingElse) {
    const WRITE_CASE cases[] = {
        {0.0, "0.000000"}, {1.5, "1.500000"}, {-2.0, "-2.000000"}, {3.7, "3.700000"}, {-0.5, "-0.500000"},
        {123456.25, "123456.250000"},
    };
    for (const WRITE_CASE &c : cases) {
        WORK_DIR dir;
        put("korvani.ini", "-1234567.500000\r\n");
        rating_write(c.rating);
        EXPECT_EQ(c.bytes, bytes("korvani.ini"));
        EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, entries());
        // Read back, it is the same rating.
        app_state *app = app_new("tiku2", 5);
        EXPECT_EQ(c.rating, app->rating);
        delete app;
    }
}

TEST(RatingFile, FolderInItsPlaceFailsWithItsLineAndLeavesNoStrayFile) {
    WORK_DIR dir;
    ASSERT_EQ(0, mkdir("korvani.ini", 0755));
    EXPECT_EXIT(rating_write(2.5), testing::ExitedWithCode(1), "^Error: rating_write\n$");
    EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, entries());
    struct stat info {};
    ASSERT_EQ(0, stat("korvani.ini", &info));
    EXPECT_TRUE(S_ISDIR(info.st_mode));
}

TEST(RatingFile, FailedWriteKeepsThePreviousRating) {
    WORK_DIR dir;
    put("korvani.ini", "4.000000");
    // In a process where no file may grow past 0 bytes the new rating cannot be written. (Root ignores
    // permissions, so a read-only folder would not fail; and a death test's captured error stream is a
    // file too, so this child is forked by hand and only its status is read.)
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit none{0, 0};
        setrlimit(RLIMIT_FSIZE, &none);
        rating_write(9.0);
        _exit(0);
    }
    const int status = wait_child(child, "the save with no room to write");
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(1, WEXITSTATUS(status));
    EXPECT_EQ("4.000000", bytes("korvani.ini"));
    EXPECT_EQ(std::vector<std::string>{"korvani.ini"}, entries());
}

} // namespace
