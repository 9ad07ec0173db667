#pragma once
// The arguments a desktop program is expected to answer from a terminal, and
// the commands for a running Velquor. Velquor ignores whatever else it is given.

#include <optional>
#include <string>

// The one line "--version" or "--help" prints, or nothing when neither was
// given (the first of the two wins). Touches no window and no sound server.
std::optional<std::string> command_line_reply(int argc, const char *const *argv);

// A command for the running instance: the first of --record, --pause, --stop,
// --toggle and --status, or none for a plain start.
enum class RemoteCommand { none, record, pause, stop, toggle, status };
RemoteCommand remote_command(int argc, const char *const *argv);
// The command's name on the bus ("record", ...).
const char *remote_command_name(RemoteCommand command);
