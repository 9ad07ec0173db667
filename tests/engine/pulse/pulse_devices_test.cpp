// Devices, input lines and recording volume: the grouping rules on made-up
// server layouts, then the real private server (label "pulse").

#include "pulse/audio_record.h"
#include "pulse/pulse_capture.h"
#include "pulse/pulse_devices.h"
#include "signal_checks.h"
#include "test_support.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace
{

constexpr uint32_t none = UINT32_MAX;

const InputLineInfo *find_line(const std::vector<CaptureDeviceInfo> &devices, const QString &source,
                               const CaptureDeviceInfo **device = nullptr)
{
    for (const auto &d : devices)
        for (const auto &l : d.lines)
            if (l.source_name == source) {
                if (device)
                    *device = &d;
                return &l;
            }
    return nullptr;
}

// Per-channel raw volumes of a source, as pactl reports them.
std::vector<int> pactl_source_volume(const QString &source)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), {QStringLiteral("get-source-volume"), source});
    if (!p.waitForFinished(5000))
        return {};
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    std::vector<int> v;
    static const QRegularExpression value(QStringLiteral(":\\s*(\\d+)\\s*/"));
    for (auto it = value.globalMatch(text); it.hasNext();)
        v.push_back(it.next().captured(1).toInt());
    return v;
}

bool run_pactl(const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral("pactl"), args);
    return p.waitForFinished(5000) && p.exitCode() == 0;
}

} // namespace

TEST(PulseDeviceGrouping, CardsGetInputsThenMonitorsAndLoneSourcesStandAlone)
{
    std::vector<PulseCardInfo> cards{{3, QStringLiteral("usb"), QStringLiteral("USB Headset")},
                                     {1, QStringLiteral("pci"), QStringLiteral("Built-in Audio")},
                                     {7, QStringLiteral("hdmi"), {}}};
    std::vector<PulseSourceInfo> sources{
        // a monitor that carries no card: it belongs to its sink's card
        {10,
         QStringLiteral("pci.out.monitor"),
         QStringLiteral("Monitor of Built-in Speakers"),
         none,
         20,
         {}},
        {11,
         QStringLiteral("pci.in"),
         QStringLiteral("Built-in Input"),
         1,
         none,
         {{QStringLiteral("mic"), QStringLiteral("Microphone")},
          {QStringLiteral("line"), QStringLiteral("Line In")}}},
        {12, QStringLiteral("usb.in"), QStringLiteral("Headset Mic"), 3, none, {}},
        {13,
         QStringLiteral("null.monitor"),
         QStringLiteral("Monitor of Null Output"),
         none,
         21,
         {}},
        {14,
         QStringLiteral("rtp.in"),
         {},
         none,
         none,
         {{QStringLiteral("p"), QStringLiteral("P")}}},
    };
    std::vector<PulseSinkInfo> sinks{{20, 1}, {21, none}};

    const auto devices = build_capture_devices(cards, sources, sinks);
    ASSERT_EQ(devices.size(), 5u);

    EXPECT_EQ(devices[0].name, QStringLiteral("Built-in Audio"));
    EXPECT_TRUE(devices[0].usable);
    ASSERT_EQ(devices[0].lines.size(), 3u);
    EXPECT_EQ(devices[0].lines[0].name, QStringLiteral("Microphone"));
    EXPECT_EQ(devices[0].lines[0].port_name, QStringLiteral("mic"));
    EXPECT_EQ(devices[0].lines[1].name, QStringLiteral("Line In"));
    EXPECT_EQ(devices[0].lines[1].source_name, QStringLiteral("pci.in"));
    EXPECT_EQ(devices[0].lines[2].name, QStringLiteral("Monitor of Built-in Speakers"));
    EXPECT_EQ(devices[0].lines[2].source_name, QStringLiteral("pci.out.monitor"));

    EXPECT_EQ(devices[1].name, QStringLiteral("USB Headset"));
    ASSERT_EQ(devices[1].lines.size(), 1u); // a source without ports is one line
    EXPECT_EQ(devices[1].lines[0].name, QStringLiteral("Headset Mic"));
    EXPECT_TRUE(devices[1].lines[0].port_name.isEmpty());

    EXPECT_EQ(devices[2].name, QStringLiteral("hdmi")); // no description: the name
    EXPECT_FALSE(devices[2].usable);
    EXPECT_TRUE(devices[2].lines.empty());

    EXPECT_EQ(devices[3].name, QStringLiteral("Monitor of Null Output"));
    ASSERT_EQ(devices[3].lines.size(), 1u);
    EXPECT_EQ(devices[3].lines[0].source_name, QStringLiteral("null.monitor"));
    EXPECT_EQ(devices[4].name, QStringLiteral("rtp.in"));
    ASSERT_EQ(devices[4].lines.size(), 1u);
    EXPECT_TRUE(devices[4].lines[0].port_name.isEmpty());
}

TEST(PulseDeviceGrouping, SameNamedLinesOfOneCardNameTheirSource)
{
    std::vector<PulseCardInfo> cards{{0, QStringLiteral("pci"), QStringLiteral("Audio")}};
    std::vector<PulseSourceInfo> sources{
        {1,
         QStringLiteral("front.in"),
         QStringLiteral("Front"),
         0,
         none,
         {{QStringLiteral("mic"), QStringLiteral("Microphone")}}},
        {2,
         QStringLiteral("rear.in"),
         QStringLiteral("Rear"),
         0,
         none,
         {{QStringLiteral("mic"), QStringLiteral("Microphone")},
          {QStringLiteral("line"), QStringLiteral("Line In")}}},
    };
    const auto devices = build_capture_devices(cards, sources, {});
    ASSERT_EQ(devices.size(), 1u);
    ASSERT_EQ(devices[0].lines.size(), 3u);
    EXPECT_EQ(devices[0].lines[0].name, QStringLiteral("Microphone (Front)"));
    EXPECT_EQ(devices[0].lines[1].name, QStringLiteral("Microphone (Rear)"));
    EXPECT_EQ(devices[0].lines[2].name, QStringLiteral("Line In"));
}

TEST(PulseDeviceGrouping, DevicesAndLinesCarryTheServersNamesAndTheActivePort)
{
    std::vector<PulseCardInfo> cards{{0, QStringLiteral("alsa_card.pci"), QStringLiteral("Audio")}};
    PulseSourceInfo in{1,
                       QStringLiteral("alsa_input.pci"),
                       QStringLiteral("In"),
                       0,
                       none,
                       {{QStringLiteral("mic"), QStringLiteral("Microphone")},
                        {QStringLiteral("line"), QStringLiteral("Line In")}}};
    in.active_port = QStringLiteral("line");
    PulseSourceInfo lone{
        7, QStringLiteral("bluez_source.00:11"), QStringLiteral("Headset"), none, none, {}};
    const auto devices = build_capture_devices(cards, {in, lone}, {});
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].server_name, QStringLiteral("alsa_card.pci"));
    EXPECT_EQ(devices[1].server_name, QStringLiteral("bluez_source.00:11"));
    ASSERT_EQ(devices[0].lines.size(), 2u);
    EXPECT_FALSE(devices[0].lines[0].active);
    EXPECT_TRUE(devices[0].lines[1].active);
    EXPECT_EQ(devices[0].lines[1].server_name(), QStringLiteral("alsa_input.pci#line"));
    EXPECT_EQ(devices[1].lines[0].server_name(), QStringLiteral("bluez_source.00:11"));
}

class VolumeMapping : public ::testing::TestWithParam<int>
{
};

TEST_P(VolumeMapping, RoundTripsAndStaysInRange)
{
    const int v = GetParam();
    const uint32_t pulse = line_to_pulse_volume(v);
    EXPECT_LE(pulse, 65536u);
    EXPECT_EQ(pulse_to_line_volume(pulse), std::clamp(v, 0, 65535));
}

INSTANTIATE_TEST_SUITE_P(Values, VolumeMapping,
                         ::testing::Values(-10, 0, 1, 2, 100, 32767, 32768, 50000, 65534, 65535,
                                           90000));

TEST(VolumeScale, EndsOfTheServerScale)
{
    EXPECT_EQ(pulse_to_line_volume(0), 0);
    EXPECT_EQ(pulse_to_line_volume(65536), 65535);  // normal volume is full scale
    EXPECT_EQ(pulse_to_line_volume(150000), 65535); // boosted reads as full
    EXPECT_EQ(line_to_pulse_volume(65535), 65536u);
}

TEST(PulseDevices, NullSinkMonitorIsADeviceWithOneLine)
{
    ASSERT_TRUE(test_support::require_pulse());
    TAudioRecord2 rec;
    const int16_t last = rec.LastDeviceIndex();
    ASSERT_GE(last, 0);
    bool seen = false;
    for (int16_t i = 0; i <= last; ++i) {
        rec.setDeviceIndex(i);
        if (rec.InputLineCount() != 1)
            continue;
        rec.setInputLineIndex(1);
        if (rec.DeviceName() == QStringLiteral("Monitor of Velquor_Null_Output")) {
            seen = true;
            EXPECT_TRUE(rec.DeviceUsable());
            EXPECT_EQ(rec.InputLineName(), rec.DeviceName());
        }
    }
    EXPECT_TRUE(seen);

    PulseCaptureBackend backend;
    const auto devices = backend.devices();
    const CaptureDeviceInfo *device = nullptr;
    const InputLineInfo *line = find_line(devices, test_support::null_monitor_source(), &device);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(device->lines.size(), 1u);
    EXPECT_TRUE(backend.select_line(*line));
}

TEST(PulseDevices, TheServersDefaultSourceIsFound)
{
    ASSERT_TRUE(test_support::require_pulse());
    PulseCaptureBackend backend;
    EXPECT_EQ(backend.default_source_name(), test_support::null_monitor_source());
    TAudioRecord2 rec;
    rec.LastDeviceIndex();
    int16_t device = -1, line = -1;
    ASSERT_TRUE(rec.FindDefaultSource(device, line));
    rec.setDeviceIndex(device);
    rec.setInputLineIndex(line);
    EXPECT_EQ(rec.InputLineServerName(), test_support::null_monitor_source());
    EXPECT_EQ(rec.DeviceServerName(), test_support::null_monitor_source());
}

TEST(PulseDevices, VolumeWriteChangesTheRealSourceAndKeepsBalance)
{
    ASSERT_TRUE(test_support::require_pulse());
    // A sink of its own: muting the shared monitor would disturb tests running beside this one.
    signal_checks::PrivateSink sink;
    ASSERT_TRUE(sink.ok());
    const QString source = sink.monitor();
    TAudioRecord2 rec;
    const int16_t last = rec.LastDeviceIndex();
    int16_t index = -1;
    for (int16_t i = 0; i <= last; ++i) {
        rec.setDeviceIndex(i);
        if (rec.DeviceName() == sink.device_name())
            index = i;
    }
    ASSERT_GE(index, 0);
    rec.setDeviceIndex(index);
    rec.setInputLineIndex(1);
    EXPECT_EQ(rec.InputLineVolume(), 65535);

    rec.setInputLineVolume(32768);
    EXPECT_EQ(pactl_source_volume(source), (std::vector<int>{32768, 32768}));
    EXPECT_EQ(rec.InputLineVolume(), 32768);
    rec.setInputLineVolume(0);
    EXPECT_EQ(pactl_source_volume(source), (std::vector<int>{0, 0}));
    EXPECT_EQ(rec.InputLineVolume(), 0);

    // Left at normal, right at half: scaling keeps the right one at half of the left.
    ASSERT_TRUE(run_pactl({QStringLiteral("set-source-volume"), source, QStringLiteral("65536"),
                           QStringLiteral("32768")}));
    EXPECT_EQ(rec.InputLineVolume(), 65535);
    rec.setInputLineVolume(32768);
    EXPECT_EQ(pactl_source_volume(source), (std::vector<int>{32768, 16384}));
    rec.setInputLineVolume(65535);
    EXPECT_EQ(pactl_source_volume(source), (std::vector<int>{65536, 32768}));
}

TEST(PulseDevices, NoServerMeansNoDevicesAndErrorOneWithoutHanging)
{
    // Another process's server must not answer either: point at a socket nobody serves.
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:/nonexistent/velquor-no-server/native");
    {
        TAudioRecord2 rec;
        EXPECT_LT(rec.LastDeviceIndex(), 0);
        EXPECT_EQ(rec.InputLineCount(), 0);
        rec.setInputLineVolume(1000); // nothing to do, nothing to crash
        rec.SetWaveFormat(44100, 2);
        rec.Start();
        EXPECT_EQ(rec.ErrorCode(), 1);
        EXPECT_TRUE(rec.GetArray().empty());
        rec.Stop();
    }
    {
        PulseCaptureBackend backend(QStringLiteral("unix:/nonexistent/velquor-no-server/native"));
        EXPECT_TRUE(backend.devices().empty());
        EXPECT_EQ(backend.volume({QStringLiteral("x"), QStringLiteral("x"), {}}), -1);
    }
    if (saved.isNull())
        qunsetenv("PULSE_SERVER");
    else
        qputenv("PULSE_SERVER", saved);
}
