// The skin's command dispatch: element names to commands, with the guards
// that keep recording and playback apart.
#include "main.h"

#include "option.h"
#include "recordlist.h"
#include "skin/skin.h"

#include <QDialog>
#include <QTimer>

void Tfm_main::SkinClick(TSkin *Sender, ISkinObject *Source)
{
    Q_UNUSED(Sender);
    if (!Source)
        return;
    const QString name = Source->Name();
    if (name == QLatin1String("Record")) {
        if (playing)
            m_services.dialogs->information(this, QStringLiteral("Please stop playing first."));
        else if (!recording || record_paused)
            start_recording();
    } else if (name == QLatin1String("Pause")) {
        if (recording && !record_paused)
            pause_recording();
        else if (playing && !play_paused)
            pause_playback();
    } else if (name == QLatin1String("Stop")) {
        if (recording)
            stop_recording();
        else
            stop_playback();
    } else if (name == QLatin1String("Play")) {
        if (recording)
            m_services.dialogs->information(this, QStringLiteral("Please stop recording first."));
        else
            start_playback();
    } else if (name == QLatin1String("Open")) {
        if (recording)
            m_services.dialogs->information(this, QStringLiteral("Please stop recording first."));
        else
            open_command();
    } else if (name == QLatin1String("List")) {
        if (!m_list)
            return;
        if (m_list->isVisible()) {
            m_list->close();
        } else {
            dock_record_list();
            m_list->show();
        }
    } else if (name == QLatin1String("Options")) {
        if (recording || !option_window())
            return;
        open_placed(m_option);
    } else if (name == QLatin1String("Add")) {
        if (m_list)
            m_list->add_files();
    } else if (name == QLatin1String("Del")) {
        if (!m_list)
            return;
        const int selected = m_list->selected_index();
        if (selected < 0 || (recording && selected == record_item_index) ||
            (playing && selected == play_item_index))
            return;
        m_list->remove_selected_entry();
    } else if (name == QLatin1String("ID3")) {
        id3_command();
    } else if (name == QLatin1String("Help")) {
        show_help();
    }
}

// Placed before it opens, and again once shown: only then does its frame
// (and so its outer size) count.
void Tfm_main::open_placed(QDialog *dialog)
{
    place_dialog(dialog);
    QTimer::singleShot(0, dialog, [this, dialog] { place_dialog(dialog); });
    dialog->exec();
}

void Tfm_main::id3_command()
{
    if (!m_id3)
        return;
    const bool none_selected = !m_list || m_list->selected_index() < 0;
    if ((recording && record_item_index == current_item_index) || none_selected) {
        m_id3->target_path.clear(); // the pending tags of the running or next recording
    } else if (current_item_index != -1) {
        m_id3->target_path = m_list->path_of(current_item_index);
        if (m_list->isVisible())
            m_list->focus();
    }
    open_placed(m_id3);
}
