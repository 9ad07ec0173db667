#pragma once
// FileManager: shows a file in the user's file manager. The desktop's
// org.freedesktop.FileManager1.ShowItems call on the session bus opens the
// folder with the file selected (Files, Dolphin, Nemo, Thunar...); when no
// file manager answers, the folder opens with the desktop's default handler.
// No shell is involved, so any file name works. User-interface thread; the
// bus call is asynchronous and never blocks the window.

#include <QDBusConnection>
#include <QObject>
#include <QUrl>
#include <functional>

class FileManager : public QObject
{
    Q_OBJECT
public:
    using UrlOpener = std::function<bool(const QUrl &)>;
    // Defaults: the session bus and QDesktopServices::openUrl.
    explicit FileManager(QDBusConnection bus = QDBusConnection::sessionBus(),
                         UrlOpener open_url = {}, QObject *parent = nullptr);

    void show_item(const QString &path);
    // The folder part of a path with its trailing separator, as the list shows it.
    static QString folder_of(const QString &path);

signals:
    // The outcome, for whoever wants to know: true when the file manager took the call.
    void shown(bool by_file_manager);

private:
    void open_folder(const QString &path);

    QDBusConnection m_bus;
    UrlOpener m_open_url;
};
