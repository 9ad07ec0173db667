#pragma once
// Helpers shared by the test executables.

#include <QString>
#include <QTemporaryDir>
#include <functional>

namespace test_support
{

// True when the harness started a private sound server. A test that needs
// the server calls require_pulse(), which fails the test (never skips it)
// when the harness could not start one.
bool require_pulse();

// Runs the event loop until pred() holds or timeout_ms passes; returns pred().
bool wait_until(const std::function<bool()> &pred, int timeout_ms = 5000);

// Plays a sine of `seconds` into the null sink with paplay, in the
// background; returns the process id (kill_player to stop early).
qint64 play_sine(double frequency, double seconds, int rate = 44100, int channels = 2,
                 double amplitude = 0.5);
void kill_player(qint64 pid);

// The sound server's name of the null sink's monitor source.
QString null_monitor_source();

// Runs a tool of another program to check what Velquor made; exit_code -1
// when it could not be started (the test dependencies install every one).
struct ToolResult {
    int exit_code = -1;
    QString out;
    QString err;
};
ToolResult run_tool(const QString &program, const QStringList &args, int timeout_ms = 60000);

} // namespace test_support
