#include "file_manager.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>

namespace
{
// Long enough for a file manager that the bus has to start first.
constexpr int call_timeout_ms = 8000;
} // namespace

FileManager::FileManager(QDBusConnection bus, UrlOpener open_url, QObject *parent)
    : QObject(parent), m_bus(std::move(bus)), m_open_url(std::move(open_url))
{
    if (!m_open_url)
        m_open_url = [](const QUrl &url) { return QDesktopServices::openUrl(url); };
}

QString FileManager::folder_of(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : path.left(slash + 1);
}

void FileManager::show_item(const QString &path)
{
    if (!m_bus.isConnected() || !QFileInfo::exists(path)) {
        open_folder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString()}
         << QString();
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, call_timeout_ms), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher, path] {
        watcher->deleteLater();
        if (watcher->isError()) {
            open_folder(path);
            return;
        }
        emit shown(true);
    });
}

void FileManager::open_folder(const QString &path)
{
    const QString folder = folder_of(QFileInfo(path).absoluteFilePath());
    m_open_url(QUrl::fromLocalFile(folder));
    emit shown(false);
}
