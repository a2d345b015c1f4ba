#include "support/catalog.h"

#include <cstdint>
#include <cstring>
#include <utility>

namespace {

const uint32_t MAGIC = 0x950412de;

// A .mo file's numbers are 32 bits in the byte order of the machine that wrote it, told by the magic
// number; read here as either.
uint32_t number(const std::string &bytes, size_t at, bool swapped) {
    uint32_t value = 0;
    std::memcpy(&value, bytes.data() + at, 4);
    if (swapped)
        value = (value >> 24) | ((value >> 8) & 0xff00) | ((value << 8) & 0xff0000) | (value << 24);
    return value;
}

// The text of entry k of the table at table (its length, then its offset), or null when it does not lie
// whole in the file with its terminating zero.
const char *entry(const std::string &bytes, uint32_t table, uint32_t k, bool swapped) {
    const uint64_t at = table + uint64_t{8} * k;
    if (at + 8 > bytes.size()) return nullptr;
    const uint64_t length = number(bytes, at, swapped);
    const uint64_t offset = number(bytes, at + 4, swapped);
    if (offset + length >= bytes.size() || bytes[offset + length] != '\0') return nullptr;
    return bytes.data() + offset;
}

} // namespace

bool catalog_load(CATALOG *catalog, std::string bytes) {
    catalog->texts.clear();
    catalog->bytes = std::move(bytes);
    const std::string &b = catalog->bytes;
    // magic, revision, count, the source texts' table, the translations' table (a hash table follows,
    // which is not needed here).
    if (b.size() < 20) return false;
    const bool swapped = number(b, 0, false) != MAGIC;
    if (number(b, 0, swapped) != MAGIC) return false;
    const uint32_t count = number(b, 8, swapped);
    const uint32_t sources = number(b, 12, swapped);
    const uint32_t translations = number(b, 16, swapped);
    for (uint32_t k = 0; k < count; ++k) {
        const char *source = entry(b, sources, k, swapped);
        const char *translation = entry(b, translations, k, swapped);
        if (!source || !translation) {
            catalog->texts.clear();
            return false;
        }
        if (source[0] && translation[0]) catalog->texts.emplace(source, translation);
    }
    return true;
}

const char *catalog_text(const CATALOG &catalog, const char *text) {
    const auto found = catalog.texts.find(text);
    return found == catalog.texts.end() ? text : found->second;
}
