// The settings dialog's Recording Source page against the private sound
// server: the volume reaches the source, devices follow the server.
#include "app_harness.h"

#include "option.h"
#include "pulse/audio_record.h"
#include "test_support.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

QString pactl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    if (!p.waitForFinished(5000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

// The first channel's volume in percent, as pactl reports it.
int source_percent(const QString &source)
{
    const QString out = pactl({QStringLiteral("get-source-volume"), source});
    const auto m = QRegularExpression(QStringLiteral("(\\d+)%")).match(out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

} // namespace

TEST(OptionsOnTheServer, TheVolumeBarMovesTheSourceVolumeAndCancelKeepsIt)
{
    ASSERT_TRUE(test_support::require_pulse());
    reset_settings();
    const QString monitor = test_support::null_monitor_source();
    pactl({QStringLiteral("set-source-volume"), monitor, QStringLiteral("100%")});
    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    // Nothing stored: start-up is on the server's default source.
    ASSERT_GE(app.option->cb_device->count(), 1);
    EXPECT_EQ(app.option->cb_device->currentData(Tfm_option::device_name_role).toString(), monitor);
    EXPECT_EQ(app.option->tb_volume->value(), 65535);

    app.option->show();
    app.option->tb_volume->setValue(65535 / 4);
    EXPECT_NEAR(source_percent(monitor), 25, 1);
    app.option->tb_volume->setValue(65535 / 2);
    app.option->btn_cancel->click();
    EXPECT_NEAR(source_percent(monitor), 50, 1);
    EXPECT_NEAR(app.main->AudioRecord->InputLineVolume(), 65535 / 2, 700);
    pactl({QStringLiteral("set-source-volume"), monitor, QStringLiteral("100%")});
}

TEST(OptionsOnTheServer, ADevicePluggedInAppearsAndTheChosenOneStays)
{
    ASSERT_TRUE(test_support::require_pulse());
    reset_settings();
    AppOptions options;
    options.real_sound_server = true;
    AppHarness app(options);
    const int before = app.option->cb_source->count();
    const QString chosen = app.option->cb_source->currentText();
    const QString module = pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                                  QStringLiteral("sink_name=velquor_usb"),
                                  QStringLiteral("sink_properties=device.description=USB_Mic")});
    ASSERT_FALSE(module.isEmpty());
    const bool appeared =
        test_support::wait_until([&] { return app.option->cb_source->count() > before; }, 5000);
    EXPECT_TRUE(appeared);
    EXPECT_EQ(app.option->cb_source->currentText(), chosen);
    pactl({QStringLiteral("unload-module"), module});
    EXPECT_TRUE(
        test_support::wait_until([&] { return app.option->cb_source->count() == before; }, 5000));
    EXPECT_EQ(app.option->cb_source->currentText(), chosen);
}
