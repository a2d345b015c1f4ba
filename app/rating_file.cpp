// The rating file's read and save, the same on every platform: the sequence and the promises of
// rating_file.h, over the primitives of rating_store.h that each platform keeps in its own file.
#include "app/rating_file.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/rating_store.h"
#include "app/rating_text.h"
#include "support/i18n.h"

const char *const RATING_FILE = "korvani.ini";
const char *const RATING_TEMP_MARKER = ".korvani-save-";

int (*rating_write_fault)(int step) = nullptr;

namespace {

// The reason for the user, one row a kind, translated by word() into the player's language. The usual
// errors have words of the game's own, not the system's: Windows' texts are in the system's language
// and code page, not the player's.
struct FAULT_WORDS {
    int kind;
    const char *words;
};
constexpr FAULT_WORDS WORDS[] = {
    {FAULT_ACCESS, N_("нет доступа")},
    {FAULT_READ_ONLY_DISK, N_("диск только для чтения")},
    {FAULT_READ_ONLY_FILE, N_("файл только для чтения")},
    {FAULT_FULL, N_("нет места на диске")},
    {FAULT_QUOTA, N_("превышена квота диска")},
    {FAULT_TOO_BIG, N_("превышен размер файла")},
    {FAULT_DEVICE, N_("ошибка чтения или записи диска")},
    {FAULT_NOT_READY, N_("диск не готов")},
    {FAULT_NETWORK, N_("сетевой диск недоступен")},
    {FAULT_LOOP, N_("ссылки идут по кругу или их слишком много")},
    {FAULT_LOCKED, N_("файл заблокирован")},
    {FAULT_HELD, N_("файл открыт другой программой")},
    {FAULT_HELD_LOCKED, N_("файл заблокирован другой программой")},
    {FAULT_BUSY, N_("файл занят системой")},
    {FAULT_TEXT_BUSY, N_("файл занят")},
    {FAULT_NAME_TOO_LONG, N_("слишком длинное имя файла")},
    {FAULT_BAD_NAME, N_("недопустимое имя файла")},
    {FAULT_NO_FOLDER, N_("нет папки, в которой он лежит")},
    {FAULT_NOT_A_FOLDER, N_("в пути к нему не папка")},
    {FAULT_OTHER_DISK, N_("файл на другом диске")},
    {FAULT_DELETING, N_("файл удаляется другой программой")},
    {FAULT_CHANGED, N_("файл заменён другой программой")},
    {FAULT_TOO_MANY_FILES, N_("открыто слишком много файлов")},
    {FAULT_MEMORY, N_("не хватает памяти")},
    {FAULT_UNSUPPORTED, N_("система не позволяет заменить файл")},
    {FAULT_FOLDER, N_("на его месте папка")},
    {FAULT_NOT_A_FILE, N_("это не обычный файл")},
    {FAULT_FOREIGN_LINK, N_("ссылка чужого пользователя в общей папке")},
    {FAULT_LOCK_NOT_A_FILE, N_("на месте korvani.ini.lock не файл")},
    {FAULT_LOCK_UNMADE, N_("нельзя создать korvani.ini.lock")},
    {FAULT_LOCK_FOREIGN, N_("korvani.ini.lock чужого пользователя")},
    {FAULT_LINKED, N_("у файла есть другие жёсткие ссылки")},
    {FAULT_SYSTEM_FOLDER, N_("игра запущена из папки Windows")},
};

// Every kind but FAULT_NONE and FAULT_SYSTEM (which the platform words) has exactly one row.
constexpr bool each_kind_worded_once() {
    for (int kind = FAULT_NONE + 1; kind < FAULT_SYSTEM; ++kind) {
        int rows = 0;
        for (const FAULT_WORDS &row : WORDS) rows += row.kind == kind;
        if (rows != 1) return false;
    }
    return true;
}
static_assert(each_kind_worded_once(), "each fault kind has one row of words");

void word(const RATING_FAULT &fault, char *problem) {
    for (const FAULT_WORDS &row : WORDS)
        if (row.kind == fault.kind) return rating_problem(problem, _(row.words));
    rating_fault_system_words(fault.code, problem);
}

void word(int kind, char *problem) { word(RATING_FAULT{kind, 0}, problem); }

// A failing disk or network: nothing more is written, not even in place, where it could tear the file.
bool is_failing(const RATING_FAULT &fault) { return fault.kind == FAULT_DEVICE || fault.kind == FAULT_NETWORK; }

// A full disk or quota, or a file-size limit, stops the new file; the old one, written in place with a
// number no longer than itself, needs no new block.
bool is_out_of_space(const RATING_FAULT &fault) {
    return fault.kind == FAULT_FULL || fault.kind == FAULT_QUOTA || fault.kind == FAULT_TOO_BIG;
}

// Another program holds the file: the game tries again soon, as for a held lock.
bool is_held(const RATING_FAULT &fault) { return fault.kind == FAULT_HELD || fault.kind == FAULT_HELD_LOCKED; }

// The one rule for waiting, as SQLite's busy handler keeps it: the platform never waits on another copy
// or another program (the lock, a file held open, a rename refused for a moment), it answers at once,
// and the step is tried here again every 10 ms, tries times in all (once at least). A file that another
// program holds open (an antivirus scan, an indexer, a backup) is usually let go within tens of
// milliseconds: it is tried at least HELD_TRIES times, or as many as the caller waits for the lock when
// that is more. step() answers; held_up(answer) says whether that answer is worth another try.
const int HELD_TRIES = 10;

template <typename STEP, typename HELD_UP> auto with_patience(int tries, STEP step, HELD_UP held_up) {
    for (int done = 1;; ++done) {
        const auto answer = step();
        if (!held_up(answer) || done >= tries) return answer;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int held_tries(int lock_tries) { return std::max(lock_tries, HELD_TRIES); }

// Folders found in this session to keep the new files a save makes there (a folder that lets files be
// added but neither removed nor renamed): the saves there write in place at once, so that each does not
// leave another file behind for good.
std::vector<std::string> &folders_keeping_new_files() {
    static std::vector<std::string> folders;
    return folders;
}

bool keeps_new_files(const RATING_STORE *store) {
    const std::vector<std::string> &known = folders_keeping_new_files();
    return rating_store_keeps_new_files(store) ||
           std::find(known.begin(), known.end(), rating_store_folder_id(store)) != known.end();
}

// Asks the tests' fault hook before a step: true, with the fault it stands for, when the step is to fail.
bool step_fails(int step, RATING_FAULT *fault) {
    const int answer = rating_write_fault ? rating_write_fault(step) : 0;
    if (answer) *fault = rating_fault_of_code(answer);
    return answer != 0;
}

struct STORE_CLOSE {
    void operator()(RATING_STORE *store) const { rating_store_close(store); }
};
using STORE = std::unique_ptr<RATING_STORE, STORE_CLOSE>;

// How a replacement went: done, refused before anything was written over (the new file could not be
// made, written for want of space, or renamed: the file may still be written in place), or failed
// writing the new file.
enum { REPLACE_DONE, REPLACE_REFUSED, REPLACE_FAILED };

// Replaces the rating file with the text: a new file beside it, forced to disk, closed and renamed over
// it, so that a save cut short anywhere leaves the old file whole.
int replace_file(RATING_STORE *store, const std::string &text, int tries, RATING_FAULT *fault) {
    RATING_NEW *file = step_fails(RATING_STEP_CREATE, fault) ? nullptr : rating_new_make(store, fault);
    if (!file) return is_failing(*fault) ? REPLACE_FAILED : REPLACE_REFUSED;
    const bool written = !step_fails(RATING_STEP_WRITE, fault) && rating_new_write(file, text, fault) &&
                         !step_fails(RATING_STEP_SYNC, fault) && rating_new_sync(file, fault) &&
                         !step_fails(RATING_STEP_CLOSE, fault) && rating_new_close(file, fault);
    if (!written) {
        if (!rating_new_drop(store, file)) folders_keeping_new_files().push_back(rating_store_folder_id(store));
        return is_out_of_space(*fault) ? REPLACE_REFUSED : REPLACE_FAILED;
    }
    const int moved = with_patience(
        tries,
        [&]() -> int {
            if (!step_fails(RATING_STEP_RENAME, fault)) return rating_new_rename(store, file, fault);
            return is_held(*fault) ? RENAME_AGAIN : RENAME_REFUSED;
        },
        [](int answer) { return answer == RENAME_AGAIN; });
    // Refused: the rename may have taken place all the same, its answer lost. Called a failure, the
    // change would stay pending and be added a second time by the next save.
    const bool renamed = moved == RENAME_DONE || rating_new_landed(store, file);
    // A file neither renamed nor removed stays for good: the folder keeps what is made in it, and the
    // next saves write in place at once.
    if (!rating_new_drop(store, file)) folders_keeping_new_files().push_back(rating_store_folder_id(store));
    if (renamed) return REPLACE_DONE;
    return is_failing(*fault) ? REPLACE_FAILED : REPLACE_REFUSED;
}

// Writes the text over the file read, as careful editors do when they cannot replace a file. A write
// stopped part way leaves the old rating or the new one, never a third number: the text, padded with
// blanks to the old length, is written over the old one from its start; a write the platform knows it
// cannot finish (a file-size limit, a disk without the room) is not begun, and one cut short all the same
// has the old bytes put back over what it wrote, and fails. Only once the whole text is on the disk is
// the file cut to its length. Opening it is tried as often as tries says.
int write_in_place(RATING_STORE *store, const std::string &text, int tries, RATING_FAULT *fault) {
    std::string before;
    RATING_OLD *file = with_patience(
        tries, [&] { return rating_old_open(store, &before, fault); },
        [&](const RATING_OLD *opened) { return !opened && is_held(*fault); });
    if (!file) return 0;
    std::string padded = text;
    if (padded.size() < before.size()) padded.append(before.size() - padded.size(), ' ');
    if (!rating_old_room(file, padded.size(), before.size(), fault)) {
        rating_old_close(file);
        return 0;
    }
    RATING_FAULT ignored;
    size_t written = 0;
    if (step_fails(RATING_STEP_PLACE_WRITE, fault)) // as a write cut short: half of the text is over the old
        written = rating_old_write(file, padded.data(), padded.size() / 2, &ignored);
    else
        written = rating_old_write(file, padded.data(), padded.size(), fault);
    if (written < padded.size()) {
        rating_old_write(file, before.data(), before.size(), &ignored);
        rating_old_cut(file, before.size());
        rating_old_sync(file);
        rating_old_close(file);
        return 0;
    }
    // Every reader finds the new rating from here on. Called a failure, the change would stay pending and
    // the next save would add it to the file a second time; so what fails later only leaves the blanks.
    if (rating_old_sync(file) && !step_fails(RATING_STEP_PLACE_CUT, &ignored) && rating_old_cut(file, text.size()))
        rating_old_sync(file);
    rating_old_close(file);
    return 1;
}

// What the file holds: RATING_MISSING, or a parse of its bytes, or RATING_UNREADABLE with the reason. A
// file another program holds is tried as often as tries says.
int read_rating(RATING_STORE *store, int tries, double *value, RATING_FAULT *fault, char *problem) {
    *value = 0.0;
    // One byte more than a rating file may hold tells a longer file.
    char text[RATING_READ_MAX + 1];
    size_t length = 0;
    const int read = with_patience(
        tries, [&] { return rating_store_read(store, text, sizeof text, &length, fault); },
        [&](int answer) { return answer == READ_FAILED && is_held(*fault); });
    if (read == READ_MISSING) return RATING_MISSING;
    if (read == READ_DONE) return rating_text_parse(text, length, value, problem);
    word(*fault, problem);
    return RATING_UNREADABLE;
}

} // namespace

int rating_file_read(double *value, char *problem) {
    // A link swapped in between finding the file and reading it is followed again, as if it had been
    // there from the start: followed if it may be, refused otherwise.
    for (int tries = 0;; ++tries) {
        *value = 0.0;
        RATING_FAULT fault;
        const STORE store(rating_store_open(&fault));
        if (!store) {
            word(fault, problem);
            return RATING_UNREADABLE;
        }
        const int found = read_rating(store.get(), HELD_TRIES, value, &fault, problem);
        if (found != RATING_UNREADABLE || fault.kind != FAULT_NOT_A_FILE || tries == 3) return found;
    }
}

int rating_file_save(double rating, double change, int absolute, int lock_tries, double *stored, char *problem) {
    RATING_FAULT fault;
    const STORE store(rating_store_open(&fault));
    if (!store) {
        word(fault, problem);
        return RATING_SAVE_FAILED;
    }
    // A folder, a FIFO or a device in the file's place: refused before anything is locked.
    const int there = rating_store_kind(store.get());
    if (there == STORE_FOLDER || there == STORE_OTHER) {
        word(there == STORE_FOLDER ? FAULT_FOLDER : FAULT_NOT_A_FILE, problem);
        return RATING_SAVE_FAILED;
    }
    // Another copy of the game saves under the same lock, so that each adds its change to what the other
    // saved. A lock held longer than the tries means the holder is stuck or is another program: the
    // caller tries again later instead of freezing the window. A lock that cannot be made is said, never
    // passed over: two copies' games would then rest on timing.
    const int lock = with_patience(
        lock_tries, [&] { return rating_store_lock(store.get(), &fault); },
        [](int answer) { return answer == LOCK_HELD; });
    if (lock != LOCK_TAKEN) {
        word(fault, problem);
        return lock == LOCK_HELD ? RATING_LOCKED : RATING_SAVE_FAILED;
    }
    double on_disk = 0.0;
    const int found = read_rating(store.get(), held_tries(lock_tries), &on_disk, &fault, problem);
    // Held open by another program: tried again soon, as a held lock is.
    int result = found == RATING_UNREADABLE && is_held(fault) ? RATING_LOCKED : RATING_SAVE_FAILED;
    // A file that is there but cannot be read, or holds more than a rating, is the user's: never replaced.
    if (found == RATING_MISSING || found == RATING_FOUND) {
        const double value = absolute ? rating : on_disk + change;
        const bool old = found == RATING_FOUND;
        std::string number;
        RATING_FAULT why{FAULT_DEVICE, 0};
        bool saved = false;
        if (old && !rating_store_may_replace(store.get(), &why)) {
            // Made read-only on purpose: not written in place either.
        } else if (rating_text_format(value, &number)) {
            // Where the folder keeps what is made in it, a new file would stay there for good.
            const bool keeps = keeps_new_files(store.get());
            const int replaced =
                keeps ? REPLACE_REFUSED : replace_file(store.get(), number, held_tries(lock_tries), &why);
            if (keeps) why = RATING_FAULT{FAULT_UNSUPPORTED, 0};
            saved = replaced == REPLACE_DONE;
            // A file with other names would change under them all: it is not written in place.
            if (replaced == REPLACE_REFUSED && old && rating_store_links(store.get()) > 1) {
                why = RATING_FAULT{FAULT_LINKED, 0};
            } else if (replaced == REPLACE_REFUSED && old && rating_store_may_write_in_place(store.get())) {
                RATING_FAULT place = why;
                // A file waited for already while it was being replaced is not waited for again.
                const int tries = is_held(why) || why.kind == FAULT_ACCESS ? 1 : held_tries(lock_tries);
                saved = write_in_place(store.get(), number, tries, &place);
                // Not writable in place either: the first reason says best why.
                if (!saved && place.kind != FAULT_ACCESS) why = place;
            }
        }
        if (saved) {
            *stored = value;
            result = RATING_SAVED;
        } else {
            word(why, problem);
            if (is_held(why)) result = RATING_LOCKED;
        }
    }
    // The new rating is saved, renamed or in place; what follows only tidies up and cannot lose it.
    if (result == RATING_SAVED) {
        if (!step_fails(RATING_STEP_CLEAN, &fault)) rating_store_remove_strays(store.get());
        // The rename itself reaches the disk with the folder; a folder that cannot be synced still holds it.
        if (!step_fails(RATING_STEP_SYNC_FOLDER, &fault)) rating_store_sync_folder(store.get());
    }
    return result; // the store closed, and with it the lock
}
