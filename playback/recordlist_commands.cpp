// The record list's commands: its context menu and the enabling rules, adding
// files, removing entries, playing from the list, tags and the file manager.
#include "recordlist.h"

#include "ID3.h"
#include "audio/audio_file.h"
#include "clock_text.h"
#include "file_manager.h"
#include "settings_file.h"
#include "window_frame.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMenu>

const QString Tfm_list::open_filter = QStringLiteral(
    "All Supported Files|*.mp3;*.wav;*.wma;*.ogg;*.flac;*.opus|MP3 Files(*.mp3)|*.mp3|"
    "WAV Files(*.wav)|*.wav|WMA Files(*.wma)|*.wma|OGG Files(*.ogg)|*.ogg|"
    "FLAC Files(*.flac)|*.flac|Opus Files(*.opus)|*.opus");

QString qt_name_filters(const QString &pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = QString(parts[i + 1]).replace(QLatin1Char(';'), QLatin1Char(' '));
        // A text that already ends in its patterns is shown as it is.
        if (parts[i].endsWith(QLatin1Char(')')))
            filters << parts[i];
        else
            filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

void Tfm_list::build_menu()
{
    pm = new QMenu(this);
    pm->setObjectName(QStringLiteral("pm"));
    // Dark like the list it opens over.
    pm->setStyleSheet(QStringLiteral(
        "QMenu { background: rgb(24, 28, 34); color: rgb(226, 229, 231);"
        " border: 1px solid rgb(60, 68, 78); padding: 3px 0px; }"
        "QMenu::item { padding: 3px 22px 3px 18px; }"
        "QMenu::item:selected { background: rgb(38, 74, 112); color: white; }"
        "QMenu::item:disabled { color: rgb(104, 110, 118); }"
        "QMenu::separator { height: 1px; background: rgb(60, 68, 78); margin: 3px 6px; }"));
    const auto item = [this](const QString &text, const char *name, void (Tfm_list::*handler)()) {
        QAction *action = pm->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    Play1 = item(QStringLiteral("Play"), "Play1", &Tfm_list::Play1Click);
    Pause1 = item(QStringLiteral("Pause"), "Pause1", &Tfm_list::Pause1Click);
    Stop1 = item(QStringLiteral("Stop"), "Stop1", &Tfm_list::Stop1Click);
    pm->addSeparator();
    AddFile1 = item(QStringLiteral("Add Files"), "AddFile1", &Tfm_list::AddFile1Click);
    Remove1 = item(QStringLiteral("Remove From List"), "Remove1", &Tfm_list::Remove1Click);
    Clear1 = item(QStringLiteral("Clear"), "Clear1", &Tfm_list::Clear1Click);
    pm->addSeparator();
    ID3Editor1 = item(QStringLiteral("ID3 Editor"), "ID3Editor1", &Tfm_list::ID3Editor1Click);
    GototheFolder1 =
        item(QStringLiteral("Go to the Folder"), "GototheFolder1", &Tfm_list::GototheFolder1Click);
    for (QAction *a : {Play1, Pause1, Stop1, ID3Editor1})
        a->setEnabled(false);

    lv->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lv, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        pmPopup();
        pm->popup(lv->viewport()->mapToGlobal(at));
    });
    connect(lv, &QTreeWidget::itemDoubleClicked, this, [this] { lvDblClick(); });
}

bool Tfm_list::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == lv && event->type() == QEvent::KeyPress &&
        row_key(*static_cast<QKeyEvent *>(event)))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool Tfm_list::row_key(const QKeyEvent &key)
{
    const Qt::KeyboardModifiers mods = key.modifiers() & ~Qt::KeypadModifier;
    const bool del = key.key() == Qt::Key_Delete && mods == 0;
    const bool enter = (key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter) && mods == 0;
    const bool menu =
        key.key() == Qt::Key_Menu || (key.key() == Qt::Key_F10 && mods == Qt::ShiftModifier);
    if (!del && !enter && !menu)
        return false;
    // The keys act on the row the cursor is on, which Qt does not select when
    // the list takes the focus.
    if (selected_index() < 0 && lv->currentItem())
        select(lv->indexOfTopLevelItem(lv->currentItem()));
    if (del) {
        if (m_host)
            m_host->list_command(QStringLiteral("Del"));
        return true;
    }
    if (enter) {
        lvDblClick();
        return true;
    }
    // Where the mouse would have opened it: on the current row, or the list's corner.
    const QRect row = lv->visualItemRect(lv->currentItem());
    const QPoint at = row.isValid() ? row.center() : QPoint(4, 4);
    pmPopup();
    pm->popup(lv->viewport()->mapToGlobal(at));
    return true;
}

void Tfm_list::pmPopup()
{
    const int s = selected_index();
    bool recording = false, playing = false, play_paused = false, record_paused = false;
    int record_item = -1, play_item = -1;
    if (m_host) {
        const RecordListHost::SharedState st = m_host->shared_state();
        recording = st.recording;
        record_paused = st.record_paused;
        playing = st.playing;
        play_paused = st.play_paused;
        record_item = st.record_item_index;
        play_item = st.play_item_index;
    }
    if (s < 0) {
        for (QAction *a : {Play1, Pause1, Stop1, Remove1, ID3Editor1, GototheFolder1})
            a->setEnabled(false);
        Clear1->setEnabled(!playing && !recording && count() > 0);
        return;
    }
    GototheFolder1->setEnabled(true);
    if (recording) {
        Play1->setEnabled(false);
        Pause1->setEnabled(s == record_item && !record_paused);
        Stop1->setEnabled(s == record_item);
        Remove1->setEnabled(s != record_item);
        Clear1->setEnabled(false);
        ID3Editor1->setEnabled(true);
    } else if (playing) {
        Play1->setEnabled(play_paused);
        Pause1->setEnabled(!play_paused);
        Stop1->setEnabled(true);
        Remove1->setEnabled(s != play_item);
        Clear1->setEnabled(false);
        ID3Editor1->setEnabled(s != play_item);
    } else {
        Play1->setEnabled(true);
        Pause1->setEnabled(false);
        Stop1->setEnabled(false);
        Remove1->setEnabled(true);
        Clear1->setEnabled(true);
        ID3Editor1->setEnabled(true);
    }
}

void Tfm_list::enable_list_commands(bool enabled)
{
    for (QAction *a : {AddFile1, Remove1, Clear1})
        a->setEnabled(enabled);
}

void Tfm_list::add_files()
{
    // One loop at a time: the main window's "Add" stays clickable meanwhile.
    if (!m_host || m_adding)
        return;
    lv->setSortingEnabled(false);
    SettingsFile *settings = m_host->settings();
    const QString initial =
        settings ? settings->text(keys::playlist::file_path) : m_host->program_folder();
    const std::optional<QStringList> picked =
        m_host->pick_files(this, initial, qt_name_filters(open_filter));
    if (!picked || picked->isEmpty())
        return;
    m_adding = true;
    enable_list_commands(false);
    if ((settings = m_host->settings()))
        settings->set_text(keys::playlist::file_path, QFileInfo(picked->first()).absolutePath());
    for (const QString &path : *picked) {
        QCoreApplication::processEvents();
        if (!QFileInfo::exists(path)) {
            m_host->message_box(this, path + QStringLiteral(" has been removed!"),
                                QStringLiteral("Information"));
            continue;
        }
        bool valid = true;
        try {
            AudioFile->OpenFile(path, 0, 1);
            valid = AudioFile->TotalSamples() != 0;
        } catch (const std::exception &) {
            valid = false;
        }
        if (!valid) {
            AudioFile->CloseFile();
            m_host->message_box(this, path + QStringLiteral(" is an invalid audio file!"),
                                QStringLiteral("Information"));
            continue;
        }
        const QString length = clock_text(AudioFile->Duration() / 1000);
        AudioFile->CloseFile();
        append_entry(QFileInfo(path).fileName(), path, length, image_idle);
    }
    enable_list_commands(true);
    m_adding = false;
}

void Tfm_list::remove_selected_entry()
{
    const int s = selected_index();
    if (s < 0)
        return;
    delete_entry(s);
    after_removal(s);
}

// Every index follows its row; one that named the removed row names none. A
// removed current entry leaves no current file, so "Play" and "ID3" cannot
// reach a file the user took off the list.
void Tfm_list::after_removal(int s)
{
    if (!m_host)
        return;
    RecordListHost::SharedState st = m_host->shared_state();
    for (int32_t *index : {&st.play_item_index, &st.record_item_index}) {
        if (*index > s)
            --*index;
        else if (*index == s)
            *index = -1;
    }
    if (st.current_item_index > s) {
        --st.current_item_index;
    } else if (st.current_item_index == s) {
        st.current_item_index = -1;
        st.current_file.clear();
        m_host->list_current_changed();
    }
}

void Tfm_list::Clear1Click()
{
    if (!m_host) {
        delete_all();
        return;
    }
    // The menu never offers Clear while recording; the recording's row stays.
    if (m_host->shared_state().recording)
        return;
    if (m_host->shared_state().playing)
        m_host->list_stop_playback();
    delete_all();
    RecordListHost::SharedState st = m_host->shared_state();
    st.play_item_index = -1;
    st.record_item_index = -1;
    st.current_item_index = -1;
    st.current_file.clear();
    m_host->list_current_changed();
}

void Tfm_list::Play1Click()
{
    const int s = selected_index();
    if (!m_host || s < 0)
        return;
    RecordListHost::SharedState st = m_host->shared_state();
    st.current_item_index = s;
    st.current_file = path_of(s);
    m_host->list_start_playback();
}

void Tfm_list::lvDblClick()
{
    if (!m_host || m_host->shared_state().recording || selected_index() < 0)
        return;
    Play1Click();
}

void Tfm_list::Pause1Click()
{
    if (!m_host)
        return;
    if (m_host->shared_state().playing)
        m_host->list_pause_playback();
    else if (m_host->shared_state().recording)
        m_host->list_pause_recording();
}

void Tfm_list::Stop1Click()
{
    if (!m_host)
        return;
    if (m_host->shared_state().playing)
        m_host->list_stop_playback();
    else if (m_host->shared_state().recording)
        m_host->list_stop_recording();
}

void Tfm_list::ID3Editor1Click()
{
    if (!m_host || !m_id3)
        return;
    RecordListHost::SharedState st = m_host->shared_state();
    if (st.recording && st.record_item_index == st.current_item_index)
        m_id3->target_path.clear();
    else if (st.current_item_index >= 0 && st.current_item_index < count())
        m_id3->target_path = path_of(st.current_item_index);
    else
        return; // no current entry: nothing to edit
    // Centred on the main window and the docked list together.
    const QRect main = m_host->main_window()->frameGeometry();
    const QRect list = frameGeometry();
    const QSize editor = frame_size(m_id3, this);
    m_id3->move(list.left() + (list.width() - editor.width()) / 2,
                main.top() + (main.height() + list.height() - editor.height()) / 2);
    m_id3->exec();
}

void Tfm_list::GototheFolder1Click()
{
    const int s = selected_index();
    if (s < 0 || !m_file_manager)
        return;
    m_file_manager->show_item(path_of(s));
}
