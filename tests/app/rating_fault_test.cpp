// The rating file's storage, headless. The save under faults: killed before any of its steps, failing at
// any of them, or killed at a random moment; afterwards the rating file holds the old rating or the new
// one and nothing else, and the next successful save leaves no temporary file behind. Then what people
// and other programs leave in the file's place: links, locks, owners, folders and files that cannot be
// replaced; and root. The promises every platform keeps are in rating_promise_test.cpp.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include "app/state.h"
#include "tests/app/rating_cases.h"
#include "tests/support/child.h"

using namespace rating_cases;

namespace {

const char *const STEP_NAMES[RATING_STEPS] = {"create", "write", "sync", "close", "rename", "clean", "sync folder"};

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

// A race against a second process that calls swap over and over (false: it failed) while this one tries
// the rating for 1.5 s: every try a read, or every twentieth a save where saves is set. followed tells a
// try that went where it must not; the rest count as plain or refused, and both must happen.
void race(bool (*swap)(), bool saves, bool (*followed)(int found, double value)) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    std::fflush(nullptr);
    const pid_t swapper = fork();
    if (swapper == 0) {
        while (std::chrono::steady_clock::now() < end + std::chrono::milliseconds(500))
            if (!swap()) _exit(1);
        _exit(0);
    }
    int plain = 0;
    int refused = 0;
    int wrong = 0;
    for (int k = 0; std::chrono::steady_clock::now() < end; ++k) {
        double value = 0.0;
        char problem[RATING_PROBLEM_MAX] = "";
        int found = RATING_FOUND;
        if (!saves || k % 20)
            found = rating_file_read(&value, problem);
        else if (rating_file_save(0.0, 0.5, 0, 1, &value, problem) != RATING_SAVED)
            found = RATING_UNREADABLE;
        if (followed(found, value)) ++wrong;
        (found == RATING_FOUND ? plain : refused) += 1;
    }
    EXPECT_EQ(0, wait_child(swapper, "the swaps"));
    EXPECT_EQ(0, wrong) << "followed where it must not";
    EXPECT_GT(plain, 0);
    EXPECT_GT(refused, 0);
}

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

namespace {

// Holds the lock a save takes, as another copy of the game may.
struct SAVE_LOCK {
    int fd = open("korvani.ini.lock", O_RDONLY | O_CREAT | O_CLOEXEC, 0600);
    SAVE_LOCK() { flock(fd, LOCK_EX); }
    ~SAVE_LOCK() { close(fd); }
    SAVE_LOCK(const SAVE_LOCK &) = delete;
    SAVE_LOCK &operator=(const SAVE_LOCK &) = delete;
};

// A fault hook's answers step by step: 0 goes on, an error number fails the step, -1 kills.
int step_or_kill[RATING_STEPS + 2];
int answer_or_kill(int step) {
    if (step_or_kill[step] < 0) raise(SIGKILL);
    return step_or_kill[step];
}

const passwd *nobody() { return getpwnam("nobody"); }

} // namespace

TEST(RatingFile, TheExitWritesOnlyAChangeAndAHeldLockIsAnsweredAtOnce) {
    WORK_DIR dir;
    const std::string by_hand = "\xEF\xBB\xBF" "2,5\r\n";
    put("korvani.ini", by_hand);
    app_close(app_new("tiku2", 5));
    EXPECT_EQ(by_hand, bytes("korvani.ini"));
    app_state app{};
    rating_read(&app);
    app.rating -= 0.5;
    {
        // Another copy holds the save's lock: an exit with nothing to save neither waits nor fails, and a
        // save fails at once, keeping the change.
        SAVE_LOCK lock;
        EXPECT_EXIT((app_close(app_new("tiku2", 5)), std::exit(0)), testing::ExitedWithCode(0), "^$");
        EXPECT_EQ(0, rating_save(&app));
        EXPECT_EQ(1, app.save_locked);
        EXPECT_STREQ("файл заблокирован", app.problem); // whoever holds it
        EXPECT_EQ(by_hand, bytes("korvani.ini"));
    }
    EXPECT_EQ(1, rating_save(&app));
    EXPECT_EQ("2.000000", bytes("korvani.ini"));
}

TEST(RatingSave, AFileThatCannotBeReplacedIsWrittenInPlace) {
    {
        // The rename refused, as for a file mounted on its own (EBUSY), and the save killed between the
        // padded write and the cut: the new rating with blanks after it, which reads as the rating.
        WORK_DIR dir;
        put("korvani.ini", "-12.500000");
        step_or_kill[RATING_STEP_RENAME] = EBUSY;
        step_or_kill[RATING_STEP_PLACE_CUT] = -1;
        ASSERT_EQ(SIGKILL, WTERMSIG(save_in_child(1.5, answer_or_kill)));
        EXPECT_EQ("1.500000  ", bytes("korvani.ini"));
        step_or_kill[RATING_STEP_PLACE_CUT] = 0;
        // A successful save in place removes what a save killed before its rename left, as any other.
        put("korvani.ini.korvani-save-Ab12Z9", "7.0");
        rating_write_fault = answer_or_kill;
        rating_write(-1.5);
        EXPECT_EQ("-1.500000", bytes("korvani.ini"));
        EXPECT_EQ(ONLY_THE_FILE, entries());
        // A read-only file is not written in place, not even by root; the reason is said in words.
        ASSERT_EQ(0, chmod("korvani.ini", 0444));
        app_state app{};
        rating_read(&app);
        app.rating += 0.5;
        EXPECT_EQ(0, rating_save(&app));
        EXPECT_STREQ("файл занят системой", app.problem);
        rating_write_fault = nullptr;
        EXPECT_EQ("-1.500000", bytes("korvani.ini"));
        // Written in place but not cut: every reader finds the new rating already, so the change is saved
        // and the next save does not add it a second time.
        ASSERT_EQ(0, chmod("korvani.ini", 0644));
        step_or_kill[RATING_STEP_PLACE_CUT] = EIO;
        rating_write_fault = answer_or_kill;
        rating_read(&app);
        app.rating += 3.0;
        EXPECT_EQ(1, rating_save(&app)) << app.problem;
        rating_write_fault = nullptr;
        step_or_kill[RATING_STEP_RENAME] = step_or_kill[RATING_STEP_PLACE_CUT] = 0;
        rating_save(&app);
        EXPECT_EQ("1.500000 ", bytes("korvani.ini"));
    }
    {
        // The same for real, where the machine lets root bind-mount a file over korvani.ini in a mount
        // namespace of its own: the save writes the mounted file.
        WORK_DIR dir;
        put("korvani.ini", "-12.500000");
        put("mounted", "4.000000");
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount("mounted", "korvani.ini", nullptr, MS_BIND, nullptr) != 0)
                _exit(77);
            rating_write(2.5);
            _exit(0);
        }
        const int status = wait_child(child, "the save over a bind-mounted file");
        if (WEXITSTATUS(status) != 77) {
            EXPECT_EQ(0, status);
            EXPECT_EQ("2.500000", bytes("mounted"));
        }
    }
    {
        // A name too long for the new file beside it, through a link.
        WORK_DIR dir;
        const std::string name(240, 'r');
        put(name, "4.000000");
        ASSERT_EQ(0, symlink(name.c_str(), "korvani.ini"));
        rating_write(1.0);
        EXPECT_EQ("1.000000", bytes(name));
    }
    // A writable file in a folder that the player (nobody, when the test runs as root) cannot write to.
    WORK_DIR dir;
    put("korvani.ini", "4.000000");
    if (geteuid() == 0) {
        ASSERT_EQ(0, chown(".", nobody()->pw_uid, nobody()->pw_gid));
        ASSERT_EQ(0, chown("korvani.ini", nobody()->pw_uid, nobody()->pw_gid));
    }
    ASSERT_EQ(0, chmod(".", 0555));
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(nobody()->pw_gid) != 0 || setuid(nobody()->pw_uid) != 0)) _exit(99);
        rating_write(-3.0);
        _exit(0);
    }
    const int status = wait_child(child, "the save in a folder the player cannot write to");
    ASSERT_EQ(0, chmod(".", 0755));
    EXPECT_EQ(0, status);
    EXPECT_EQ("-3.000000", bytes("korvani.ini"));
}

TEST(RatingFile, LinksAreFollowedAsTheKernelFollowsThem) {
    {
        // 40 links in a chain, as many as the kernel follows, are read and saved through; 41 are refused.
        WORK_DIR dir;
        put("target", "3.000000");
        for (int k = 0; k < 40; ++k)
            ASSERT_EQ(0, symlink(k == 39 ? "target" : ("l" + std::to_string(k + 1)).c_str(),
                                 k == 0 ? "korvani.ini" : ("l" + std::to_string(k)).c_str()));
        app_state app{};
        rating_read(&app);
        app.rating += 0.5;
        EXPECT_EQ(1, rating_save(&app)) << app.problem;
        EXPECT_EQ("3.500000", bytes("target"));
        ASSERT_EQ(0, unlink("l39"));
        ASSERT_EQ(0, symlink("l40", "l39"));
        ASSERT_EQ(0, symlink("target", "l40"));
        EXPECT_EQ(0, rating_read(&app));
        EXPECT_STREQ("ссылки идут по кругу или их слишком много", app.problem);
    }
    if (geteuid() != 0) GTEST_SKIP() << "a link of another user needs root to make";
    // In a sticky folder that everyone may write to (as /tmp), another user planted korvani.ini as a link
    // to a file of the player's: refused, and nothing written. The folder's owner's link is followed.
    WORK_DIR dir;
    ASSERT_EQ(0, chmod(".", 01777));
    put("mine", "5.000000");
    ASSERT_EQ(0, symlink("mine", "korvani.ini"));
    ASSERT_EQ(0, lchown("korvani.ini", nobody()->pw_uid, nobody()->pw_gid));
    app_state app{};
    EXPECT_EQ(0, rating_read(&app));
    EXPECT_STREQ("ссылка чужого пользователя в общей папке", app.problem);
    app.rating = -0.5;
    EXPECT_EQ(0, rating_save(&app));
    EXPECT_EQ("5.000000", bytes("mine"));
    ASSERT_EQ(0, chown(".", nobody()->pw_uid, nobody()->pw_gid));
    EXPECT_EQ(1, rating_read(&app));
    EXPECT_EQ(5.0, app.rating);
    // The same in a folder without the sticky bit that a group may write to.
    ASSERT_EQ(0, chown(".", 0, 0));
    ASSERT_EQ(0, chmod(".", 0775));
    EXPECT_EQ(0, rating_read(&app));
    EXPECT_STREQ("ссылка чужого пользователя в общей папке", app.problem);
    ASSERT_EQ(0, chmod(".", 01777));
    // Nor is a file that another user planted there, writable by all, written in place by the player.
    ASSERT_EQ(0, chown(".", 0, 0));
    ASSERT_EQ(0, unlink("korvani.ini"));
    put("korvani.ini", "5.000000");
    ASSERT_EQ(0, chmod("korvani.ini", 0666));
    ASSERT_EQ(0, chown("korvani.ini", getpwnam("daemon")->pw_uid, getpwnam("daemon")->pw_gid));
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        if (setgid(nobody()->pw_gid) != 0 || setuid(nobody()->pw_uid) != 0) _exit(99);
        rating_read(&app);
        app.rating += 0.5;
        _exit(rating_save(&app));
    }
    EXPECT_EQ(0, WEXITSTATUS(wait_child(child, "the player's save")));
    EXPECT_EQ("5.000000", bytes("korvani.ini"));

    // Nor is such a link followed when it is swapped in after the name was found to be a plain file: a
    // second process puts the two in the name's place in turn while the rating is read again and again.
    ASSERT_EQ(0, unlink("korvani.ini"));
    put("korvani.ini", "1.000000");
    race(
        [] {
            put("file.new", "1.000000");
            return symlink("mine", "link.new") == 0 && lchown("link.new", nobody()->pw_uid, nobody()->pw_gid) == 0 &&
                   rename("link.new", "korvani.ini") == 0 && rename("file.new", "korvani.ini") == 0;
        },
        false, [](int, double value) { return value == 5.0; });
}

TEST(RatingSave, RootLeavesTheUsersFileTheUsers) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can save a file of another user";
    WORK_DIR dir;
    put("korvani.ini", "1.000000");
    ASSERT_EQ(0, chown("korvani.ini", nobody()->pw_uid, nobody()->pw_gid));
    ASSERT_EQ(0, chmod("korvani.ini", 0600));
    rating_write(2.0);
    struct stat info {};
    ASSERT_EQ(0, stat("korvani.ini", &info));
    EXPECT_EQ(nobody()->pw_uid, info.st_uid);
    EXPECT_EQ(nobody()->pw_gid, info.st_gid);
    EXPECT_EQ(0600u, info.st_mode & 07777);
    // A file root makes anew in a folder of the user's is the user's too. (The lock file root made while
    // the folder was its own goes with it: the user's saves would find another user's lock file.)
    ASSERT_EQ(0, unlink("korvani.ini"));
    ASSERT_EQ(0, chown(".", nobody()->pw_uid, nobody()->pw_gid));
    ASSERT_EQ(0, chown("korvani.ini.lock", nobody()->pw_uid, nobody()->pw_gid));
    rating_write(3.0);
    ASSERT_EQ(0, stat("korvani.ini", &info));
    EXPECT_EQ(nobody()->pw_uid, info.st_uid);
}

TEST(RatingSave, AWriteInPlaceThatAFileSizeLimitWouldCutIsNotBegun) {
    // A read-only folder, so that the file is written in place, and a limit of 2 bytes: before, the write
    // was begun and cut, leaving "9..000000".
    WORK_DIR dir;
    put("korvani.ini", "10.000000");
    std::fill(std::begin(step_or_kill), std::end(step_or_kill), 0);
    step_or_kill[RATING_STEP_CREATE] = EACCES;
    app_state app{};
    rating_read(&app);
    app.rating -= 0.5;
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit normal{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &normal));
    const rlimit limit{2, normal.rlim_max};
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
    rating_write_fault = answer_or_kill;
    EXPECT_EQ(0, rating_save(&app));
    rating_write_fault = nullptr;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &normal));
    EXPECT_STREQ("превышен размер файла", app.problem);
    EXPECT_EQ("10.000000", bytes("korvani.ini"));
    EXPECT_EQ(ONLY_THE_FILE, entries());
    step_or_kill[RATING_STEP_CREATE] = 0;
}

namespace {

// A folder of its own in /tmp for one case, with the owner, group and mode given, removed afterwards.
struct OWN_DIR {
    std::string path;
    OWN_DIR(uid_t owner, gid_t group, mode_t mode) {
        char pattern[] = "/tmp/korvani-own-XXXXXX";
        path = mkdtemp(pattern);
        EXPECT_EQ(0, chown(path.c_str(), owner, group));
        EXPECT_EQ(0, chmod(path.c_str(), mode));
    }
    ~OWN_DIR() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    OWN_DIR(const OWN_DIR &) = delete;
    OWN_DIR &operator=(const OWN_DIR &) = delete;
};

// A link made by root and given to uid.
void link_as(const std::string &target, const std::string &link, uid_t uid) {
    ASSERT_EQ(0, symlink(target.c_str(), link.c_str())) << link;
    ASSERT_EQ(0, lchown(link.c_str(), uid, static_cast<gid_t>(-1))) << link;
}

// A group that neither nobody nor daemon is in, with no name.
const gid_t STRANGERS = 4242;

} // namespace

TEST(RatingSave, RootInAUsersFolderReachesOnlyWhatTheUserCould) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can follow a link where its owner could not";
    // sudo korvani where a user's links or folders lie on the way to korvani.ini, and the user points them
    // into a folder only root may write (think /etc) or only a group she is not in may write: the save
    // creates nothing there and leaves root's number there alone.
    const uid_t her = nobody()->pw_uid;
    const uid_t him = getpwnam("daemon")->pw_uid;
    const OWN_DIR root_only(0, 0, 0700);
    const OWN_DIR group_only(0, STRANGERS, 0770);
    put(root_only.path + "/rating", "7.000000");
    const struct {
        const char *what;
        uid_t folder_owner; // of the folder root plays in
        gid_t folder_group;
        mode_t folder_mode;
        std::vector<std::pair<std::string, std::string>> links; // name in the play folder ("U/" her folder), target
        std::vector<uid_t> owners;                               // of each link
        const char *problem;
    } cases[] = {
        {"her korvani.ini in her folder, to a new file", her, 0, 0755, {{"korvani.ini", "R/nologin"}}, {her}, "нет доступа"},
        {"her korvani.ini in her folder, to root's number", her, 0, 0755, {{"korvani.ini", "R/rating"}}, {her}, "нет доступа"},
        {"root's link to her file, which she made a link", 0, 0, 0700,
         {{"korvani.ini", "U/korvani.ini"}, {"U/korvani.ini", "R/nologin"}}, {0, her}, "нет доступа"},
        {"a folder on the way swapped for her link, in root's group-writable folder", 0, STRANGERS, 02775,
         {{"korvani.ini", "data/korvani.ini"}, {"data", "U"}, {"U/korvani.ini", "R/nologin"}}, {0, her, her},
         "ссылка чужого пользователя в общей папке"},
        {"her folder carries a group she is not in", her, STRANGERS, 02755, {{"korvani.ini", "G/nologin"}}, {her},
         "нет доступа"},
        {"a second user's folder after hers", 0, 0, 0700,
         {{"korvani.ini", "U/korvani.ini"}, {"U/korvani.ini", "D/korvani.ini"}}, {0, her}, "нет доступа"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        WORK_DIR dir;
        const OWN_DIR hers(her, nobody()->pw_gid, 0755);
        const OWN_DIR his(him, getpwnam("daemon")->pw_gid, 0777);
        ASSERT_EQ(0, chown(".", c.folder_owner, c.folder_group));
        ASSERT_EQ(0, chmod(".", c.folder_mode));
        // "U" is her folder, "D" his, "R" the root-only one and "G" the group's.
        const std::map<char, std::string> folders = {
            {'U', hers.path}, {'D', his.path}, {'R', root_only.path}, {'G', group_only.path}};
        const auto real = [&](const std::string &path) {
            const auto folder = folders.find(path[0]);
            return folder == folders.end() ? path : folder->second + path.substr(1);
        };
        for (size_t k = 0; k < c.links.size(); ++k) link_as(real(c.links[k].second), real(c.links[k].first), c.owners[k]);
        app_state app{};
        rating_read(&app);
        app.rating += 0.5;
        EXPECT_EQ(0, rating_save(&app));
        EXPECT_STREQ(c.problem, app.problem);
        for (const std::string &made : {his.path + "/korvani.ini", root_only.path + "/nologin", group_only.path + "/nologin"})
            EXPECT_FALSE(std::filesystem::remove(made)) << made;
    }
    // Her link exchanged with root's own, over and over, while root saves: what is judged is what is
    // followed.
    {
        WORK_DIR dir;
        ASSERT_EQ(0, chown(".", 0, STRANGERS));
        ASSERT_EQ(0, chmod(".", 02775));
        put("mine", "1.000000");
        link_as("mine", "korvani.ini", 0);
        link_as(root_only.path + "/nologin", "hers", her);
        // A save would create the file; a read that finds none went through her link ("mine" is there).
        race([] { return renameat2(AT_FDCWD, "korvani.ini", AT_FDCWD, "hers", RENAME_EXCHANGE) == 0; }, true,
             [](int found, double) { return found == RATING_MISSING; });
    }
    EXPECT_FALSE(std::filesystem::exists(root_only.path + "/nologin"));
    EXPECT_EQ("7.000000", bytes(root_only.path + "/rating"));
    // Root is root again once the save is done.
    put(root_only.path + "/after", "x");
    EXPECT_EQ("x", bytes(root_only.path + "/after"));
}

TEST(RatingSave, NoOtherUserCanHoldTheLockAndAFolderThePlayerCannotReadIsLockedToo) {
    // The player is nobody when the test runs as root, whose rights pass every permission.
    WORK_DIR dir;
    put("korvani.ini", "1.000000");
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(0, chown(".", nobody()->pw_uid, nobody()->pw_gid));
    }
    // Another user holds a lock on the folder, as anyone who may read it could (it was the saves' lock),
    // and the folder is made one the player may write but not read (0300).
    const int folder = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_EQ(0, flock(folder, LOCK_SH));
    ASSERT_EQ(0, chmod(".", 0300));
    // Two copies of the game, 100 changes each: every one is kept (before: "файл заблокирован" at each
    // save; unheld, the 0300 folder went unlocked and lost about half of them).
    std::fflush(nullptr);
    const pid_t player = fork();
    if (player == 0) {
        if (root && (setgroups(0, nullptr) != 0 || setgid(nobody()->pw_gid) != 0 || setuid(nobody()->pw_uid) != 0))
            _exit(99);
        const pid_t other = fork();
        if (other == 0) _exit(add_half_points(100));
        const int failed = add_half_points(100);
        _exit(failed + WEXITSTATUS(wait_child(other, "the other copy")));
    }
    EXPECT_EQ(0, WEXITSTATUS(wait_child(player, "the player's two copies")));
    close(folder);
    ASSERT_EQ(0, chmod(".", 0755));
    EXPECT_EQ("101.000000", bytes("korvani.ini"));
    // The lock file is the player's and private: no other user may open it, let alone lock it.
    struct stat lock {};
    ASSERT_EQ(0, lstat("korvani.ini.lock", &lock));
    EXPECT_EQ(0600u, lock.st_mode & 07777);
    EXPECT_EQ(root ? nobody()->pw_uid : geteuid(), lock.st_uid);
}

TEST(RatingSave, WhatElseStandsAtTheLocksNameFailsTheSaveWithTheReason) {
    const char *const NOT_A_FILE = "на месте korvani.ini.lock не файл";
    std::vector<CASE> cases = {
        {"a link", "4.000000", {}, nullptr, RATING_SAVE_FAILED, "4.000000", true, NOT_A_FILE,
         [] { ASSERT_EQ(0, symlink("korvani.ini", "korvani.ini.lock")); }},
        {"a FIFO", "4.000000", {}, nullptr, RATING_SAVE_FAILED, "4.000000", true, NOT_A_FILE,
         [] { ASSERT_EQ(0, mkfifo("korvani.ini.lock", 0600)); }},
    };
    // Another user's lock file, which only a folder that others may write lets them make.
    if (geteuid() == 0)
        cases.push_back({"another user's file", "4.000000", {}, nullptr, RATING_SAVE_FAILED, "4.000000", true,
                         "korvani.ini.lock чужого пользователя", [] {
                             put("korvani.ini.lock", "");
                             ASSERT_EQ(0, chown("korvani.ini.lock", getpwnam("daemon")->pw_uid, 0));
                         }});
    for (const CASE &c : cases) run(c);
}

TEST(RatingSave, TheFilesAccessListAndAttributesAreKeptAndNoneIsAdded) {
    WORK_DIR dir;
    put("korvani.ini", "1.000000");
    ASSERT_EQ(0, chmod("korvani.ini", 0644));
    if (std::system("setfacl -m u:daemon:---,u:nobody:rw korvani.ini") != 0) GTEST_SKIP() << "no ACLs here";
    ASSERT_EQ(0, setxattr("korvani.ini", "user.note", "mine", 4, 0));
    const auto attribute = [](const char *name) {
        char value[256];
        const ssize_t length = getxattr("korvani.ini", name, value, sizeof value);
        return length < 0 ? std::string("<none>") : std::string(value, length);
    };
    const std::string list = attribute("system.posix_acl_access");
    rating_write(2.0);
    EXPECT_EQ(list, attribute("system.posix_acl_access")) << "daemon kept out, nobody let in";
    EXPECT_EQ("mine", attribute("user.note"));
    // The folder's default list is not given to a file that did not have one.
    ASSERT_EQ(0, std::system("setfacl -b korvani.ini && setfacl -d -m u:daemon:rw ."));
    rating_write(3.0);
    EXPECT_EQ("<none>", attribute("system.posix_acl_access"));
}

TEST(RatingSave, RootMakesTheUsersNewFileInTheUsersOwnGroup) {
    if (geteuid() != 0) GTEST_SKIP() << "only root can save in another user's folder";
    // A throwaway user whose second group owns her folder, not setgid: under umask 002 that group could
    // rewrite her rating. With the setgid bit the folder's group is what she asked for.
    struct THROWAWAY {
        std::string name = "korvani-t" + std::to_string(getpid());
        THROWAWAY() {
            EXPECT_EQ(0, std::system(("groupadd " + name + " && useradd -M -N -g nogroup -G " + name + " " + name).c_str()));
        }
        ~THROWAWAY() { EXPECT_EQ(0, std::system(("userdel " + name + " && groupdel " + name).c_str())); }
    } user;
    const passwd *her = getpwnam(user.name.c_str());
    const group *second = getgrnam(user.name.c_str());
    ASSERT_TRUE(her && second);
    const mode_t mask = umask(002);
    for (const mode_t mode : {0775, 02775}) {
        WORK_DIR dir;
        ASSERT_EQ(0, chown(".", her->pw_uid, second->gr_gid));
        ASSERT_EQ(0, chmod(".", mode));
        rating_write(1.0);
        struct stat info {};
        ASSERT_EQ(0, stat("korvani.ini", &info));
        EXPECT_EQ(her->pw_uid, info.st_uid);
        EXPECT_EQ(mode & S_ISGID ? second->gr_gid : her->pw_gid, info.st_gid) << "folder mode " << std::oct << mode;
    }
    umask(mask);
}

TEST(RatingSave, AFolderThatKeepsWhatIsMadeInItIsNotFilledWithNewFiles) {
    // An append-only folder (chattr +a) lets a new file be made but neither renamed nor removed: each
    // save used to leave one behind for good. It is written in place at once.
    WORK_DIR dir;
    put("korvani.ini", "1.000000");
    if (std::system("chattr +a . 2>/dev/null") != 0) GTEST_SKIP() << "no append-only folders here (root, ext4)";
    for (const double rating : {2.0, 3.0, 4.0, 5.0, 6.0}) rating_write(rating);
    const std::vector<std::string> left = entries();
    ASSERT_EQ(0, std::system("chattr -a ."));
    EXPECT_EQ("6.000000", bytes("korvani.ini"));
    EXPECT_EQ(ONLY_THE_FILE, left);
}
