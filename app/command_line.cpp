#include "command_line.h"

#include <array>
#include <string_view>
#include <utility>

namespace
{

constexpr std::array<std::pair<std::string_view, RemoteCommand>, 5> commands{{
    {"--record", RemoteCommand::record},
    {"--pause", RemoteCommand::pause},
    {"--stop", RemoteCommand::stop},
    {"--toggle", RemoteCommand::toggle},
    {"--status", RemoteCommand::status},
}};

} // namespace

std::optional<std::string> command_line_reply(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (arg == "--version")
            return std::string("Velquor " VELQUOR_VERSION);
        if (arg == "--help")
            return std::string(
                "Usage: velquor [--record | --pause | --stop | --toggle | --status | --help | "
                "--version]  (a sound recorder for the desktop; the commands go to the running "
                "Velquor, --record and --toggle start it first, --status prints its state)");
        // Whatever follows "--" is not an option.
        if (arg == "--")
            break;
    }
    return std::nullopt;
}

RemoteCommand remote_command(int argc, const char *const *argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i] ? argv[i] : "";
        if (arg == "--")
            break;
        for (const auto &[name, command] : commands)
            if (arg == name)
                return command;
    }
    return RemoteCommand::none;
}

const char *remote_command_name(RemoteCommand command)
{
    for (const auto &[name, c] : commands)
        if (c == command)
            return name.data() + 2;
    return "";
}
