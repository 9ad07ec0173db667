// The skin's command dispatch: element names to commands, with the guards
// that keep recording and playback apart.
#include "main.h"

#include "option.h"
#include "recordlist.h"
#include "skin/skin.h"

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
    } else if (name == QLatin1String("Stop")) {
        if (recording)
            stop_recording();
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
        if (recording || !m_option)
            return;
        place_dialog(m_option);
        m_option->exec();
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
    } else if (name == QLatin1String("Help")) {
        show_help();
    }
}
