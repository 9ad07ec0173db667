#include "command_line.h"

#include <string_view>

std::optional<std::string> command_line_reply(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (arg == "--version")
            return std::string("Velquor " VELQUOR_VERSION);
        if (arg == "--help")
            return std::string("Usage: velquor [--help | --version]  "
                               "(a sound recorder for the desktop; it takes no other arguments)");
        // Whatever follows "--" is not an option.
        if (arg == "--")
            break;
    }
    return std::nullopt;
}
