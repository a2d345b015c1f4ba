// Running a built tool as a user runs it, for the tests of the command-line tools.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct RUN {
    int status = -1; // the exit status; -1, or 128 + its number, when a signal ended the program
    std::string out;
    std::string err;
};

inline std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the program with the arguments (already quoted for the shell) and collects both streams.
inline RUN run_tool(const std::string &program, const std::string &args) {
    char out_path[] = "/tmp/korvani_tool_outXXXXXX";
    char err_path[] = "/tmp/korvani_tool_errXXXXXX";
    close(mkstemp(out_path));
    close(mkstemp(err_path));
    // A tool that never ended would hold up the whole suite without a word: ten minutes, far beyond the
    // slowest run under the sanitizers, and then the limit ends it with status 124. A run may itself be
    // timeout's (a test of an interrupt), whose 124 is its own: only the clock tells the two apart.
    const std::string command = "timeout 600 '" + program + "' " + args + " >" + out_path + " 2>" + err_path;
    const auto started = std::chrono::steady_clock::now();
    const int status = std::system(command.c_str());
    if (WIFEXITED(status) && WEXITSTATUS(status) == 124 &&
        std::chrono::steady_clock::now() - started >= std::chrono::seconds(600))
        ADD_FAILURE() << program << " " << args << " did not end within 600 s";
    RUN run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = read_file(out_path);
    run.err = read_file(err_path);
    std::remove(out_path);
    std::remove(err_path);
    return run;
}

inline std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::stringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
