#include "app/icon.h"

#include <cmath>
#include <cstdint>

namespace {

struct RGB {
    int r, g, b;
};

const RGB WOOD{226, 184, 110};
const RGB EDGE{120, 80, 30};
const RGB INK{0, 0, 0};
const RGB SNOW{255, 255, 255};

// Five lines six pixels apart: a 5 x 5 board.
const int GRID_FIRST = 4;
const int GRID_STEP = 6;
const int GRID_LINES = 5;

// The picture is drawn for a square of ICON_SIZE times this many pixels: every length is that many times
// longer, so a scaled screen gets as sharp an icon as an unscaled one.
int scale = 1;
int side() { return ICON_SIZE * scale; }

void put(unsigned char *rgba, int x, int y, RGB c, double alpha) {
    unsigned char *p = rgba + 4 * (y * side() + x);
    p[0] = static_cast<unsigned char>(std::lround(p[0] * (1 - alpha) + c.r * alpha));
    p[1] = static_cast<unsigned char>(std::lround(p[1] * (1 - alpha) + c.g * alpha));
    p[2] = static_cast<unsigned char>(std::lround(p[2] * (1 - alpha) + c.b * alpha));
    p[3] = 255;
}

// A disc with smooth edges: each pixel's coverage from 4 x 4 samples.
void disc(unsigned char *rgba, double cx, double cy, double radius, RGB c) {
    cx *= scale;
    cy *= scale;
    radius *= scale;
    for (int y = 0; y < side(); ++y) {
        for (int x = 0; x < side(); ++x) {
            int inside = 0;
            for (int sy = 0; sy < 4; ++sy) {
                for (int sx = 0; sx < 4; ++sx) {
                    const double dx = x + (sx + 0.5) / 4 - cx;
                    const double dy = y + (sy + 0.5) / 4 - cy;
                    if (dx * dx + dy * dy <= radius * radius) ++inside;
                }
            }
            if (inside) put(rgba, x, y, c, inside / 16.0);
        }
    }
}

void stone(unsigned char *rgba, int i, int j, bool white) {
    const double cx = GRID_FIRST + j * GRID_STEP + 0.5;
    const double cy = GRID_FIRST + i * GRID_STEP + 0.5;
    if (white) {
        disc(rgba, cx, cy, 3.2, INK);
        disc(rgba, cx, cy, 2.4, SNOW);
    } else {
        disc(rgba, cx, cy, 3.2, INK);
    }
}

void append_u32(std::string &out, uint32_t v) {
    out += static_cast<char>(v >> 24);
    out += static_cast<char>(v >> 16);
    out += static_cast<char>(v >> 8);
    out += static_cast<char>(v);
}

uint32_t crc32(const std::string &bytes, size_t from) {
    uint32_t crc = 0xffffffffu;
    for (size_t k = from; k < bytes.size(); ++k) {
        crc ^= static_cast<unsigned char>(bytes[k]);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void chunk(std::string &png, const char *type, const std::string &data) {
    append_u32(png, static_cast<uint32_t>(data.size()));
    const size_t start = png.size();
    png += type;
    png += data;
    append_u32(png, crc32(png, start));
}

} // namespace

void icon_pixels(unsigned char *rgba, int times) {
    scale = times < 1 ? 1 : times;
    const int n = side();
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            const bool edge = x < scale || y < scale || x >= n - scale || y >= n - scale;
            unsigned char *p = rgba + 4 * (y * n + x);
            const RGB c = edge ? EDGE : WOOD;
            p[0] = static_cast<unsigned char>(c.r);
            p[1] = static_cast<unsigned char>(c.g);
            p[2] = static_cast<unsigned char>(c.b);
            p[3] = 255;
        }
    }
    // Each line as wide as the scale, from the first line's first pixel to the last line's last one.
    const int first = GRID_FIRST * scale;
    const int last = (GRID_FIRST + (GRID_LINES - 1) * GRID_STEP + 1) * scale - 1;
    for (int k = 0; k < GRID_LINES; ++k) {
        for (int w = 0; w < scale; ++w) {
            const int at = (GRID_FIRST + k * GRID_STEP) * scale + w;
            for (int t = first; t <= last; ++t) {
                put(rgba, at, t, INK, 1.0);
                put(rgba, t, at, INK, 1.0);
            }
        }
    }
    // A black group short of its last dame, with the white stones around it.
    stone(rgba, 1, 1, false);
    stone(rgba, 1, 2, false);
    stone(rgba, 0, 1, true);
    stone(rgba, 0, 2, true);
    stone(rgba, 1, 0, true);
    stone(rgba, 2, 1, true);
    stone(rgba, 2, 2, true);
    stone(rgba, 3, 3, false);
}

std::string icon_png() {
    unsigned char rgba[ICON_SIZE * ICON_SIZE * 4];
    icon_pixels(rgba);

    // The image data: each row starts with filter type 0 (none).
    std::string raw;
    for (int y = 0; y < ICON_SIZE; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char *>(rgba + 4 * y * ICON_SIZE), 4 * ICON_SIZE);
    }
    // A zlib stream of one stored deflate block: 4128 bytes fit its 65535-byte limit, so no
    // compressor is needed.
    std::string zlib;
    zlib += '\x78';
    zlib += '\x01';
    zlib += '\x01'; // final block, stored
    const uint16_t len = static_cast<uint16_t>(raw.size());
    zlib += static_cast<char>(len & 0xff);
    zlib += static_cast<char>(len >> 8);
    zlib += static_cast<char>(~len & 0xff);
    zlib += static_cast<char>((~len >> 8) & 0xff);
    zlib += raw;
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    append_u32(zlib, (b << 16) | a);

    std::string header;
    append_u32(header, ICON_SIZE);
    append_u32(header, ICON_SIZE);
    header += '\x08'; // bits per sample
    header += '\x06'; // RGBA
    header += '\0';   // deflate
    header += '\0';   // adaptive filtering
    header += '\0';   // no interlace

    std::string png("\x89PNG\r\n\x1a\n", 8);
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", zlib);
    chunk(png, "IEND", "");
    return png;
}
