// The main window as the desktop's ways in (the bus, the tray, media keys,
// notifications) see and drive it. Commands still go through run_command.
#include "main.h"

#include "audio/audio_file.h"
#include "pulse/audio_player.h"
#include "pulse/audio_record.h"
#include "recordlist.h"

#include <QApplication>
#include <utility>

namespace
{

// Messages are kept instead of shown; the dialogs that ask for something
// (a save name) still come up, as the command needs their answer.
class HeldMessages : public Dialogs
{
public:
    explicit HeldMessages(Dialogs &shown) : m_shown(shown) {}
    QStringList texts;

    std::optional<SaveChoice> save_file(QWidget *parent, const QString &initial_folder,
                                        const QString &filter) override
    {
        return m_shown.save_file(parent, initial_folder, filter);
    }
    std::optional<QString> open_file(QWidget *parent, const QString &initial_folder) override
    {
        return m_shown.open_file(parent, initial_folder);
    }
    std::optional<QStringList> open_files(QWidget *parent, const QString &initial_folder,
                                          const QString &filter) override
    {
        return m_shown.open_files(parent, initial_folder, filter);
    }
    void information(QWidget *, const QString &text) override { texts << text; }
    void message_box(QWidget *, const QString &text, const QString &) override { texts << text; }
    bool ask_yes_no(QWidget *parent, const QString &text) override
    {
        return m_shown.ask_yes_no(parent, text);
    }

private:
    Dialogs &m_shown;
};

} // namespace

DesktopState Tfm_main::desktop_state() const
{
    using Activity = DesktopState::Activity;
    DesktopState state;
    state.next_file = file_to_play();
    // A start waiting in its save dialog has nothing to show yet.
    if (recording && !m_starting) {
        if (m_trigger && !m_trigger->file_open()) {
            state.activity = Activity::waiting;
            return state;
        }
        state.activity = record_paused ? Activity::record_paused : Activity::recording;
        state.file = m_record_file;
        // A pause has added its run to the count already.
        const int64_t samples = m_trigger       ? m_trigger->file_samples()
                                : record_paused ? recorded_before_pause
                                                : AudioRecord->RunSamples() + recorded_before_pause;
        state.position_ms = AudioRecord->SamplesToMilliseconds(samples);
    } else if (playing) {
        state.activity = play_paused ? Activity::play_paused : Activity::playing;
        state.file = play_file;
        state.length_ms = m_play_length_ms;
        const int64_t heard = play_paused ? 0 : AudioPlayer->PlayedSamples();
        state.position_ms = std::min<int64_t>(
            AudioPlayer->SamplesToMilliseconds(play_offset + heard), m_play_length_ms);
    }
    return state;
}

QString Tfm_main::quiet_command(const QString &name)
{
    // Commands that arrive while this one runs (its stop waits for sound)
    // stack their own holders on top and take them off again before it ends.
    auto held = std::make_unique<HeldMessages>(*m_services.dialogs);
    HeldMessages &messages = *held;
    std::unique_ptr<Dialogs> shown = std::exchange(m_services.dialogs, std::move(held));
    run_command(name);
    const std::unique_ptr<Dialogs> done = std::exchange(m_services.dialogs, std::move(shown));
    return messages.texts.join(QLatin1Char('\n'));
}

void Tfm_main::bring_to_front()
{
    if (m_closed)
        return;
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void Tfm_main::play_listed(const QString &path)
{
    if (!m_list || recording)
        return;
    for (int row = 0; row < m_list->count(); ++row) {
        if (m_list->path_of(row) != path)
            continue;
        current_item_index = row;
        current_file = path;
        m_list->select(row);
        // Another file than the paused one: that one stops first.
        if (playing && play_file != path)
            stop_playback();
        run_command(QStringLiteral("Play"));
        return;
    }
}
