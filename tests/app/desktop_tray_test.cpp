// The tray icon of the real program on an X server of the test's own: docked
// in an XEmbed tray (trayer) at 1x and 2x, its picture changing with a
// recording; and registered with a StatusNotifierWatcher on the session bus,
// its tooltip following the recording and its activation showing the window.
#include "desktop_session.h"

#include "test_support.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QImage>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

namespace
{

// Enough of a StatusNotifierWatcher for Qt to take the bus's way, keeping the items.
class FakeWatcher : public QDBusVirtualObject
{
public:
    QStringList items;
    QString introspect(const QString &) const override
    {
        return QStringLiteral(
            "<interface name=\"org.kde.StatusNotifierWatcher\">"
            "<method name=\"RegisterStatusNotifierItem\"><arg type=\"s\" "
            "direction=\"in\"/></method>"
            "<method name=\"RegisterStatusNotifierHost\"><arg type=\"s\" "
            "direction=\"in\"/></method>"
            "<property name=\"IsStatusNotifierHostRegistered\" type=\"b\" access=\"read\"/>"
            "<property name=\"ProtocolVersion\" type=\"i\" access=\"read\"/>"
            "<property name=\"RegisteredStatusNotifierItems\" type=\"as\" access=\"read\"/>"
            "</interface>");
    }
    bool handleMessage(const QDBusMessage &message, const QDBusConnection &connection) override
    {
        const QString member = message.member();
        if (member == QLatin1String("RegisterStatusNotifierItem")) {
            const QString item = message.arguments().value(0).toString();
            items << (item.startsWith(QLatin1Char('/')) ? message.service() + item : item);
            connection.send(message.createReply());
            return true;
        }
        if (member == QLatin1String("Get")) {
            const QString name = message.arguments().value(1).toString();
            QVariant value = name == QLatin1String("IsStatusNotifierHostRegistered")
                                 ? QVariant(true)
                             : name == QLatin1String("ProtocolVersion") ? QVariant(0)
                                                                        : QVariant(items);
            connection.send(message.createReply(QVariant::fromValue(QDBusVariant(value))));
            return true;
        }
        if (member == QLatin1String("GetAll")) {
            QVariantMap all{{QStringLiteral("IsStatusNotifierHostRegistered"), true},
                            {QStringLiteral("ProtocolVersion"), 0},
                            {QStringLiteral("RegisteredStatusNotifierItems"), items}};
            connection.send(message.createReply(all));
            return true;
        }
        return false;
    }
};

struct TrayRow {
    const char *name;
    bool watcher; // a StatusNotifierWatcher on the bus, else trayer's XEmbed tray
    int scale;
};

class Tray : public ::testing::TestWithParam<TrayRow>
{
};

// Pixels of the recording badge's red in a picture of the tray.
int red_pixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += c.red() > 200 && c.green() < 70 && c.blue() < 70;
        }
    return n;
}

QString item_property(DesktopSession &session, const QString &service, const char *name)
{
    return session
        .run(QStringLiteral("dbus-send"),
             {QStringLiteral("--bus=") + session.bus_address, QStringLiteral("--print-reply"),
              QStringLiteral("--dest=") + service, QStringLiteral("/StatusNotifierItem"),
              QStringLiteral("org.freedesktop.DBus.Properties.Get"),
              QStringLiteral("string:org.kde.StatusNotifierItem"),
              QStringLiteral("string:") + QLatin1String(name)})
        .out;
}

TEST_P(Tray, ShowsTheStateWhereTheDesktopKeepsItsIcons)
{
    const TrayRow &row = GetParam();
    ASSERT_TRUE(test_support::require_pulse());
    DesktopSession session(true);
    ASSERT_TRUE(session.ready()) << "no bus or X server";
    session.write_settings();
    FakeWatcher watcher;
    const QString tag = QString::fromLatin1(row.name);
    QDBusConnection desktop = QDBusConnection::connectToBus(session.bus_address, tag);
    QString panel;
    if (row.watcher) {
        ASSERT_TRUE(desktop.registerService(QStringLiteral("org.kde.StatusNotifierWatcher")));
        ASSERT_TRUE(
            desktop.registerVirtualObject(QStringLiteral("/StatusNotifierWatcher"), &watcher));
    } else {
        session.start(QStringLiteral("trayer"),
                      {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                       QStringLiteral("right"), QStringLiteral("--widthtype"),
                       QStringLiteral("request"), QStringLiteral("--height"),
                       QString::number(24 * row.scale)});
        ASSERT_TRUE(test_support::wait_until(
            [&] {
                const QString tree = session
                                         .run(QStringLiteral("xwininfo"),
                                              {QStringLiteral("-root"), QStringLiteral("-tree")})
                                         .out;
                const auto m =
                    QRegularExpression(
                        QStringLiteral("(0x[0-9a-f]+) \"panel\": \\(\"panel\" \"trayer\"\\)"))
                        .match(tree);
                panel = m.captured(1);
                return m.hasMatch();
            },
            10000));
    }
    QProcessEnvironment scaled;
    scaled.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(row.scale));
    ASSERT_TRUE(session.start_velquor(scaled));

    if (row.watcher) {
        ASSERT_TRUE(test_support::wait_until([&] { return !watcher.items.isEmpty(); }, 10000))
            << "no item registered with the watcher";
        const QString item = watcher.items.first().section(QLatin1Char('/'), 0, 0);
        EXPECT_TRUE(item_property(session, item, "ToolTip").contains(QStringLiteral("Velquor")));
        const QString idle_icon = item_property(session, item, "IconPixmap");
        ASSERT_EQ(session.velquor({QStringLiteral("--record")}).code, 0);
        EXPECT_TRUE(test_support::wait_until(
            [&] {
                return item_property(session, item, "ToolTip")
                    .contains(QStringLiteral("Recording"));
            },
            5000));
        EXPECT_NE(item_property(session, item, "IconPixmap"), idle_icon);
        // A click on the item: the window that was minimized is shown again.
        session.run(QStringLiteral("xdotool"),
                    {QStringLiteral("search"), QStringLiteral("--name"),
                     QStringLiteral("^Velquor$"), QStringLiteral("windowminimize")});
        session.run(QStringLiteral("dbus-send"),
                    {QStringLiteral("--bus=") + session.bus_address,
                     QStringLiteral("--dest=") + item, QStringLiteral("/StatusNotifierItem"),
                     QStringLiteral("org.kde.StatusNotifierItem.Activate"),
                     QStringLiteral("int32:0"), QStringLiteral("int32:0")});
        EXPECT_TRUE(test_support::wait_until(
            [&] {
                return !session
                            .run(QStringLiteral("xdotool"),
                                 {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                  QStringLiteral("--name"), QStringLiteral("^Velquor$")})
                            .out.trimmed()
                            .isEmpty();
            },
            5000));
        session.velquor({QStringLiteral("--stop")});
        QDBusConnection::disconnectFromBus(tag);
        return;
    }
    // Docked: the icon is inside trayer's panel.
    ASSERT_TRUE(test_support::wait_until(
        [&] {
            return session
                .run(QStringLiteral("xwininfo"),
                     {QStringLiteral("-tree"), QStringLiteral("-id"), panel})
                .out.contains(QStringLiteral("(\"velquor\" \"Velquor\")"));
        },
        10000))
        << "the icon did not dock in the tray: "
        << session
               .run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")})
               .out.toStdString();
    const auto shot = [&](const QString &name) {
        const QString file = session.path(name + QStringLiteral(".png"));
        session.run(QStringLiteral("import"), {QStringLiteral("-window"), panel, file});
        return QImage(file);
    };
    QThread::msleep(500);
    const int idle = red_pixels(shot(QStringLiteral("idle")));
    ASSERT_EQ(session.velquor({QStringLiteral("--record")}).code, 0);
    QThread::msleep(1000);
    const int recording = red_pixels(shot(QStringLiteral("recording")));
    // The program's own icon has a small red dot; the badge is about four times as large.
    EXPECT_GT(idle, 0);
    EXPECT_GT(recording, 2 * idle) << idle << " red pixels idle";
    session.velquor({QStringLiteral("--stop")});
    QDBusConnection::disconnectFromBus(tag);
}

INSTANTIATE_TEST_SUITE_P(Desktops, Tray,
                         ::testing::Values(TrayRow{"XEmbed", false, 1},
                                           TrayRow{"XEmbedAtTwiceTheScale", false, 2},
                                           TrayRow{"StatusNotifierWatcher", true, 1}),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
