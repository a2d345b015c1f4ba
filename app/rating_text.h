// The rating file's text, the same on every platform: what counts as purely a rating, how the game
// writes one, and which names are a save's temporary files. Each platform's storage
// (rating_file.cpp, rating_file_win.cpp) reads and writes the bytes; this decides what they mean.
#pragma once

#include <cstddef>
#include <string>

// Puts the text into a problem of RATING_PROBLEM_MAX bytes.
void rating_problem(char *problem, const char *text);

// What the first bytes of the file say, length of them at most RATING_READ_MAX + 1 (one byte more than a
// rating file may hold tells a longer file): RATING_FOUND or RATING_MIXED with *value as rating_file_read
// promises; with RATING_MIXED the reason goes to problem.
int rating_text_parse(const char *text, size_t length, double *value, char *problem);

// The rating as the game writes it: "%f", no newline. 0 when it does not fit (it always does for a
// finite double, which has at most 309 integer digits).
int rating_text_format(double value, std::string *text);

// Whether entry is the name of a temporary file of a save of the file called name: name, the marker,
// six letters or digits.
int rating_is_temp_name(const char *entry, const std::string &name);
