#pragma once
// A CaptureBackend for tests: the test decides when samples arrive (push, on
// the test's own thread, normally the user-interface thread) and when the
// stream fails (fail). Devices, lines and volumes are plain data to set up;
// every start, stop and line selection is recorded for checking.

#include "pulse/capture_backend.h"

#include <map>
#include <utility>
#include <vector>

class FakeCaptureBackend : public CaptureBackend
{
public:
    struct Started {
        InputLineInfo line;
        uint32_t rate;
        int channels;
    };

    // set up by the test
    std::vector<CaptureDeviceInfo> device_list;
    std::map<QString, int> volumes; // by source name; missing: -1
    bool server_present = true;
    bool start_succeeds = true;
    QString default_source;                // the server's default source
    std::function<void()> devices_changed; // set by watch_devices; the test calls it
    int64_t source_frames = -1; // where the source's clock is; -1: at what was pushed

    // seen by the test
    std::vector<Started> starts;
    std::vector<InputLineInfo> selected;
    int stops = 0;
    bool running() const { return m_running; }

    void push(const std::vector<int16_t> &samples)
    {
        if (m_running && m_on_data)
            m_on_data(samples.data(), samples.size());
    }
    void fail(int code = 2)
    {
        if (m_on_error)
            m_on_error(code, QStringLiteral("fake failure"));
    }

    std::vector<CaptureDeviceInfo> devices() override
    {
        return server_present ? device_list : std::vector<CaptureDeviceInfo>{};
    }
    int volume(const InputLineInfo &line) override
    {
        auto it = volumes.find(line.source_name);
        return server_present && it != volumes.end() ? it->second : -1;
    }
    bool set_volume(const InputLineInfo &line, int volume) override
    {
        if (!server_present)
            return false;
        volumes[line.source_name] = volume;
        return true;
    }
    bool select_line(const InputLineInfo &line) override
    {
        selected.push_back(line);
        return server_present;
    }
    QString default_source_name() override { return server_present ? default_source : QString(); }
    void watch_devices(std::function<void()> changed) override
    {
        devices_changed = std::move(changed);
    }
    bool start(const InputLineInfo &line, uint32_t rate, int channels, DataCallback on_data,
               ErrorCallback on_error) override
    {
        if (!server_present || !start_succeeds)
            return false;
        starts.push_back({line, rate, channels});
        m_on_data = std::move(on_data);
        m_on_error = std::move(on_error);
        m_running = true;
        return true;
    }
    int64_t frames_now() const override { return m_running ? source_frames : -1; }
    void stop() override
    {
        ++stops;
        m_running = false;
        m_on_data = nullptr;
        m_on_error = nullptr;
    }

private:
    bool m_running = false;
    DataCallback m_on_data;
    ErrorCallback m_on_error;
};
