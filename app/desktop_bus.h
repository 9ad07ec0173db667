#pragma once
// One Velquor per session, and commands for it from a terminal or a desktop
// shortcut: the program owns the name com.tenvique.velquor on the session
// bus and serves a small interface of its own at /com/tenvique/velquor:
//   Activate()         the main window comes to the front
//   Command(s name)    "record", "pause", "stop" or "toggle", through the
//                      skin's dispatch; a refusal is the error
//                      com.tenvique.velquor.Error.Refused with the text the
//                      main window would have shown in its box
//   Status() -> s      the line of `velquor --status`
// Everything runs on the user-interface thread; without a session bus the
// program runs alone and the commands say they cannot reach it.

#include "command_line.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

class Tfm_main;

namespace desktop_bus
{
inline const QString service = QStringLiteral("com.tenvique.velquor");
inline const QString path = QStringLiteral("/com/tenvique/velquor");
inline const QString interface = QStringLiteral("com.tenvique.velquor");
inline const QString refused = QStringLiteral("com.tenvique.velquor.Error.Refused");

enum class Claim { owned, elsewhere, no_bus };
// Takes the name for this process; when another holds it, that one is
// asked to come to the front and `elsewhere` tells this one to end.
Claim claim_instance(QDBusConnection bus);

// `velquor --record` and the others: a console client of the running
// instance (started first for record and toggle). Its exit status: 0 done,
// 1 refused (the text on standard error), 2 no Velquor to reach.
int run_remote_command(int &argc, char **argv, RemoteCommand command);
} // namespace desktop_bus

class ControlObject : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.tenvique.velquor")
public:
    explicit ControlObject(Tfm_main &main, QObject *parent = nullptr);

public slots:
    Q_SCRIPTABLE void Activate();
    Q_SCRIPTABLE void Command(const QString &name);
    Q_SCRIPTABLE QString Status();

private:
    Tfm_main &m_main;
};
