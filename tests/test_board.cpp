#include "tests/test_board.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "support/common.h"

namespace {

const std::string picture_chars = ".OXox@#";
const int picture_codes[] = {STONE_NONE, STONE_WHITE, STONE_BLACK, WHITE_FALSE, BLACK_FALSE, WHITE_DEAD, BLACK_DEAD};

} // namespace

BoardPtr board_from_picture(const std::string &picture) {
    std::vector<std::vector<int>> rows(1);
    for (char c : picture + "/") {
        if (c == '/' || c == '\n') {
            if (!rows.back().empty()) rows.emplace_back();
        } else if (c != ' ') {
            const size_t k = picture_chars.find(c);
            if (k == std::string::npos) ADD_FAILURE() << "unknown character '" << c << "' in " << picture;
            rows.back().push_back(k == std::string::npos ? STONE_NONE : picture_codes[k]);
        }
    }
    rows.pop_back();
    const int cols = rows.empty() ? 0 : static_cast<int>(rows[0].size());
    BoardPtr board(board_new(static_cast<int>(rows.size()), cols));
    for (size_t i = 0; i < rows.size(); ++i) {
        if (static_cast<int>(rows[i].size()) != cols) ADD_FAILURE() << "rows of unequal length in " << picture;
        for (int j = 0; j < cols && j < static_cast<int>(rows[i].size()); ++j) board->cells[i * cols + j] = rows[i][j];
    }
    return board;
}

std::string board_picture(const BOARD *board) {
    std::string text;
    for (int k = 0; k < board->rows * board->cols; ++k) {
        if (k > 0) text += k % board->cols == 0 ? " / " : " ";
        const int *code = std::find(std::begin(picture_codes), std::end(picture_codes), board->cells[k]);
        text += code == std::end(picture_codes) ? '?' : picture_chars[code - picture_codes];
    }
    return text;
}

std::string capture_stderr(const std::function<void()> &call) {
    testing::internal::CaptureStderr();
    call();
    return testing::internal::GetCapturedStderr();
}

std::string capture_stdout(const std::function<void()> &call) {
    testing::internal::CaptureStdout();
    call();
    return testing::internal::GetCapturedStdout();
}

std::string exact_text(const std::string &text) {
    std::string re = "^";
    for (char c : text) {
        if (std::string(".[]()*+?{}|^$\\").find(c) != std::string::npos) re += '\\';
        re += c;
    }
    return re + "$";
}

std::string colour_escape(int code) { return "\033[ " + std::to_string(code) + " m"; }

std::string without_escapes(const std::string &text) {
    std::string out;
    for (size_t k = 0; k < text.size(); ++k) {
        if (text[k] != '\033') out += text[k];
        else if ((k = text.find('m', k)) == std::string::npos) break;
    }
    return out;
}

TraceLevelScope::TraceLevelScope(int level) { YTraceLevel(level); }

TraceLevelScope::~TraceLevelScope() { YTraceLevel(0); }

struct Deadline::Watch {
    std::mutex lock;
    std::condition_variable left;
    bool done = false;
    std::thread thread;
};

Deadline::Deadline(int seconds, std::string what) : watch(new Watch) {
    Watch *w = watch.get();
    w->thread = std::thread([w, seconds, what] {
        std::unique_lock<std::mutex> hold(w->lock);
        if (w->left.wait_for(hold, std::chrono::seconds(seconds), [w] { return w->done; })) return;
        std::fprintf(stderr, "%s did not end within %d s\n", what.c_str(), seconds);
        std::fflush(stderr);
        std::_Exit(1);
    });
}

Deadline::~Deadline() {
    {
        const std::lock_guard<std::mutex> hold(watch->lock);
        watch->done = true;
    }
    watch->left.notify_one();
    watch->thread.join();
}

// glibc's first draw after srand(1).
bool rand_is_glibcs() {
    std::srand(1);
    return std::rand() == 1804289383;
}
