#pragma once
// What the desktop tests run the real program in: a private session bus
// (dbus-daemon), an X server when asked (Xvfb), a home and configuration of
// their own, and the tools they watch it with. Everything started is stopped
// at the end, a Velquor that a command started on its own included.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <vector>

class DesktopSession
{
public:
    explicit DesktopSession(bool x_display = false);
    ~DesktopSession();
    DesktopSession(const DesktopSession &) = delete;
    DesktopSession &operator=(const DesktopSession &) = delete;

    bool ready() const { return !bus_address.isEmpty() && (!m_x || !display.isEmpty()); }
    QString bus_address;
    QString display;
    QString out_folder() const { return m_home.filePath(QStringLiteral("out")); }
    QString path(const QString &name) const { return m_home.filePath(name); }
    QProcessEnvironment environment() const;
    // velquor.ini in the session's configuration folder; recordings go to out_folder().
    void write_settings(const QString &more = {}) const;

    struct Run {
        int code = -1;
        QString out, err;
        qint64 started_ms = 0, ended_ms = 0; // on the session's clock
    };
    Run run(const QString &program, const QStringList &args, int timeout_ms = 60000);
    Run velquor(const QStringList &args) { return run(program(), args); }
    static QString program();
    // A process kept until the end of the session (or until stopped).
    QProcess *start(const QString &program, const QStringList &args,
                    const QProcessEnvironment &extra = {});
    // The program, with nothing to do until it serves its name on the bus.
    bool start_velquor(const QProcessEnvironment &extra = {});
    bool wait_for_name(const QString &name, bool present, int timeout_ms) const;
    qint64 elapsed_ms() const;

private:
    void stop_velquor();

    bool m_x;
    QTemporaryDir m_home;
    std::vector<std::unique_ptr<QProcess>> m_processes; // in starting order
    qint64 m_started;
};
