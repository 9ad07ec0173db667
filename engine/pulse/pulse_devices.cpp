#include "pulse/pulse_devices.h"

#include <pulse/volume.h>

#include <algorithm>

namespace
{

constexpr uint32_t no_index = UINT32_MAX;

// A monitor source may carry no card of its own; it belongs to its sink's card.
uint32_t owning_card(const PulseSourceInfo &s, const std::vector<PulseSinkInfo> &sinks)
{
    if (s.card != no_index || s.monitor_of_sink == no_index)
        return s.card;
    for (const auto &sink : sinks)
        if (sink.index == s.monitor_of_sink)
            return sink.card;
    return no_index;
}

QString shown_name(const QString &description, const QString &name)
{
    return description.isEmpty() ? name : description;
}

// Two sources of one card may both call a port "Microphone": name the source too.
void disambiguate(std::vector<InputLineInfo> &lines, const std::vector<PulseSourceInfo> &sources)
{
    std::vector<bool> clash(lines.size(), false);
    for (size_t i = 0; i < lines.size(); ++i)
        for (size_t j = i + 1; j < lines.size(); ++j)
            if (lines[i].name == lines[j].name)
                clash[i] = clash[j] = true;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (!clash[i])
            continue;
        for (const auto &s : sources)
            if (s.name == lines[i].source_name)
                lines[i].name +=
                    QStringLiteral(" (") + shown_name(s.description, s.name) + QLatin1Char(')');
    }
}

} // namespace

std::vector<CaptureDeviceInfo> build_capture_devices(std::vector<PulseCardInfo> cards,
                                                     std::vector<PulseSourceInfo> sources,
                                                     const std::vector<PulseSinkInfo> &sinks)
{
    std::sort(cards.begin(), cards.end(),
              [](const auto &a, const auto &b) { return a.index < b.index; });
    std::sort(sources.begin(), sources.end(),
              [](const auto &a, const auto &b) { return a.index < b.index; });

    std::vector<CaptureDeviceInfo> devices;
    for (const auto &card : cards) {
        CaptureDeviceInfo device;
        device.name = shown_name(card.description, card.name);
        device.server_name = card.name;
        // Inputs first, then "what the card hears".
        for (const auto &s : sources) {
            if (s.monitor_of_sink != no_index || owning_card(s, sinks) != card.index)
                continue;
            if (s.ports.empty())
                device.lines.push_back({shown_name(s.description, s.name), s.name, QString()});
            for (const auto &p : s.ports)
                device.lines.push_back({shown_name(p.description, p.name), s.name, p.name,
                                        s.active_port.isEmpty() || p.name == s.active_port});
        }
        for (const auto &s : sources) {
            if (s.monitor_of_sink == no_index || owning_card(s, sinks) != card.index)
                continue;
            device.lines.push_back({shown_name(s.description, s.name), s.name, QString()});
        }
        disambiguate(device.lines, sources);
        device.usable = !device.lines.empty();
        devices.push_back(std::move(device));
    }
    for (const auto &s : sources) {
        const uint32_t card = owning_card(s, sinks);
        const bool known_card =
            std::any_of(cards.begin(), cards.end(), [&](const auto &c) { return c.index == card; });
        if (known_card)
            continue;
        CaptureDeviceInfo device;
        device.name = shown_name(s.description, s.name);
        device.server_name = s.name;
        // A lone source records whatever port it has active: nothing to switch.
        device.lines.push_back({device.name, s.name, QString()});
        devices.push_back(std::move(device));
    }
    return devices;
}

int pulse_to_line_volume(uint32_t pulse_volume)
{
    if (pulse_volume <= PA_VOLUME_MUTED)
        return 0;
    if (pulse_volume >= PA_VOLUME_NORM)
        return 65535;
    // Rounded up and, below, down: every line volume survives the round trip.
    return static_cast<int>((static_cast<uint64_t>(pulse_volume) * 65535 + PA_VOLUME_NORM - 1) /
                            PA_VOLUME_NORM);
}

uint32_t line_to_pulse_volume(int line_volume)
{
    const int v = std::clamp(line_volume, 0, 65535);
    return static_cast<uint32_t>(static_cast<uint64_t>(v) * PA_VOLUME_NORM / 65535);
}
