#pragma once
// The main window with its four companion windows, built for tests: a fake
// capture backend (unless the real sound server is wanted), a settable clock,
// dialogs that answer from a script and remember what they showed, and a
// sleep inhibitor that only counts.

#include "fake_capture_backend.h"
#include "fake_playback_backend.h"
#include "main.h"
#include "services.h"
#include "settings_keys.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class Tfm_option;
class Tfm_id3;
class Tfm_dir;
class Tfm_list;

class TestClock : public Clock
{
public:
    QDateTime time;
    QDateTime now() const override { return time; }
};

class ScriptedDialogs : public Dialogs
{
public:
    struct Shown {
        QString kind; // "information", "box", "question", "save", "open", "add"
        QString text;
        QString caption;
    };
    std::vector<Shown> shown;
    std::deque<SaveChoice> save_answers; // none left: the user cancels
    std::deque<QString> open_answers;    // none left: the user cancels
    QString last_save_folder;
    QString last_save_filter;
    std::deque<QStringList> add_answers; // of the several-files dialog; none left: cancel
    QString last_add_folder;
    QString last_add_filter;
    // Runs while a message box is open, as events would.
    std::function<void()> while_box;
    bool yes = false;
    // Runs while the save dialog is open, as events would.
    std::function<void()> while_saving;

    std::optional<SaveChoice> save_file(QWidget *, const QString &initial_folder,
                                        const QString &) override;
    std::optional<QString> open_file(QWidget *, const QString &initial_folder) override
    {
        shown.push_back({"open", initial_folder, {}});
        if (open_answers.empty())
            return std::nullopt;
        QString answer = open_answers.front();
        open_answers.pop_front();
        return answer;
    }
    void information(QWidget *, const QString &text) override
    {
        shown.push_back({"information", text, {}});
    }
    std::optional<QStringList> open_files(QWidget *, const QString &initial_folder,
                                          const QString &filter) override;
    void message_box(QWidget *, const QString &text, const QString &caption) override
    {
        shown.push_back({"box", text, caption});
        if (while_box)
            while_box();
    }
    bool ask_yes_no(QWidget *, const QString &text) override
    {
        shown.push_back({"question", text, {}});
        return yes;
    }
    int count(const QString &kind) const;
};

class CountingInhibitor : public SleepInhibitor
{
public:
    int acquired = 0;
    int released = 0;
    bool acquire(const QString &) override
    {
        ++acquired;
        m_held = true;
        return true;
    }
    void release() override
    {
        if (m_held)
            ++released;
        m_held = false;
    }
    bool held() const override { return m_held; }

private:
    bool m_held = false;
};

struct AppOptions {
    bool real_sound_server = false;
    QString program_folder = QStringLiteral(VELQUOR_APP_DIR);
    std::vector<CaptureDeviceInfo> devices; // empty: one device with one line
    bool server_present = true;
    QString default_source;     // the fake server's default source
    bool fake_playback = false; // else the real sound server plays
    QString playback_sink;      // the real server's sink to play into; empty: its default
    bool late_option = false;   // the settings dialog built on demand, as the program does
};

class AppHarness
{
public:
    explicit AppHarness(AppOptions options = {});
    ~AppHarness();

    Tfm_main *main = nullptr;
    Tfm_option *option = nullptr;
    Tfm_id3 *id3 = nullptr;
    Tfm_dir *dir = nullptr;
    Tfm_list *list = nullptr;
    FakeCaptureBackend *capture = nullptr;   // null with the real sound server
    FakePlaybackBackend *playback = nullptr; // with fake_playback only
    TestClock *clock = nullptr;
    ScriptedDialogs *dialogs = nullptr;
    CountingInhibitor *inhibitor = nullptr;
    int restarts = 0;

    // A click as the user makes it, on the named element of the main window's skin.
    void click(const QString &element);
    // Captured audio arriving: `seconds` of a 440 Hz tone in the capture format.
    void push_seconds(double seconds);
    // Runs events until the capture timer has looked at everything pushed.
    void settle();
    QString label(const QString &element) const;

private:
    std::unique_ptr<Tfm_main> m_main;
};

// A fresh settings file for each test, in the harness's configuration folder.
void reset_settings();
// Writes a key of the real settings file, before or while the program runs.
void put_setting(const QString &section, const QString &key, const QString &value);
void put_setting(const keys::Key &key, const QString &value);
QString read_setting(const QString &section, const QString &key);
// The skin rectangle of an element of the main skin form, from the skin file.
QRect element_rect(const QString &skin_file, const QString &form, const QString &element);
// A recording's first channel, decoded, in [-1, 1); its sample rate into *rate.
std::vector<double> first_channel(const QString &path, uint32_t *rate = nullptr);

// Recordings against the real sound server, written into a folder of their own.
template <typename Param> class RecordingToFolder : public ::testing::TestWithParam<Param>
{
protected:
    QTemporaryDir out;
    void SetUp() override
    {
        ASSERT_TRUE(test_support::require_pulse());
        reset_settings();
        put_setting(QStringLiteral("format"), QStringLiteral("path"), out.path());
    }
};
