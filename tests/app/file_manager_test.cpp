// Go to the Folder: the desktop's file manager on a private session bus, and
// the default handler when none answers. Names with spaces, quotes and ';'.
#include "app_harness.h"

#include "file_manager.h"
#include "recordlist.h"
#include "test_support.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

namespace
{

// A dbus-daemon of the test's own, knowing no services.
class PrivateBus
{
public:
    PrivateBus()
    {
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly))
            return;
        f.write(QStringLiteral("<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                               "<auth>EXTERNAL</auth><policy context=\"default\">"
                               "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>")
                    .arg(m_dir.path())
                    .toUtf8());
        f.close();
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config,
                        QStringLiteral("--print-address"), QStringLiteral("--nofork")});
        if (m_daemon.waitForStarted(5000) && m_daemon.waitForReadyRead(5000))
            address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    QString address;

private:
    QTemporaryDir m_dir;
    QProcess m_daemon;
};

class FakeFileManager : public QDBusVirtualObject
{
public:
    std::vector<QStringList> calls;
    QString introspect(const QString &) const override
    {
        return QStringLiteral("<interface name=\"org.freedesktop.FileManager1\">"
                              "<method name=\"ShowItems\"><arg type=\"as\" direction=\"in\"/>"
                              "<arg type=\"s\" direction=\"in\"/></method></interface>");
    }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.interface() != QLatin1String("org.freedesktop.FileManager1") ||
            message.member() != QLatin1String("ShowItems"))
            return false;
        calls.push_back(message.arguments().value(0).toStringList());
        connection.send(message.createReply());
        return true;
    }
};

struct FolderCase {
    const char *name;
    bool file_manager_running;
    bool file_exists;
};

class GoToTheFolder : public ::testing::TestWithParam<FolderCase>
{
};

TEST_P(GoToTheFolder, ShowsTheFileOrOpensItsFolderWithoutAShell)
{
    const FolderCase &c = GetParam();
    PrivateBus bus;
    ASSERT_FALSE(bus.address.isEmpty()) << "dbus-daemon did not start";
    const QString tag = QString::fromLatin1(c.name);
    QDBusConnection program =
        QDBusConnection::connectToBus(bus.address, tag + QStringLiteral("-program"));
    QDBusConnection fm_connection =
        QDBusConnection::connectToBus(bus.address, tag + QStringLiteral("-fm"));
    ASSERT_TRUE(program.isConnected());
    FakeFileManager fake;
    if (c.file_manager_running) {
        ASSERT_TRUE(fm_connection.registerService(QStringLiteral("org.freedesktop.FileManager1")));
        ASSERT_TRUE(fm_connection.registerVirtualObject(
            QStringLiteral("/org/freedesktop/FileManager1"), &fake));
    }

    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("My Recorder 'x'; \"y\" $(z)"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/take 1; rm -rf.mp3");
    if (c.file_exists) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    std::vector<QUrl> opened;
    int outcomes = 0;
    Tfm_list list;
    auto manager = std::make_unique<FileManager>(program, [&](const QUrl &url) {
        opened.push_back(url);
        return true;
    });
    QObject::connect(manager.get(), &FileManager::shown, [&] { ++outcomes; });
    list.set_file_manager(std::move(manager));
    list.append_entry(QStringLiteral("take 1; rm -rf.mp3"), file, QStringLiteral("00:00:01"));
    list.select(0);
    list.pmPopup();
    ASSERT_TRUE(list.GototheFolder1->isEnabled());
    list.GototheFolder1->trigger();
    ASSERT_TRUE(test_support::wait_until([&] { return outcomes > 0; }, 10000));

    if (c.file_manager_running && c.file_exists) {
        ASSERT_EQ(fake.calls.size(), 1u);
        EXPECT_EQ(fake.calls[0], QStringList{QUrl::fromLocalFile(file).toString()});
        EXPECT_TRUE(opened.empty());
    } else {
        EXPECT_TRUE(fake.calls.empty());
        ASSERT_EQ(opened.size(), 1u);
        EXPECT_EQ(opened[0], QUrl::fromLocalFile(folder + QStringLiteral("/")));
        EXPECT_EQ(opened[0].toLocalFile(), folder + QStringLiteral("/"));
    }
    if (c.file_manager_running)
        fm_connection.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
    QDBusConnection::disconnectFromBus(tag + QStringLiteral("-program"));
    QDBusConnection::disconnectFromBus(tag + QStringLiteral("-fm"));
}

INSTANTIATE_TEST_SUITE_P(Paths, GoToTheFolder,
                         ::testing::Values(FolderCase{"FileManagerShowsTheFile", true, true},
                                           FolderCase{"NoFileManagerOpensTheFolder", false, true},
                                           FolderCase{"MissingFileOpensTheFolder", true, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
