// Notifications of a scheduled start, a scheduled end and a lost device, on a
// bus of the test's own: the Notify calls as dbus-monitor sees them, a small
// notification server that invokes "Show in Folder", and a file manager that
// records the call it gets.
#include "app_harness.h"

#include "desktop_session.h"
#include "notifications.h"
#include "pulse/capture_backend.h"
#include "recordlist.h"
#include "settings_file.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QThread>
#include <QUrl>
#include <gtest/gtest.h>

namespace
{

// Keeps the arguments of every call of one method and answers it: Notify
// with a new id, ShowItems with nothing.
class FakeService : public QDBusVirtualObject
{
public:
    explicit FakeService(const char *member, bool reply_with_id)
        : m_member(QLatin1String(member)), m_reply_with_id(reply_with_id)
    {
    }
    std::vector<QVariantList> calls;
    QString introspect(const QString &) const override { return {}; }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        if (message.member() != m_member)
            return false;
        calls.push_back(message.arguments());
        connection.send(m_reply_with_id ? message.createReply(uint(calls.size()))
                                        : message.createReply());
        return true;
    }

private:
    QString m_member;
    bool m_reply_with_id;
};

enum class Event { scheduled_start, scheduled_end, device_lost };

struct NotifyRow {
    const char *name;
    Event event;
    bool looking;        // the main window is the active window
    const char *summary; // nullptr: nothing is sent
    bool show_in_folder; // offered, and invoked by the test
};

class Notify : public ::testing::TestWithParam<NotifyRow>
{
};

TEST_P(Notify, TellsTheDesktopWhileNobodyLooks)
{
    const NotifyRow &row = GetParam();
    QTemporaryDir out;
    reset_settings();
    put_setting(keys::format::path, out.path());
    put_setting(keys::format::format, QStringLiteral("2"));
    DesktopSession session;
    ASSERT_TRUE(session.ready());
    QProcess *monitor = session.start(
        QStringLiteral("dbus-monitor"),
        {QStringLiteral("--address"), session.bus_address,
         QStringLiteral("type='method_call',interface='org.freedesktop.Notifications',"
                        "member='Notify'")});
    const QString tag = QString::fromLatin1(row.name);
    QDBusConnection program = QDBusConnection::connectToBus(session.bus_address, tag + "-program");
    QDBusConnection desktop = QDBusConnection::connectToBus(session.bus_address, tag + "-desktop");
    FakeService server("Notify", true);
    FakeService files("ShowItems", false);
    ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.Notifications")));
    ASSERT_TRUE(
        desktop.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &server));
    ASSERT_TRUE(desktop.registerService(QStringLiteral("org.freedesktop.FileManager1")));
    ASSERT_TRUE(
        desktop.registerVirtualObject(QStringLiteral("/org/freedesktop/FileManager1"), &files));
    QThread::msleep(300); // dbus-monitor is listening

    if (row.event != Event::device_lost) {
        SettingsFile s(QStringLiteral("velquor.ini"));
        s.set_integer(keys::schedule::mode, 1); // every day
        s.set_time(keys::schedule::begin_time, QTime(10, 0));
        s.set_time(keys::schedule::end_time, QTime(10, 0, 2));
    }
    AppHarness app;
    Notifications notifications(*app.main, program, [&] { return row.looking; });
    QString file;
    if (row.event == Event::device_lost) {
        app.click(QStringLiteral("Record"));
        file = app.main->recording_file();
        app.push_seconds(0.4);
        app.settle();
        app.capture->fail(CaptureBackend::device_lost);
    } else {
        app.clock->time = QDateTime(app.clock->time.date(), QTime(10, 0, 0, 300));
        app.main->TimerTimer();
        ASSERT_TRUE(app.main->recording);
        file = app.main->recording_file();
        if (row.event == Event::scheduled_end) {
            app.push_seconds(2.2);
            app.settle();
        }
    }
    test_support::wait_until([&] { return !server.calls.empty(); }, row.summary ? 5000 : 1000);
    if (!row.summary) {
        EXPECT_TRUE(server.calls.empty());
        return;
    }
    ASSERT_FALSE(server.calls.empty());
    const QVariantList &call = server.calls.back();
    EXPECT_EQ(call.value(3).toString(), QString::fromLatin1(row.summary));
    EXPECT_TRUE(call.value(4).toString().contains(QFileInfo(file).fileName()))
        << call.value(4).toString().toStdString();
    const QStringList actions = call.value(5).toStringList();
    EXPECT_EQ(actions.contains(QStringLiteral("show-in-folder")), row.show_in_folder);
    ASSERT_TRUE(test_support::wait_until(
        [&] {
            const QString seen = QString::fromUtf8(monitor->readAllStandardOutput());
            return seen.contains(QLatin1String(row.summary)) &&
                   seen.contains(QStringLiteral("\"desktop-entry\"")) &&
                   seen.contains(QStringLiteral("\"com.tenvique.velquor\""));
        },
        3000))
        << "dbus-monitor saw no Notify call";
    if (!row.show_in_folder)
        return;
    QDBusMessage invoked = QDBusMessage::createSignal(
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
    invoked << uint(server.calls.size()) << QStringLiteral("show-in-folder");
    desktop.send(invoked);
    ASSERT_TRUE(test_support::wait_until([&] { return !files.calls.empty(); }, 5000));
    EXPECT_EQ(files.calls.front().value(0).toStringList(),
              QStringList{QUrl::fromLocalFile(file).toString()});
    QDBusConnection::disconnectFromBus(tag + "-program");
    QDBusConnection::disconnectFromBus(tag + "-desktop");
}

INSTANTIATE_TEST_SUITE_P(Events, Notify,
                         ::testing::Values(NotifyRow{"ScheduledStart", Event::scheduled_start,
                                                     false, "Scheduled recording started", false},
                                           NotifyRow{"ScheduledEnd", Event::scheduled_end, false,
                                                     "Scheduled recording finished", true},
                                           NotifyRow{"DeviceLost", Event::device_lost, false,
                                                     "Recording stopped", true},
                                           NotifyRow{"NothingWhileTheWindowIsActive",
                                                     Event::device_lost, true, nullptr, false}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
