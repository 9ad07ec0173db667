// The main window as the record list's host: its state and commands, and the
// placement of the list and of the dialogs it opens over itself.
#include "main.h"

#include "window_frame.h"

RecordListHost::SharedState Tfm_main::shared_state()
{
    return {recording,       record_paused,      playing,     play_paused, record_item_index,
            play_item_index, current_item_index, current_file};
}

void Tfm_main::list_start_playback()
{
    start_playback();
}

void Tfm_main::list_pause_playback()
{
    pause_playback();
}

void Tfm_main::list_stop_playback()
{
    stop_playback();
}

void Tfm_main::list_pause_recording()
{
    pause_recording();
}

void Tfm_main::list_stop_recording()
{
    stop_recording();
}

std::optional<QStringList> Tfm_main::pick_files(QWidget *parent, const QString &initial_folder,
                                                const QString &filter)
{
    return m_services.dialogs->open_files(parent, initial_folder, filter);
}

void Tfm_main::message_box(QWidget *parent, const QString &text, const QString &caption)
{
    m_services.dialogs->message_box(parent, text, caption);
}

void Tfm_main::dock_record_list()
{
    if (!m_list)
        return;
    const QRect frame = frameGeometry();
    m_list->move(frame.left(), frame.top() + frame.height());
}

void Tfm_main::place_dialog(QWidget *dialog)
{
    const QRect main = frameGeometry();
    const QSize size = frame_size(dialog, this);
    const int list_height = (m_list && m_list->isVisible()) ? m_list->frameGeometry().height() : 0;
    dialog->move(main.left() + (main.width() - size.width()) / 2,
                 main.top() + (main.height() + list_height - size.height()) / 2);
}
