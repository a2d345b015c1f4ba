// The rating file's storage primitives on Windows (rating_store.h). Every path is wide, so a folder
// named in Cyrillic or any other script works whatever the system's code page, and absolute with the
// \\?\ prefix, so that the longer name of the new file beside the rating file meets no MAX_PATH limit.
#include "app/rating_store.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include <windows.h>

#include "app/rating_file.h"
#include "app/rating_text.h"
#include "support/i18n.h"

namespace {

RATING_FAULT fault_of_error(DWORD error) {
    RATING_FAULT fault;
    fault.code = static_cast<long>(error);
    switch (error) {
    case ERROR_ACCESS_DENIED: fault.kind = FAULT_ACCESS; break;
    case ERROR_SHARING_VIOLATION: fault.kind = FAULT_HELD; break;
    case ERROR_LOCK_VIOLATION: fault.kind = FAULT_HELD_LOCKED; break;
    case ERROR_FILE_READ_ONLY: fault.kind = FAULT_READ_ONLY_FILE; break;
    case ERROR_WRITE_PROTECT: fault.kind = FAULT_READ_ONLY_DISK; break;
    // A disk quota reached is reported as a full disk too.
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: fault.kind = FAULT_FULL; break;
    case ERROR_IO_DEVICE:
    case ERROR_CRC:
    case ERROR_SEEK:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE: fault.kind = FAULT_DEVICE; break;
    case ERROR_NOT_READY: fault.kind = FAULT_NOT_READY; break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: fault.kind = FAULT_NO_FOLDER; break;
    case ERROR_FILENAME_EXCED_RANGE: fault.kind = FAULT_NAME_TOO_LONG; break;
    case ERROR_INVALID_NAME: fault.kind = FAULT_BAD_NAME; break;
    case ERROR_NOT_SAME_DEVICE: fault.kind = FAULT_OTHER_DISK; break;
    case ERROR_CANT_RESOLVE_FILENAME: fault.kind = FAULT_LOOP; break;
    case ERROR_DELETE_PENDING: fault.kind = FAULT_DELETING; break;
    case ERROR_FILE_INVALID: fault.kind = FAULT_CHANGED; break;
    case ERROR_TOO_MANY_OPEN_FILES: fault.kind = FAULT_TOO_MANY_FILES; break;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: fault.kind = FAULT_MEMORY; break;
    case ERROR_BAD_NETPATH:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_SEM_TIMEOUT: fault.kind = FAULT_NETWORK; break;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED: fault.kind = FAULT_UNSUPPORTED; break;
    default: fault.kind = FAULT_SYSTEM; break;
    }
    return fault;
}

RATING_FAULT last_fault() { return fault_of_error(GetLastError()); }

// Another program has the file open in a way that keeps this one out for now.
bool held_elsewhere(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

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
// Whether the working folder is Windows' own or its system folder: where Windows (and Wine) start a
// program whose folder cannot be used (a path too long, a folder gone). Nobody keeps a rating there, and
// a save there would go where the player never looks: the rating is not kept, and the window says why.
bool in_system_folder() {
    wchar_t here[MAX_PATH + 1];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH + 1, here);
    if (length == 0 || length > MAX_PATH) return false; // a long folder of the player's own
    for (UINT (*system)(wchar_t *, UINT) : {GetWindowsDirectoryW, GetSystemDirectoryW}) {
        wchar_t folder[MAX_PATH + 1];
        const UINT got = system(folder, MAX_PATH + 1);
        if (got > 0 && got <= MAX_PATH && CompareStringOrdinal(here, -1, folder, -1, TRUE) == CSTR_EQUAL) return true;
    }
    return false;
}

int resolve_rating_path(std::wstring *path, RATING_FAULT *fault) {
    if (in_system_folder()) {
        fault->kind = FAULT_SYSTEM_FOLDER;
        return 0;
    }
    *path = rating_path();
    const DWORD attributes = GetFileAttributesW(path->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return 1;
    const HANDLE file = CreateFileW(path->c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 1;
        *fault = fault_of_error(error);
        return 0;
    }
    const DWORD size = GetFinalPathNameByHandleW(file, nullptr, 0, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    std::wstring final(size + 1, L'\0');
    const DWORD length =
        size ? GetFinalPathNameByHandleW(file, &final[0], size + 1, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS) : 0;
    const DWORD error = GetLastError();
    CloseHandle(file);
    if (length == 0 || length > size) {
        *fault = fault_of_error(error);
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
    DWORD links; // its names
};

int describe(HANDLE file, FILE_INFO *info) {
    BY_HANDLE_FILE_INFORMATION about{};
    if (!GetFileInformationByHandle(file, &about)) return 0;
    info->volume = about.dwVolumeSerialNumber;
    info->index = (static_cast<ULONGLONG>(about.nFileIndexHigh) << 32) | about.nFileIndexLow;
    info->attributes = about.dwFileAttributes;
    info->size = (static_cast<ULONGLONG>(about.nFileSizeHigh) << 32) | about.nFileSizeLow;
    info->links = about.nNumberOfLinks;
    return 1;
}

bool same_file(const FILE_INFO &a, const FILE_INFO &b) { return a.volume == b.volume && a.index == b.index; }

// Opens an existing file, sharing it with every other program. Once: where another program holds it,
// the save's policy tries again.
HANDLE open_existing(const std::wstring &path, DWORD access) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}


// Writes length bytes at offset; the bytes written. A disk file is written short only when it is full.
DWORD write_bytes(HANDLE file, ULONGLONG offset, const char *text, size_t length) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD done = 0;
    if (!WriteFile(file, text, static_cast<DWORD>(length), &done, &at)) return 0;
    if (done != length) SetLastError(ERROR_HANDLE_DISK_FULL);
    return done;
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

} // namespace

struct RATING_STORE {
    std::wstring path;                  // where the rating file lies, links followed
    HANDLE lock = INVALID_HANDLE_VALUE; // the lock file (or the rating file itself), once opened
    ULONGLONG lock_at = 0;              // the byte of it locked
    FILE_INFO old{};                    // the file read
    ~RATING_STORE() {
        if (lock != INVALID_HANDLE_VALUE) CloseHandle(lock); // and with it the lock
    }
};

RATING_FAULT rating_fault_of_code(long code) { return fault_of_error(code == 1 ? ERROR_IO_DEVICE : static_cast<DWORD>(code)); }

// The system's own text is in the system's language and its own code page: the number says enough.
void rating_fault_system_words(long code, char *problem) {
    std::snprintf(problem, RATING_PROBLEM_MAX, _("ошибка Windows %lu"), static_cast<unsigned long>(code));
}

RATING_STORE *rating_store_open(RATING_FAULT *fault) {
    RATING_STORE *store = new RATING_STORE;
    if (resolve_rating_path(&store->path, fault)) return store;
    delete store;
    return nullptr;
}

void rating_store_close(RATING_STORE *store) { delete store; }

// Nothing but a folder can stand at a file's name on Windows.
int rating_store_kind(RATING_STORE *store) {
    const DWORD attributes = GetFileAttributesW(store->path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return STORE_NOTHING;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? STORE_FOLDER : STORE_FILE;
}

namespace {

// Opens what the save locks: the hidden file korvani.ini.lock beside the rating file, made where it is
// missing. The lock is one byte of it, locked with LockFileEx; Windows lets go of it when the handle is
// closed or the process ends however it ends, and a copy on another machine saving over the network
// respects it too. The lock file stays: were it removed, two copies could lock two different files. Where
// the folder lets no file be made, no new file can be moved over the rating file there either: the save
// can only write it in place, and a byte of the file itself, far beyond its end, is what it locks.
int open_lock(RATING_STORE *store, RATING_FAULT *fault) {
    const std::wstring name = store->path + L".lock";
    // Not shared for deleting: nobody removes it while a save holds it.
    store->lock = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN, nullptr);
    store->lock_at = 0;
    if (store->lock == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        const DWORD there = GetFileAttributesW(name.c_str());
        if (there == INVALID_FILE_ATTRIBUTES && (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)) {
            store->lock = open_existing(store->path, GENERIC_READ);
            store->lock_at = 0x7FFFFFFFFFFFFFFEULL;
            if (store->lock == INVALID_HANDLE_VALUE) *fault = fault_of_error(error);
            return store->lock != INVALID_HANDLE_VALUE;
        }
        const bool folder = there != INVALID_FILE_ATTRIBUTES && (there & FILE_ATTRIBUTE_DIRECTORY);
        fault->kind = held_elsewhere(error) ? FAULT_LOCKED : folder ? FAULT_LOCK_NOT_A_FILE : FAULT_LOCK_UNMADE;
        fault->code = static_cast<long>(error);
        return 0;
    }
    if (GetFileType(store->lock) == FILE_TYPE_DISK) return 1;
    fault->kind = FAULT_LOCK_NOT_A_FILE;
    return 0;
}

} // namespace

// Where it cannot be had, or something else stands at its name, the save fails and says so: unlocked,
// two copies' games would rest on timing.
int rating_store_lock(RATING_STORE *store, RATING_FAULT *fault) {
    if (store->lock == INVALID_HANDLE_VALUE && !open_lock(store, fault)) {
        if (store->lock != INVALID_HANDLE_VALUE) CloseHandle(store->lock);
        store->lock = INVALID_HANDLE_VALUE;
        return fault->kind == FAULT_LOCKED ? LOCK_HELD : LOCK_FAILED;
    }
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(store->lock_at);
    at.OffsetHigh = static_cast<DWORD>(store->lock_at >> 32);
    if (LockFileEx(store->lock, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) return LOCK_TAKEN;
    const DWORD error = GetLastError();
    *fault = RATING_FAULT{held_elsewhere(error) ? FAULT_LOCKED : FAULT_LOCK_UNMADE, static_cast<long>(error)};
    return held_elsewhere(error) ? LOCK_HELD : LOCK_FAILED; // else a file system without locks
}

// Only a file on a disk is read: only its first size bytes.
int rating_store_read(RATING_STORE *store, char *text, size_t size, size_t *length, RATING_FAULT *fault) {
    *length = 0;
    const DWORD attributes = GetFileAttributesW(store->path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        fault->kind = FAULT_FOLDER;
        return READ_FAILED;
    }
    const HANDLE file = open_existing(store->path, GENERIC_READ);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return READ_MISSING;
        *fault = fault_of_error(error);
        return READ_FAILED;
    }
    int found = READ_DONE;
    if (GetFileType(file) != FILE_TYPE_DISK || !describe(file, &store->old) ||
        (store->old.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        fault->kind = FAULT_NOT_A_FILE;
        found = READ_FAILED;
    }
    while (found == READ_DONE && *length < size) {
        DWORD done = 0;
        if (!ReadFile(file, text + *length, static_cast<DWORD>(size - *length), &done, nullptr)) {
            *fault = last_fault();
            found = READ_FAILED;
        }
        if (done == 0) break;
        *length += done;
    }
    CloseHandle(file);
    return found;
}

// Made read-only on purpose: Windows would refuse to replace it (Wine would not).
bool rating_store_may_replace(const RATING_STORE *store, RATING_FAULT *fault) {
    if (!(store->old.attributes & FILE_ATTRIBUTE_READONLY)) return true;
    fault->kind = FAULT_READ_ONLY_FILE;
    return false;
}

bool rating_store_may_write_in_place(const RATING_STORE *) { return true; }

unsigned long rating_store_links(const RATING_STORE *store) { return store->old.links ? store->old.links : 1; }

// Windows has no append-only folders; a folder whose access list lets files be made but not deleted is
// found by the first save there.
bool rating_store_keeps_new_files(const RATING_STORE *) { return false; }

std::string rating_store_folder_id(const RATING_STORE *store) { return utf8(folder_of(store->path)); }

struct RATING_NEW {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring path;
    FILE_INFO made{};
    bool renamed = false;
};

// The new file keeps the old one's hidden, system and archive attributes; its permissions are those the
// folder gives any new file.
RATING_NEW *rating_new_make(RATING_STORE *store, RATING_FAULT *fault) {
    const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                       FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    const DWORD attributes = store->old.attributes & kept ? store->old.attributes & kept : FILE_ATTRIBUTE_NORMAL;
    RATING_NEW *made = new RATING_NEW;
    for (int k = 0; k < 100 && made->file == INVALID_HANDLE_VALUE; ++k) {
        made->path = store->path + wide(RATING_TEMP_MARKER) + random_letters();
        // Not shared for deleting while it is written: another copy's clean-up leaves it alone.
        made->file = CreateFileW(made->path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW, attributes, nullptr);
        if (made->file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
    if (made->file != INVALID_HANDLE_VALUE) return made;
    *fault = last_fault();
    delete made;
    return nullptr;
}

int rating_new_write(RATING_NEW *file, const std::string &text, RATING_FAULT *fault) {
    if (write_bytes(file->file, 0, text.data(), text.size()) == text.size()) return 1;
    *fault = last_fault();
    return 0;
}

int rating_new_sync(RATING_NEW *file, RATING_FAULT *fault) {
    if (FlushFileBuffers(file->file) && describe(file->file, &file->made)) return 1;
    *fault = last_fault();
    return 0;
}

int rating_new_close(RATING_NEW *file, RATING_FAULT *fault) {
    const HANDLE handle = file->file;
    file->file = INVALID_HANDLE_VALUE;
    if (CloseHandle(handle)) return 1;
    *fault = last_fault();
    return 0;
}

// Moved over the old file with write-through, so the folder needs no forcing of its own. A file held open
// without sharing it for deletion cannot be replaced: Windows says so with ERROR_ACCESS_DENIED, as for a
// file the player may not replace; both are worth another try soon.
int rating_new_rename(RATING_STORE *store, RATING_NEW *file, RATING_FAULT *fault) {
    if (MoveFileExW(file->path.c_str(), store->path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        file->renamed = true;
        return RENAME_DONE;
    }
    const DWORD error = GetLastError();
    *fault = fault_of_error(error);
    return held_elsewhere(error) || error == ERROR_ACCESS_DENIED ? RENAME_AGAIN : RENAME_REFUSED;
}

// The new file's volume serial number and file index name it.
int rating_new_landed(RATING_STORE *store, RATING_NEW *file) {
    const HANDLE now = CreateFileW(store->path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    FILE_INFO there{};
    file->renamed = now != INVALID_HANDLE_VALUE && describe(now, &there) && same_file(there, file->made);
    if (now != INVALID_HANDLE_VALUE) CloseHandle(now);
    return file->renamed;
}

int rating_new_drop(RATING_STORE *, RATING_NEW *file) {
    if (file->file != INVALID_HANDLE_VALUE) CloseHandle(file->file);
    const int gone = file->renamed || DeleteFileW(file->path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    delete file;
    return gone;
}

struct RATING_OLD {
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring folder;
    ~RATING_OLD() {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
};

RATING_OLD *rating_old_open(RATING_STORE *store, std::string *before, RATING_FAULT *fault) {
    RATING_OLD *old = new RATING_OLD;
    old->folder = folder_of(store->path);
    old->file = open_existing(store->path, GENERIC_READ | GENERIC_WRITE);
    if (old->file == INVALID_HANDLE_VALUE) {
        *fault = last_fault();
        delete old;
        return nullptr;
    }
    FILE_INFO now{};
    before->assign(RATING_READ_MAX + 1, '\0');
    DWORD length = 0;
    if (!describe(old->file, &now) || !same_file(now, store->old) || now.size > RATING_READ_MAX ||
        !ReadFile(old->file, &(*before)[0], static_cast<DWORD>(before->size()), &length, nullptr) || length != now.size) {
        fault->kind = FAULT_CHANGED;
        delete old;
        return nullptr;
    }
    before->resize(length);
    return old;
}

// There is no file-size limit: a longer number needs room, refused before anything is written when the
// player (after any quota) has less free space than it adds.
int rating_old_room(RATING_OLD *file, size_t length, size_t old_length, RATING_FAULT *fault) {
    ULARGE_INTEGER free{};
    if (length <= old_length || !GetDiskFreeSpaceExW((file->folder + L"\\").c_str(), &free, nullptr, nullptr) ||
        free.QuadPart >= length - old_length)
        return 1;
    *fault = fault_of_error(ERROR_DISK_FULL);
    return 0;
}

size_t rating_old_write(RATING_OLD *file, const char *text, size_t length, RATING_FAULT *fault) {
    const DWORD done = write_bytes(file->file, 0, text, length);
    if (done < length) *fault = last_fault();
    return done;
}

int rating_old_sync(RATING_OLD *file) { return FlushFileBuffers(file->file) != 0; }

int rating_old_cut(RATING_OLD *file, size_t length) { return cut_at(file->file, length); }

void rating_old_close(RATING_OLD *file) { delete file; }

// Removes the temporary files that saves killed half way left behind. A save in progress keeps its file
// open without sharing it for deletion, so only files nobody holds are removed; nothing without the
// marker is ever touched.
void rating_store_remove_strays(RATING_STORE *store) {
    const std::wstring folder = folder_of(store->path);
    const std::string name = utf8(name_of(store->path));
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

// The move was written through to the disk already.
void rating_store_sync_folder(RATING_STORE *) {}
