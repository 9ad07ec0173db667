#include "main.h"

#include "ID3.h"
#include "audio/audio_file.h"
#include "audio/audio_information.h"
#include "audio/lame_enc.h"
#include "dir.h"
#include "option.h"
#include "pulse/audio_player.h"
#include "pulse/audio_record.h"
#include "recordlist.h"
#include "settings_file.h"
#include "skin/audio_visualization.h"
#include "skin/skin.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QKeyEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <utility>

namespace
{
const QString main_form_name = QStringLiteral("ZI3Ruzerudi");
const QString skin_file_name = QStringLiteral("mp3dec.dll");

// The skinned windows are plain QWidgets to Qt, which screen readers would
// take for panels: they are windows.
QAccessibleInterface *skinned_window_accessible(const QString &class_name, QObject *object)
{
    if ((class_name == QLatin1String("Tfm_main") || class_name == QLatin1String("Tfm_list")) &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Window);
    return nullptr;
}
} // namespace

Tfm_main::Tfm_main(Services services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::MSWindowsFixedSizeDialogHint),
      m_services(std::move(services))
{
    m_services.complete();
    static const bool windows_for_readers =
        (QAccessible::installFactory(skinned_window_accessible), true);
    Q_UNUSED(windows_for_readers);
    setWindowTitle(QStringLiteral("Velquor"));
    setFixedSize(341, 168);

    Skin = new TSkin(this);
    AudioRecord = new TAudioRecord2(this, std::move(m_services.capture));
    AudioFileRecord = new TAudioFile2(this);
    AudioFile2LameEnc = new TAudioFile2LameEnc(this);
    AudioInformation = new TAudioInformation2(this);
    AudioPlayer = new TAudioPlayer2(this, std::move(m_services.playback));
    AudioFilePlay = new TAudioFile2(this);
    AudioVisualizationEx = new TAudioVisualizationEx2(this);
    AudioVisualizationEx->setGeometry(11, 46, 107, 60);
    AudioVisualizationEx->setAccessibleName(QStringLiteral("Level"));
    AudioVisualizationEx->hide();

    Timer.setInterval(1000);
    connect(&Timer, &QTimer::timeout, this, &Tfm_main::TimerTimer);
    m_reconnect_timer.setInterval(500);
    connect(&m_reconnect_timer, &QTimer::timeout, this, &Tfm_main::reconnect_tick);
    connect(Skin, &TSkin::OnClick, this, &Tfm_main::SkinClick);
    connect(AudioRecord, &TAudioRecord2::OnEndArrayRecord, this,
            &Tfm_main::AudioRecordEndArrayRecord);
    connect(AudioRecord, &TAudioRecord2::OnTimer, this, &Tfm_main::AudioRecordTimer);
    connect(Skin, &TSkin::OnMouseDown, this, &Tfm_main::SkinMouseDown);
    connect(Skin, &TSkin::OnMouseUp, this, &Tfm_main::SkinMouseUp);
    connect(Skin, &TSkin::OnScrollTrack, this, &Tfm_main::SkinScrollTrack);
    connect(AudioPlayer, &TAudioPlayer2::OnTimer, this, &Tfm_main::AudioPlayerTimer);
    connect(AudioPlayer, &TAudioPlayer2::OnEndArrayPlay, this, &Tfm_main::AudioPlayerEndArrayPlay);
    connect(AudioPlayer, &TAudioPlayer2::OnRequestOnLoadArray, this,
            &Tfm_main::AudioPlayerRequestOnLoadArray);
    connect(AudioPlayer, &TAudioPlayer2::OnEndPlay, this, &Tfm_main::AudioPlayerEndPlay);

    qApp->installEventFilter(this);
    install_shortcuts();
    FormCreate();
}

Tfm_main::~Tfm_main()
{
    // The list may outlive this window's state while children are deleted.
    if (m_list)
        m_list->set_host(nullptr);
    qApp->removeEventFilter(this);
}

void Tfm_main::set_windows(Tfm_option *option, Tfm_id3 *id3, Tfm_dir *dir, Tfm_list *list)
{
    m_id3 = id3;
    if (id3) {
        id3->set_sources(AudioInformation,
                         {&pending_title, &pending_artist, &pending_album, &pending_genre_text,
                          &pending_comment, &pending_genre_index, &pending_year, &pending_track});
        id3->set_message_handler([this](const QString &text, const QString &caption) {
            m_services.dialogs->message_box(m_id3 ? static_cast<QWidget *>(m_id3.data()) : this,
                                            text, caption);
        });
    }
    m_dir = dir;
    m_list = list;
    attach_option(option);
    if (m_list) {
        m_list->set_skin(Skin);
        m_list->set_host(this);
        m_list->set_id3(m_id3);
    }
}

void Tfm_main::attach_option(Tfm_option *option)
{
    m_option = option;
    if (m_option) {
        OptionContext context;
        context.AudioRecord = AudioRecord;
        context.settings_file = [this] { return settings_file.get(); };
        context.Timer = &Timer;
        context.fm_dir = m_dir;
        context.information = [this](QWidget *parent, const QString &text) {
            m_services.dialogs->information(parent, text);
        };
        context.message_box = [this](QWidget *parent, const QString &text, const QString &caption) {
            m_services.dialogs->message_box(parent, text, caption);
        };
        context.applied = [this] { emit settings_applied(); };
        m_option->set_context(std::move(context));
        connect(AudioRecord, &TAudioRecord2::OnDevicesChanged, m_option.data(),
                &Tfm_option::devices_changed);
    }
}

void Tfm_main::set_option_maker(std::function<Tfm_option *()> make)
{
    m_make_option = std::move(make);
}

Tfm_option *Tfm_main::option_window()
{
    if (!m_option && m_make_option) {
        const auto make = std::exchange(m_make_option, nullptr);
        attach_option(make());
        if (m_shown_once) {
            fill_device_list();
            fill_input_line_list();
        }
    }
    return m_option;
}

QString Tfm_main::default_output_folder()
{
    return SettingsFile::music_folder();
}

QString Tfm_main::default_recorder_folder()
{
    return SettingsFile::recorder_folder();
}

void Tfm_main::FormCreate()
{
    AudioFileRecord->setActive(true);
    AudioFilePlay->setActive(true);
    AudioInformation->setActive(true);
}

void Tfm_main::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_shown_once) {
        m_shown_once = true;
        FormShow();
    }
}

void Tfm_main::FormShow()
{
    scheduled_run = false;
    limit_active = false;
    current_item_index = -1;
    pending_year = -1;
    pending_track = -1;

    load_skin();
    find_skin_elements();
    settings_file = std::make_unique<SettingsFile>(QStringLiteral("velquor.ini"));
    settings_file->set_program_folder(m_services.program_folder);
    fill_device_list();
    fill_input_line_list();
    Timer.start();
    // Not before the window is up: the start-up must not wait for the codecs.
    QTimer::singleShot(500, this, [this] { m_codec_preload.start(); });

    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        move(area.center() - QPoint(frameGeometry().width() / 2, frameGeometry().height() / 2));
    }
}

void Tfm_main::load_skin()
{
    const QString path = QDir(m_services.program_folder).filePath(skin_file_name);
    try {
        Skin->LoadSkin(path);
        Skin->AttachWindow(this);
        Skin->ApplySkinForm(this, main_form_name);
    } catch (const std::exception &e) {
        // A broken skin file must not leave the user without a window: say
        // what is wrong and wear the built-in skin instead.
        m_skin_problem = QString::fromStdString(e.what());
        Skin->LoadBuiltinSkin();
        Skin->AttachWindow(this);
        Skin->ApplySkinForm(this, main_form_name);
        m_services.dialogs->message_box(
            this,
            QStringLiteral("%1\n\nVelquor uses its built-in look until the skin file is repaired.")
                .arg(m_skin_problem),
            QStringLiteral("Skin"));
    }
    AudioVisualizationEx->raise();
}

void Tfm_main::find_skin_elements()
{
    ISkinForm *form = Skin->GetSkinForm(this);
    if (!form)
        return;
    play_bar = form->FindObject(QStringLiteral("Play Bar"));
    file_name_label = form->FindObject(QStringLiteral("File Name"));
    time_label = form->FindObject(QStringLiteral("Time"));
    format_label = form->FindObject(QStringLiteral("Format"));
    show_shortcuts(form);
}

void Tfm_main::set_label(ISkinObject *element, const QString &text)
{
    if (!element)
        return;
    element->SetText(text);
    element->Redraw();
}

void Tfm_main::fill_device_list()
{
    if (m_option)
        m_option->fill_device_list();
}

void Tfm_main::fill_input_line_list()
{
    if (m_option)
        m_option->fill_input_line_list();
}

void Tfm_main::closeEvent(QCloseEvent *event)
{
    FormClose();
    event->accept();
    QWidget::closeEvent(event);
}

void Tfm_main::FormClose()
{
    if (m_closed)
        return;
    m_closed = true;
    if (recording)
        stop_recording();
    if (playing)
        stop_playback();
    Timer.stop();
    settings_file.reset();
    AudioFileRecord->setActive(false);
    AudioFilePlay->setActive(false);
    for (QWidget *w :
         {static_cast<QWidget *>(m_list.data()), static_cast<QWidget *>(m_option.data()),
          static_cast<QWidget *>(m_id3.data()), static_cast<QWidget *>(m_dir.data())})
        if (w)
            w->hide();
}

void Tfm_main::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    follow_main_window();
}

void Tfm_main::follow_main_window()
{
    if (m_list && m_list->isVisible())
        dock_record_list();
}

void Tfm_main::show_help()
{
    const QString help =
        QDir(m_services.program_folder).filePath(QStringLiteral("help/velquorhelp.html"));
    QDesktopServices::openUrl(QUrl::fromLocalFile(help));
}

bool Tfm_main::eventFilter(QObject *watched, QEvent *event)
{
    // Keys are seen here before any window handles them, whichever window has the focus.
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && QApplication::activeWindow() == this && !m_closed) {
            close();
            return true;
        }
        if (key->key() == Qt::Key_F1) {
            show_help();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Tfm_main::ApplicationEventsException(const QString &what)
{
    Q_UNUSED(what);
    if (m_in_error_handler)
        return;
    m_in_error_handler = true;
    const bool restart = m_services.dialogs->ask_yes_no(
        this, QStringLiteral("A system error occurs,do you want to restart this program?"));
    // Both answers end this run properly: a recording is finished first.
    close();
    if (!m_closed) // the close was refused or did not run: finish by hand
        FormClose();
    if (restart)
        m_services.restart();
    m_in_error_handler = false;
}
