#pragma once
// Turns the sound server's cards, sources and sinks into Velquor's recording
// devices and input lines. Pure data in, pure data out: no server calls here,
// so the grouping rules can be tested with any layout of cards.
//
// A card is a device; its lines are the ports of its non-monitor sources (or
// the source itself when it has no ports) and then the monitors of its sinks.
// A source that belongs to no card is a device of its own with one line.
// Cards come first, in index order, then the card-less sources.

#include "pulse/capture_backend.h"

#include <cstdint>
#include <vector>

struct PulsePortInfo {
    QString name;
    QString description;
};

struct PulseCardInfo {
    uint32_t index = 0;
    QString name;
    QString description;
};

struct PulseSourceInfo {
    uint32_t index = 0;
    QString name;
    QString description;
    uint32_t card = UINT32_MAX;            // UINT32_MAX: no card
    uint32_t monitor_of_sink = UINT32_MAX; // UINT32_MAX: not a monitor
    std::vector<PulsePortInfo> ports;
    QString active_port{};
};

struct PulseSinkInfo {
    uint32_t index = 0;
    uint32_t card = UINT32_MAX;
};

std::vector<CaptureDeviceInfo> build_capture_devices(std::vector<PulseCardInfo> cards,
                                                     std::vector<PulseSourceInfo> sources,
                                                     const std::vector<PulseSinkInfo> &sinks);

// Volume mapping between the server's scale and 0..65535 (silence..normal).
int pulse_to_line_volume(uint32_t pulse_volume);
uint32_t line_to_pulse_volume(int line_volume);
