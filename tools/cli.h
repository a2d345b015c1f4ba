// What the command-line tools share: one way to refuse bad arguments and to read a number.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

struct CLI {
    const char *program; // the name the error line starts with
    const char *usage;   // the usage line printed after it
};

// One error line, the usage line, status 2.
[[noreturn]] inline void cli_fail(const CLI &cli, const std::string &message) {
    std::fprintf(stderr, "%s: %s\n%s\n", cli.program, message.c_str(), cli.usage);
    std::exit(2);
}

// A whole decimal number from low to high, or fail with what was wrong.
inline long cli_number(const CLI &cli, const char *option, const char *text, long low, long high) {
    const std::string what = std::string(option) + " takes a whole number from " + std::to_string(low) + " to " +
                             std::to_string(high) + ", not \"" + text + "\"";
    if (text[0] < '0' || text[0] > '9') cli_fail(cli, what); // no sign, no blank
    errno = 0;
    char *end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) cli_fail(cli, what);
    return value;
}
