// Files and folders as every test sees them, on every platform: a fresh working folder for one test,
// named in Cyrillic as a user's folder may be, a file's bytes, and the names a folder holds.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

inline long process_id() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(getpid());
#endif
}

// A fresh empty folder made the working directory; removed with its content when the object goes.
struct TEMP_DIR {
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 std::filesystem::u8path("Корвани рейтинг " + std::to_string(process_id()) + "-" +
                                                         std::to_string(++made()));
    TEMP_DIR() {
        std::filesystem::create_directory(path);
        std::filesystem::current_path(path);
    }
    ~TEMP_DIR() {
        std::error_code ignored;
        std::filesystem::current_path(previous);
        std::filesystem::remove_all(path, ignored);
    }
    TEMP_DIR(const TEMP_DIR &) = delete;
    TEMP_DIR &operator=(const TEMP_DIR &) = delete;

    // How many working folders this process has made.
    static int &made() {
        static int count = 0;
        return count;
    }
};

// The file's bytes; "<missing>" when it cannot be read.
inline std::string file_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
}

inline void write_file(const std::string &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The folder's entry names, sorted, but the rating saves' lock file korvani.ini.lock, which stays.
inline std::vector<std::string> dir_entries(const std::string &path) {
    std::vector<std::string> names;
    for (const auto &entry : std::filesystem::directory_iterator(path))
        if (entry.path().filename() != "korvani.ini.lock") names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
