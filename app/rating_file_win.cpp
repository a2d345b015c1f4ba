// The rating file's storage on Windows: the promises of rating_file.h, kept with Windows' own calls.
// Every path is wide, so a folder named in Cyrillic or any other script works whatever the system's code
// page, and absolute with the \\?\ prefix, so that the longer name of the new file beside the rating file
// meets no MAX_PATH limit.
#include "app/rating_file.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include <windows.h>

#include "app/rating_text.h"

const char *const RATING_FILE = "korvani.ini";
const char *const RATING_TEMP_MARKER = ".korvani-save-";

int (*rating_write_fault)(int step) = nullptr;

namespace {

// A file that another program holds open (an antivirus scan, an indexer, a backup) is usually let go
// within tens of milliseconds: opening or replacing it is tried again this many times, 10 ms apart, or as
// many times as the caller waits for the lock when that is more.
const int HELD_TRIES = 10;

// The reason for the user, from the error of the call that failed.
void set_problem_error(char *problem, DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED: rating_problem(problem, "нет доступа"); break;
    case ERROR_SHARING_VIOLATION: rating_problem(problem, "файл открыт другой программой"); break;
    case ERROR_LOCK_VIOLATION: rating_problem(problem, "файл заблокирован другой программой"); break;
    case ERROR_FILE_READ_ONLY: rating_problem(problem, "файл только для чтения"); break;
    case ERROR_WRITE_PROTECT: rating_problem(problem, "диск защищён от записи"); break;
    // A disk quota reached is reported as a full disk too.
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: rating_problem(problem, "нет места на диске"); break;
    case ERROR_IO_DEVICE:
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE: rating_problem(problem, "ошибка чтения или записи диска"); break;
    case ERROR_NOT_READY: rating_problem(problem, "диск не готов"); break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: rating_problem(problem, "нет папки, в которой он лежит"); break;
    case ERROR_FILENAME_EXCED_RANGE: rating_problem(problem, "слишком длинное имя файла"); break;
    case ERROR_INVALID_NAME: rating_problem(problem, "недопустимое имя файла"); break;
    case ERROR_NOT_SAME_DEVICE: rating_problem(problem, "файл на другом диске"); break;
    case ERROR_CANT_RESOLVE_FILENAME: rating_problem(problem, "ссылки идут по кругу или их слишком много"); break;
    case ERROR_DELETE_PENDING: rating_problem(problem, "файл удаляется другой программой"); break;
    case ERROR_FILE_INVALID: rating_problem(problem, "файл заменён другой программой"); break;
    case ERROR_TOO_MANY_OPEN_FILES: rating_problem(problem, "открыто слишком много файлов"); break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: rating_problem(problem, "не хватает памяти"); break;
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_SEM_TIMEOUT: rating_problem(problem, "сетевой диск недоступен"); break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED: rating_problem(problem, "система не позволяет заменить файл"); break;
    // The system's own text is in the system's language and its own code page: the number says enough.
    default: std::snprintf(problem, RATING_PROBLEM_MAX, "ошибка Windows %lu", static_cast<unsigned long>(error)); break;
    }
}

// A failing disk or network: nothing more is written, not even in place, where it could tear the file.
bool device_failing(DWORD error) {
    switch (error) {
    case ERROR_IO_DEVICE:
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_SEM_TIMEOUT: return true;
    default: return false;
    }
}

bool disk_full(DWORD error) { return error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL; }

// Another program has the file open in a way that keeps this one out for now.
bool held_elsewhere(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

int step_fails(int step) {
    const int error = rating_write_fault ? rating_write_fault(step) : 0;
    if (error) SetLastError(error == 1 ? ERROR_IO_DEVICE : static_cast<DWORD>(error));
    return error != 0;
}

std::wstring wide(const char *text) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(length > 0 ? length : 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &out[0], length);
    out.resize(out.size() - 1);
    return out;
}

std::string utf8(const std::wstring &text) {
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(length > 0 ? length : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, &out[0], length, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

std::wstring folder_of(const std::wstring &path) { return path.substr(0, path.rfind(L'\\')); }

std::wstring name_of(const std::wstring &path) { return path.substr(path.rfind(L'\\') + 1); }

// The rating file's name in the working folder as a \\?\ path. Should the working folder be gone, the
// bare name: every call then fails with the reason.
std::wstring rating_path() {
    const std::wstring name = wide(RATING_FILE);
    const DWORD size = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    std::wstring full(size + 1, L'\0');
    const DWORD length = size ? GetFullPathNameW(name.c_str(), size + 1, &full[0], nullptr) : 0;
    if (length == 0 || length > size) return name;
    full.resize(length);
    if (full.compare(0, 4, L"\\\\?\\") == 0) return full;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// Where the rating file really lies. Windows follows a symbolic link when it opens a name, but
// MoveFileExW would replace the link itself with a plain file: a save works beside the file the link
// names. A link to nothing is left to be replaced by the first save, as the rating is then 0.
int resolve_rating_path(std::wstring *path, char *problem) {
    *path = rating_path();
    const DWORD attributes = GetFileAttributesW(path->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 1;
    const HANDLE file = CreateFileW(path->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 1;
        set_problem_error(problem, error);
        return 0;
    }
    const DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    std::wstring final(size + 1, L'\0');
    const DWORD length =
        size ? GetFinalPathNameByHandleW(file, &final[0], size + 1, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS) : 0;
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (length == 0 || length > size) {
        set_problem_error(problem, error);
        return 0;
    }
    final.resize(length);
    *path = final;
    return 1;
}

// What a save needs to know of a file: which file it is (the volume's serial number and the file's index
// on it name one file for as long as it exists), its attributes and its size.
struct FILE_INFO {
    DWORD volume;
    ULONGLONG index;
    DWORD attributes;
    ULONGLONG size;
};

int describe(HANDLE file, FILE_INFO *info) {
    BY_HANDLE_FILE_INFORMATION about{};
    if (!GetFileInformationByHandle(file, &about)) return 0;
    info->volume = about.dwVolumeSerialNumber;
    info->index = (static_cast<ULONGLONG>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
    info->attributes = about.dwFileAttributes;
    info->size = (static_cast<ULONGLONG>(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    return 1;
}

bool same_file(const FILE_INFO &a, const FILE_INFO &b) { return a.volume == b.volume && a.index == b.index; }

// Opens an existing file, trying again while another program holds it.
HANDLE open_existing(const std::wstring &path, DWORD access, int tries) {
    for (int k = 0;; ++k) {
        const HANDLE file = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE || !held_elsewhere(GetLastError()) || k + 1 >= tries) return file;
        Sleep(10);
    }
}

// Reads the file at path: only the first RATING_READ_MAX bytes, and only of a file on a disk (nothing
// else can stand at a file's name on Windows but a folder). *info gets what the handle says of it, and
// *held whether it went unread only because another program holds it.
int read_at(const std::wstring &path, double *value, FILE_INFO *info, char *problem, bool *held = nullptr) {
    *value = 0.0;
    *info = FILE_INFO{};
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        info->attributes = attributes;
        rating_problem(problem, "на его месте папка");
        return RATING_UNREADABLE;
    }
    const HANDLE file = open_existing(path, GENERIC_READ, HELD_TRIES);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return RATING_MISSING;
        set_problem_error(problem, error);
        if (held) *held = held_elsewhere(error);
        return RATING_UNREADABLE;
    }
    if (GetFileType(file) != FILE_TYPE_DISK || !describe(file, info) || (info->attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        rating_problem(problem, "это не обычный файл");
        CloseHandle(file);
        return RATING_UNREADABLE;
    }
    char text[RATING_READ_MAX + 1];
    DWORD length = 0;
    while (length < sizeof text) {
        DWORD done = 0;
        if (!ReadFile(file, text + length, sizeof text - length, &done, nullptr)) {
            set_problem_error(problem, GetLastError());
            CloseHandle(file);
            return RATING_UNREADABLE;
        }
        if (done == 0) break;
        length += done;
    }
    CloseHandle(file);
    return rating_text_parse(text, length, value, problem);
}

// Another copy of the game saving the same file takes the same lock, so that each adds its change to
// what the other saved: one byte of a lock file beside the rating file, locked with LockFileEx. Windows
// lets go of it when the handle is closed or the process ends however it ends, and a copy on another
// machine saving over the network respects it too. The lock file stays: were it removed, two copies
// could lock two different files. It is hidden, so that the folder shows the rating file alone.
// Returns the lock file's handle, or INVALID_HANDLE_VALUE when no lock file can be made there (a
// folder the player cannot write to: the save goes on unlocked, as it will write in place if at all);
// *held is set when another holds the lock after every try.
HANDLE lock_beside(const std::wstring &path, int tries, int *held) {
    *held = 0;
    const std::wstring name = path + L".lock";
    for (int k = 0; k < tries || k == 0; ++k) {
        if (k > 0) Sleep(10);
        // Not shared for deleting: nobody removes it while a save holds it.
        const HANDLE lock = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
        if (lock == INVALID_HANDLE_VALUE) {
            if (held_elsewhere(GetLastError())) continue;
            return INVALID_HANDLE_VALUE;
        }
        OVERLAPPED at{};
        if (LockFileEx(lock, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return lock;
        const DWORD error = GetLastError();
        CloseHandle(lock);
        if (!held_elsewhere(error)) return INVALID_HANDLE_VALUE; // a file system without locks: save unlocked
    }
    *held = 1;
    return INVALID_HANDLE_VALUE;
}

int write_at(HANDLE file, ULONGLONG offset, const std::string &text) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    if (!WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &done, &at)) return 0;
    if (done != text.size()) {
        SetLastError(ERROR_HANDLE_DISK_FULL); // a disk file is written short only when it is full
        return 0;
    }
    return 1;
}

int cut_at(HANDLE file, ULONGLONG length) {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(length);
    return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
}

// Six letters or digits for a temporary file's name. CREATE_NEW makes the name unique; this only makes
// a clash with another copy's name unlikely.
std::wstring random_letters() {
    static const char LETTERS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    static LONG counter = 0;
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    ULONGLONG mixed = static_cast<ULONGLONG>(now.QuadPart) ^ (static_cast<ULONGLONG>(GetCurrentProcessId()) << 32) ^
                      (static_cast<ULONGLONG>(InterlockedIncrement(&counter)) << 48);
    // SplitMix64's finaliser spreads every bit of the inputs over all six letters.
    mixed = (mixed ^ (mixed >> 30)) * 0xBF58476D1CE4E5B9ULL;
    mixed = (mixed ^ (mixed >> 27)) * 0x94D049BB133111EBULL;
    mixed ^= mixed >> 31;
    std::wstring out;
    for (int k = 0; k < 6; ++k, mixed /= 62) out += static_cast<wchar_t>(LETTERS[mixed % 62]);
    return out;
}

// Removes the temporary files that saves killed half way left behind. A save in progress keeps its file
// open without sharing it for deletion, so only files nobody holds are removed; nothing without the
// marker is ever touched.
void remove_stray_temps(const std::wstring &path) {
    const std::wstring folder = folder_of(path);
    const std::string name = utf8(name_of(path));
    WIN32_FIND_DATAW entry{};
    const HANDLE listing = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (listing == INVALID_HANDLE_VALUE) return;
    do {
        if ((entry.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) ||
            !rating_is_temp_name(utf8(entry.cFileName).c_str(), name))
            continue;
        const HANDLE stray = CreateFileW((folder + L"\\" + entry.cFileName).c_str(), DELETE, 0, nullptr,
                                         OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
        if (stray != INVALID_HANDLE_VALUE) CloseHandle(stray);
    } while (FindNextFileW(listing, &entry));
    FindClose(listing);
}

// How a replacement went: done, refused before anything was written over (the new file could not be
// made, written for want of space, or moved: the file may still be written in place), or failed.
enum { REPLACE_DONE, REPLACE_REFUSED, REPLACE_FAILED };

int refused_unless_failing(DWORD error) { return device_failing(error) ? REPLACE_FAILED : REPLACE_REFUSED; }

// Replaces the file at path with the text: a new file beside it with the old one's attributes, forced to
// disk and moved over it with write-through. *error gets the failing call's error.
int replace_file(const std::wstring &path, const std::string &text, const FILE_INFO *old, int tries, DWORD *error) {
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = old && (old->attributes & kept) ? old->attributes & kept : FILE_ATTRIBUTE_NORMAL;
    std::wstring temp;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (!step_fails(RATING_STEP_CREATE)) {
        for (int k = 0; k < 100 && file == INVALID_HANDLE_VALUE; ++k) {
            temp = path + wide(RATING_TEMP_MARKER) + random_letters();
            // Not shared for deleting while it is written: another copy's clean-up leaves it alone.
            file = CreateFileW(temp.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, attributes, nullptr);
            if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return refused_unless_failing(*error);
    }
    FILE_INFO made{};
    const bool written = !step_fails(RATING_STEP_WRITE) && write_at(file, 0, text);
    const bool synced = written && !step_fails(RATING_STEP_SYNC) && FlushFileBuffers(file);
    if (!synced || !describe(file, &made) || step_fails(RATING_STEP_CLOSE)) {
        *error = GetLastError();
        CloseHandle(file);
        DeleteFileW(temp.c_str());
        // A full disk stopped the new file: the old one, written in place, needs no more room.
        return disk_full(*error) ? REPLACE_REFUSED : REPLACE_FAILED;
    }
    if (!CloseHandle(file)) {
        *error = GetLastError();
        DeleteFileW(temp.c_str());
        return REPLACE_FAILED;
    }
    for (int k = 0;; ++k) {
        if (!step_fails(RATING_STEP_RENAME) &&
            MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return REPLACE_DONE;
        *error = GetLastError();
        // A file held open without sharing it for deletion cannot be replaced: Windows says so with
        // ERROR_ACCESS_DENIED, as for a file the player may not replace. Both are tried again a while.
        if (!held_elsewhere(*error) && *error != ERROR_ACCESS_DENIED) break;
        if (k + 1 >= tries) break;
        Sleep(10);
    }
    // The move may have been done though it was reported failed (on a network share whose answer was
    // lost): then the new file is at the name, and calling the save failed would keep the change pending
    // and add it a second time at the next save.
    const HANDLE now = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    FILE_INFO there{};
    const bool moved = now != INVALID_HANDLE_VALUE && describe(now, &there) && same_file(there, made);
    if (now != INVALID_HANDLE_VALUE) CloseHandle(now);
    if (moved) return REPLACE_DONE;
    DeleteFileW(temp.c_str());
    return refused_unless_failing(*error);
}

// Writes the text over the file at path itself, when it cannot be replaced, so that at every moment it
// holds one number: the old one or the new one. The new number, padded with blanks to the old length, is
// written in one write at the start; a write that fails or stops short gets the old bytes back over it
// and the old length, and the save fails with the old rating kept. Once the padded number is written the
// rating is saved: the cut to the number's length only tidies. The file must still be the one read.
int write_in_place(const std::wstring &path, const std::string &text, const FILE_INFO &old, int tries, DWORD *error) {
    const HANDLE file = open_existing(path, GENERIC_READ | GENERIC_WRITE, tries);
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return 0;
    }
    FILE_INFO now{};
    std::string before(RATING_READ_MAX + 1, '\0');
    DWORD length = 0;
    if (!describe(file, &now) || !same_file(now, old) || now.size > RATING_READ_MAX ||
        !ReadFile(file, &before[0], static_cast<DWORD>(before.size()), &length, nullptr) || length != now.size) {
        *error = ERROR_FILE_INVALID; // replaced or changed under the save: left alone
        CloseHandle(file);
        return 0;
    }
    before.resize(length);
    std::string padded = text;
    if (padded.size() < before.size()) padded.append(before.size() - padded.size(), ' ');
    // A longer number needs room: refused before anything is written when the player (after any quota)
    // has less free space than it adds.
    ULARGE_INTEGER free{};
    if (padded.size() > before.size() && GetDiskFreeSpaceExW((folder_of(path) + L"\\").c_str(), &free, nullptr, nullptr) &&
        free.QuadPart < padded.size() - before.size()) {
        *error = ERROR_DISK_FULL;
        CloseHandle(file);
        return 0;
    }
    bool whole = false;
    if (step_fails(RATING_STEP_PLACE_WRITE)) {
        // As a write cut short: half of the text is over the old one.
        const DWORD failure = GetLastError();
        write_at(file, 0, padded.substr(0, padded.size() / 2));
        SetLastError(failure);
    } else {
        whole = write_at(file, 0, padded);
    }
    if (!whole) {
        *error = GetLastError();
        // Part of the write may have reached the file though the call failed: all the old bytes go back.
        write_at(file, 0, before);
        cut_at(file, before.size());
        FlushFileBuffers(file);
        CloseHandle(file);
        return 0;
    }
    if (FlushFileBuffers(file) && !step_fails(RATING_STEP_PLACE_CUT) && cut_at(file, text.size()))
        FlushFileBuffers(file);
    CloseHandle(file);
    return 1;
}

} // namespace

int rating_file_read(double *value, char *problem) {
    *value = 0.0;
    std::wstring path;
    if (!resolve_rating_path(&path, problem)) return RATING_UNREADABLE;
    FILE_INFO info{};
    return read_at(path, value, &info, problem);
}

int rating_file_save(double rating, double change, int absolute, int lock_tries, double *stored, char *problem) {
    std::wstring path;
    if (!resolve_rating_path(&path, problem)) return RATING_SAVE_FAILED;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        rating_problem(problem, "на его месте папка");
        return RATING_SAVE_FAILED;
    }
    int held = 0;
    const HANDLE lock = lock_beside(path, lock_tries, &held);
    if (held) {
        rating_problem(problem, "файл заблокирован");
        return RATING_LOCKED;
    }
    double on_disk = 0.0;
    FILE_INFO info{};
    bool read_held = false;
    const int found = read_at(path, &on_disk, &info, problem, &read_held);
    // Held open by another program: tried again soon, as a held lock is.
    int result = read_held ? RATING_LOCKED : RATING_SAVE_FAILED;
    // A file that is there but cannot be read, or holds more than a rating, is the user's: never replaced.
    if (found == RATING_MISSING || found == RATING_FOUND) {
        const double value = absolute ? rating : on_disk + change;
        const int tries = std::max(lock_tries, static_cast<int>(HELD_TRIES));
        const FILE_INFO *old = found == RATING_FOUND ? &info : nullptr;
        std::string number;
        DWORD error = ERROR_IO_DEVICE;
        bool saved = false;
        // Made read-only on purpose: Windows would refuse to replace it (Wine would not), and it is not
        // written in place either.
        if (old && (old->attributes & FILE_ATTRIBUTE_READONLY)) {
            error = ERROR_FILE_READ_ONLY;
        } else if (rating_text_format(value, &number)) {
            const int replaced = replace_file(path, number, old, tries, &error);
            saved = replaced == REPLACE_DONE;
            if (replaced == REPLACE_REFUSED && old) {
                DWORD place_error = error;
                // Held by another program, the file has been waited for already while it was being replaced.
                const bool waited = held_elsewhere(error) || error == ERROR_ACCESS_DENIED;
                saved = write_in_place(path, number, info, waited ? 1 : tries, &place_error);
                // Not writable in place either: the first reason says best why, unless the file is held.
                if (!saved && place_error != ERROR_ACCESS_DENIED) error = place_error;
            }
        }
        if (saved) {
            *stored = value;
            result = RATING_SAVED;
        } else {
            set_problem_error(problem, error);
            if (held_elsewhere(error)) result = RATING_LOCKED;
        }
    }
    // The new rating is saved, moved or in place; what follows only tidies up and cannot lose it. The
    // move was written through to the disk already: the folder needs no forcing of its own.
    if (result == RATING_SAVED && !step_fails(RATING_STEP_CLEAN)) remove_stray_temps(path);
    if (result == RATING_SAVED) step_fails(RATING_STEP_SYNC_FOLDER);
    if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock); // and with it the lock
    return result;
}
