// The player's language on Windows: the user's language of the interface, as Windows states it, and the
// catalog of that language read by support/catalog.
#include "support/i18n.h"

#include <string>
#include <utility>

#include <windows.h>

#include "support/catalog.h"

namespace {

CATALOG catalog;

// A part of the locale's name as Windows gives it ("pt", "BR"); empty when there is none.
std::wstring locale_name(LCID lcid, LCTYPE part) {
    wchar_t name[16] = L"";
    return GetLocaleInfoW(lcid, part, name, 16) ? name : L"";
}

std::wstring exe_folder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return L"";
        if (length < path.size()) {
            path.resize(length);
            return path.substr(0, path.find_last_of(L"\\/") + 1);
        }
        path.resize(path.size() * 2);
    }
}

bool read_file(const std::wstring &path, std::string *bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool read = GetFileSizeEx(file, &size) && size.QuadPart < (1 << 24);
    if (read) {
        bytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD got = 0;
        read = bytes->empty() ||
               (ReadFile(file, &(*bytes)[0], static_cast<DWORD>(bytes->size()), &got, nullptr) && got == bytes->size());
    }
    CloseHandle(file);
    return read;
}

} // namespace

void i18n_setup() {
    const LCID lcid = MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT);
    const std::wstring language = locale_name(lcid, LOCALE_SISO639LANGNAME);
    if (language.empty()) return;
    // The names a catalog of the language may have, the most precise first: "pt_BR", then "pt".
    const std::wstring names[] = {language + L"_" + locale_name(lcid, LOCALE_SISO3166CTRYNAME), language};
    // The catalogs lie in share\locale beside the executable in the installed folder and the zip, and one
    // folder up in the build tree, as on Linux.
    const std::wstring folder = exe_folder();
    for (const wchar_t *locale : {L"share\\locale\\", L"..\\share\\locale\\"}) {
        for (const std::wstring &name : names) {
            std::string bytes;
            if (read_file(folder + locale + name + L"\\LC_MESSAGES\\korvani.mo", &bytes) &&
                catalog_load(&catalog, std::move(bytes)))
                return;
        }
    }
}

const char *i18n_text(const char *text) {
    if (!text || !text[0]) return text;
    return catalog_text(catalog, text);
}
