#pragma once
// The two arguments a desktop program is expected to answer from a terminal.
// Velquor takes no others and ignores whatever else it is given.

#include <optional>
#include <string>

// The one line "--version" or "--help" prints, or nothing when neither was
// given (the first of the two wins). Touches no window and no sound server.
std::optional<std::string> command_line_reply(int argc, const char *const *argv);
