// The skin's command dispatch: element names to commands, with the guards
// that keep recording and playback apart, and the keys that reach the same
// commands.
#include "main.h"

#include "option.h"
#include "recordlist.h"
#include "skin/skin.h"

#include <QDialog>
#include <QShortcut>
#include <QTimer>

namespace
{

struct CommandKey {
    const char *element;
    QKeyCombination keys;
};

constexpr CommandKey command_keys[] = {
    {"Record", Qt::CTRL | Qt::Key_R}, {"Pause", Qt::CTRL | Qt::Key_P},
    {"Stop", Qt::CTRL | Qt::Key_S},   {"Play", Qt::CTRL | Qt::Key_Space},
    {"Open", Qt::CTRL | Qt::Key_O},   {"List", Qt::CTRL | Qt::Key_L},
    {"ID3", Qt::CTRL | Qt::Key_T},    {"Options", Qt::CTRL | Qt::Key_Comma},
};

QString shown_keys(const QKeySequence &keys)
{
    return keys.toString(QKeySequence::NativeText);
}

} // namespace

void Tfm_main::install_shortcuts()
{
    for (const CommandKey &k : command_keys) {
        const QString name = QLatin1String(k.element);
        // Any window of the program but a modal dialog: the docked list too.
        auto *shortcut = new QShortcut(QKeySequence(k.keys), this);
        shortcut->setContext(Qt::ApplicationShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, name] { key_command(name); });
    }
}

void Tfm_main::show_shortcuts(ISkinForm *form)
{
    if (!form)
        return;
    for (const CommandKey &k : command_keys)
        if (ISkinObject *element = form->FindObject(QLatin1String(k.element)))
            element->SetShortcut(shown_keys(QKeySequence(k.keys)));
    if (ISkinObject *help = form->FindObject(QStringLiteral("Help")))
        help->SetShortcut(shown_keys(QKeySequence(Qt::Key_F1)));
}

void Tfm_main::key_command(const QString &name)
{
    // A key is the element's click: an element the skin shows disabled takes none.
    ISkinForm *form = Skin->GetSkinForm(this);
    if (ISkinObject *element = form ? form->FindObject(name) : nullptr;
        element && !element->Enabled())
        return;
    run_command(name);
}

void Tfm_main::SkinClick(TSkin *Sender, ISkinObject *Source)
{
    Q_UNUSED(Sender);
    if (Source)
        run_command(Source->Name());
}

void Tfm_main::run_command(const QString &name)
{
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
