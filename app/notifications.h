#pragma once
// Desktop notifications (org.freedesktop.Notifications, with the
// desktop-entry hint) for what happens while nobody looks at the main window:
// a scheduled recording starts; it ends (the file's name and length, with
// "Play" and "Show in Folder"); a recording ends by a fault (the text of the
// message box, which is shown as well). Nothing is sent while the main window
// is the active window. Calls are asynchronous; without a notification
// server they fail and nothing else happens.

#include "file_manager.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <functional>

class Tfm_main;

class Notifications : public QObject
{
    Q_OBJECT
public:
    // `looking`: whether the user has the main window in front; default: it is the active window.
    Notifications(Tfm_main &main, QDBusConnection bus, std::function<bool()> looking = {},
                  QObject *parent = nullptr);

    static inline const QString desktop_entry = QStringLiteral("com.tenvique.velquor");

private slots:
    void action_invoked(uint id, const QString &action);
    void closed(uint id, uint reason);

private:
    void scheduled_started(const QString &file);
    void scheduled_ended(const QString &file, int duration_ms);
    void recording_fault(const QString &file, const QString &text);
    void notify(const QString &summary, const QString &body, const QString &file,
                const QStringList &actions, bool urgent);

    Tfm_main &m_main;
    QDBusConnection m_bus;
    std::function<bool()> m_looking;
    FileManager m_file_manager;
    QHash<uint, QString> m_files; // the file each shown notification is about
};
