#pragma once
// Tells when the sound server's cards, sources or sinks come, go or change
// (a USB microphone plugged in), on a connection of its own so that a
// recording stream is never held up by it.
//
// start() connects (bounded, ~2 s) and subscribes; `changed` then runs on
// the libpulse loop thread, once per server event, until stop() returns.
// Called from the user-interface thread. No server: start() returns false
// and nothing is ever reported.

#include "pulse/pulse_connection.h"

#include <functional>

class PulseDeviceWatch
{
public:
    explicit PulseDeviceWatch(QString server = {});
    ~PulseDeviceWatch();

    bool start(std::function<void()> changed);
    void stop();

private:
    PulseConnection m_connection;
    std::function<void()> m_changed; // read on the loop thread, under its lock
};
