// The rating save under faults: killed before any of its steps, failing at any of them, or killed at a
// random moment. Afterwards the rating file holds the old rating or the new one and nothing else, and
// the next successful save leaves no temporary file behind.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/state.h"
#include "tests/support/child.h"

namespace {

const char *const STEP_NAMES[RATING_STEPS] = {"create", "write", "sync", "close", "rename", "clean", "sync folder"};

// A fresh empty working directory for one case, removed with its content afterwards.
struct WORK_DIR {
    std::string path;
    std::string previous;
    WORK_DIR() {
        char pattern[] = "/tmp/korvani-fault-XXXXXX";
        path = mkdtemp(pattern);
        previous = std::filesystem::current_path().string();
        std::filesystem::current_path(path);
    }
    ~WORK_DIR() {
        std::filesystem::current_path(previous);
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    WORK_DIR(const WORK_DIR &) = delete;
    WORK_DIR &operator=(const WORK_DIR &) = delete;
};

std::vector<std::string> entries() {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(".")) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

std::string bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void put(const std::string &path, const std::string &content) { std::ofstream(path, std::ios::binary) << content; }

int fault_step = -1;
int kill_before(int step) {
    if (step == fault_step) raise(SIGKILL);
    return 0;
}
int fail_at(int step) { return step == fault_step; }

// Runs rating_write(rating) in a child that the hook may kill; returns the child's wait status.
int save_in_child(double rating, int (*hook)(int)) {
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        rating_write_fault = hook;
        rating_write(rating);
        _exit(0);
    }
    return wait_child(child, "the save");
}

const std::vector<std::string> ONLY_THE_FILE = {"korvani.ini"};

} // namespace

TEST(RatingSave, KilledBeforeAnyStepLeavesTheOldOrTheNewRating) {
    // nullptr: the first run, with no rating file yet.
    for (const char *old : {"4.000000", static_cast<const char *>(nullptr)}) {
        for (int step = 0; step < RATING_STEPS; ++step) {
            SCOPED_TRACE(std::string("killed before: ") + STEP_NAMES[step] + (old ? "" : ", no file before"));
            WORK_DIR dir;
            if (old) put("korvani.ini", old);
            fault_step = step;
            const int status = save_in_child(9.5, kill_before);
            ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "status " << status;
            const std::string expected = step <= RATING_STEP_RENAME ? (old ? old : "<missing>") : "9.500000";
            EXPECT_EQ(expected, bytes("korvani.ini"));

            rating_write(-1.5);
            EXPECT_EQ("-1.500000", bytes("korvani.ini"));
            EXPECT_EQ(ONLY_THE_FILE, entries());
        }
    }
}

TEST(RatingSave, FailingStepKeepsTheOldRatingAndLeavesNoTemporaryFile) {
    for (int step = 0; step < RATING_STEPS; ++step) {
        SCOPED_TRACE(std::string("failing: ") + STEP_NAMES[step]);
        WORK_DIR dir;
        put("korvani.ini", "4.000000");
        // What an earlier save, killed half way, left behind.
        put("korvani.ini.korvani-save-Ab12Z9", "7.0");
        fault_step = step;
        if (step <= RATING_STEP_RENAME) {
            EXPECT_EXIT(
                {
                    rating_write_fault = fail_at;
                    rating_write(9.5);
                },
                testing::ExitedWithCode(1), "^Error: rating_write\n$");
            EXPECT_EQ("4.000000", bytes("korvani.ini"));
            EXPECT_EQ((std::vector<std::string>{"korvani.ini", "korvani.ini.korvani-save-Ab12Z9"}), entries());
        } else {
            // After the rename the rating is saved; what fails later only tidies up.
            const int status = save_in_child(9.5, fail_at);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
            EXPECT_EQ("9.500000", bytes("korvani.ini"));
            const std::vector<std::string> left = {"korvani.ini", "korvani.ini.korvani-save-Ab12Z9"};
            EXPECT_EQ(step == RATING_STEP_CLEAN ? left : ONLY_THE_FILE, entries());
        }
        rating_write(0.5);
        EXPECT_EQ("0.500000", bytes("korvani.ini"));
        EXPECT_EQ(ONLY_THE_FILE, entries());
    }
}

TEST(RatingSave, KilledAtRandomMomentsLeavesOneOfTheRatingsItWasGiven) {
    // The child saves two ratings in turn as fast as it can; it is killed after a random pause, which
    // lands anywhere in a save, including between its system calls.
    std::mt19937 random(20041110);
    std::uniform_int_distribution<int> pause_us(0, 3000);
    int cut_short = 0;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        WORK_DIR dir;
        put("korvani.ini", "4.000000");
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            for (long n = 0;; ++n) rating_write(n % 2 ? 2.5 : -3.0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pause_us(random)));
        kill(child, SIGKILL);
        const int status = wait_child(child, "the saving child killed with SIGKILL");
        ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;

        const std::string saved = bytes("korvani.ini");
        EXPECT_TRUE(saved == "4.000000" || saved == "2.500000" || saved == "-3.000000") << saved;
        if (entries() != ONLY_THE_FILE) ++cut_short;
        rating_write(1.0);
        EXPECT_EQ("1.000000", bytes("korvani.ini"));
        EXPECT_EQ(ONLY_THE_FILE, entries());
    }
    // Not a requirement, but it says whether the kills landed inside saves at all.
    std::printf("rounds that left a temporary file: %d of 60\n", cut_short);
}

TEST(RatingSave, CleanUpRemovesOnlyUnheldTemporaryFilesOfTheRatingFile) {
    WORK_DIR dir;
    put("korvani.ini", "4.000000");
    struct STRAY {
        const char *name;
        bool removed;
    };
    const STRAY strays[] = {
        {"korvani.ini.korvani-save-q8Xz0A", true},  // left by a killed save
        {"korvani.ini.korvani-save-HELD01", false}, // another copy of the program is saving right now
        // The user's own files: any name without the marker, six letters or digits after the dot too.
        {"korvani.ini.backup", false},
        {"korvani.ini.2024v1", false},
        {"korvani.ini.saved1", false},
        {"korvani.ini.bak", false},
        {"korvani.ini.korvani-save-ab-123", false},
        {"korvani.ini.korvani-save-abcdefg", false},
        {"other.ini.korvani-save-abcdef", false},
    };
    for (const STRAY &s : strays) put(s.name, "x");
    const int held = open("korvani.ini.korvani-save-HELD01", O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(0, flock(held, LOCK_EX));

    rating_write(2.0);
    close(held);
    EXPECT_EQ("2.000000", bytes("korvani.ini"));
    for (const STRAY &s : strays) {
        EXPECT_EQ(!s.removed, std::filesystem::exists(s.name)) << s.name;
        if (!s.removed) {
            EXPECT_EQ("x", bytes(s.name)) << s.name;
        }
    }
}

TEST(RatingSave, CopiesSavingAtOnceInOneFolderLoseNoChange) {
    // Two copies of the game, each adding half a point per save as fast as it can: under the folder's
    // lock every save adds to what the other saved.
    WORK_DIR dir;
    put("korvani.ini", "1.000000");
    const int saves = 150;
    std::fflush(nullptr);
    pid_t children[2];
    for (pid_t &child : children) {
        child = fork();
        if (child == 0) {
            app_state app{};
            rating_read(&app);
            for (int k = 0; k < saves; ++k) {
                app.rating += 0.5;
                if (!rating_save(&app, 0)) _exit(1);
            }
            _exit(0);
        }
    }
    for (pid_t child : children) {
        const int status = wait_child(child, "a copy's saves");
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    }
    EXPECT_EQ("151.000000", bytes("korvani.ini"));
    EXPECT_EQ(ONLY_THE_FILE, entries());
}
