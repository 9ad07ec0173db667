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
            const QRect frame = frameGeometry();
            m_list->move(frame.left(), frame.top() + frame.height());
            m_list->show();
        }
    } else if (name == QLatin1String("Options")) {
        if (recording || !m_option)
            return;
        const QRect main = frameGeometry();
        const QSize dialog = m_option->frameGeometry().size();
        const int list_height =
            (m_list && m_list->isVisible()) ? m_list->frameGeometry().height() : 0;
        m_option->move(main.left() + (main.width() - dialog.width()) / 2,
                       main.top() + (main.height() + list_height - dialog.height()) / 2);
        m_option->exec();
    } else if (name == QLatin1String("Help")) {
        show_help();
    }
}
