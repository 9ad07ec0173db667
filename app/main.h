#pragma once
// Tfm_main: the main window. It owns the audio components, the skin, the
// schedule timer and the state shared by recording and playback; the other
// windows read and write that state under the names below.

#include "ID3.h"
#include "audio/codecs.h"
#include "audio_types.h"
#include "desktop_state.h"
#include "dir.h"
#include "option.h"
#include "recordlist.h"
#include "schedule_rule.h"
#include "services.h"
#include "sound_trigger.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>

class ISkinForm;
class ISkinObject;
class QDialog;
class SettingsFile;
class TAudioFile2;
class TAudioFile2LameEnc;
class TAudioInformation2;
class TAudioPlayer2;
class TAudioRecord2;
class TAudioVisualizationEx2;
class TSkin;

class Tfm_main : public QWidget, public RecordListHost
{
    Q_OBJECT
public:
    explicit Tfm_main(Services services = {}, QWidget *parent = nullptr);
    ~Tfm_main() override;

    // The other windows, created after this one by the program entry.
    void set_windows(Tfm_option *option, Tfm_id3 *id3, Tfm_dir *dir, Tfm_list *list);
    // The settings dialog is the largest window: the program builds it with
    // `make` once this window has painted. Asking for it before then (the
    // Options command) builds it at once; either way its device lists are
    // filled before it can be opened.
    void set_option_maker(std::function<Tfm_option *()> make);
    Tfm_option *option_window();

    // components
    TSkin *Skin = nullptr;
    TAudioRecord2 *AudioRecord = nullptr;
    TAudioFile2 *AudioFileRecord = nullptr;
    TAudioFile2LameEnc *AudioFile2LameEnc = nullptr;
    TAudioInformation2 *AudioInformation = nullptr;
    TAudioPlayer2 *AudioPlayer = nullptr;
    TAudioFile2 *AudioFilePlay = nullptr;
    TAudioVisualizationEx2 *AudioVisualizationEx = nullptr;
    QTimer Timer;

    // shared state
    std::unique_ptr<SettingsFile> settings_file;
    bool recording = false;
    bool record_paused = false;
    bool playing = false;
    bool play_paused = false;
    int64_t recorded_before_pause = 0; // capture samples; 64 bits so long recordings never wrap
    int32_t play_offset = 0;
    int32_t record_item_index = 0;
    int32_t play_item_index = 0;
    int32_t current_item_index = -1;
    QString play_file;
    QString current_file;
    QString pending_title, pending_artist, pending_album, pending_genre_text, pending_comment;
    int16_t pending_genre_index = -1; // none: a recording nobody tagged gets no genre
    int32_t pending_year = -1;
    int32_t pending_track = -1;
    bool scheduled_run = false;
    bool limit_active = false;
    int32_t scheduled_length_s = 0;
    int32_t limit_length_s = 0;
    int32_t play_length_s = 0;
    QString play_length_text;

    // skin display elements (null when the skin lacks one)
    ISkinObject *play_bar = nullptr;
    ISkinObject *file_name_label = nullptr;
    ISkinObject *time_label = nullptr;
    ISkinObject *format_label = nullptr;

    // life cycle and commands
    void FormCreate();
    void FormShow();
    void FormClose();
    void find_skin_elements();
    void SkinClick(TSkin *Sender, ISkinObject *Source);
    // The command of a skin element's name, with the guards a click has;
    // names of no command do nothing.
    void run_command(const QString &name);
    // A command's key: as a click on its element, which may be missing or disabled.
    void key_command(const QString &name);
    // The command keys on the form's elements, for their tooltips and screen readers.
    void show_shortcuts(ISkinForm *form);
    void ApplicationEventsException(const QString &what);
    void follow_main_window();
    void show_help();
    // The record list docked directly under this window.
    void dock_record_list();
    // Centred on this window, or on it and the showing record list together.
    void place_dialog(QWidget *dialog);

    // the record list's host
    SharedState shared_state() override;
    QWidget *main_window() override { return this; }
    void list_start_playback() override;
    void list_pause_playback() override;
    void list_stop_playback() override;
    void list_pause_recording() override;
    void list_stop_recording() override;
    void list_command(const QString &element) override { key_command(element); }
    std::optional<QStringList> pick_files(QWidget *parent, const QString &initial_folder,
                                          const QString &filter) override;
    void message_box(QWidget *parent, const QString &text, const QString &caption) override;
    void list_current_changed() override { emit desktop_changed(); }
    SettingsFile *settings() override { return settings_file.get(); }
    QString program_folder() const override { return m_services.program_folder; }

    // recording
    void start_recording();
    void pause_recording();
    void stop_recording();
    void AudioRecordEndArrayRecord(QObject *Sender, int nBlock);
    void AudioRecordTimer(QObject *Sender, int CurrentSamples, int LevelLeft, int LevelRight);

    // schedule
    void TimerTimer();
    // A scheduled recording is over: the schedule waits for its next window,
    // or switches off when there is none.
    void end_scheduled_run();

    // playback
    void start_playback();
    void pause_playback();
    void stop_playback();
    void feed_player();
    void AudioPlayerTimer(QObject *Sender, int CurrentSamples, int LevelLeft, int LevelRight);
    void AudioPlayerEndArrayPlay(QObject *Sender);
    void AudioPlayerRequestOnLoadArray(QObject *Sender);
    void AudioPlayerEndPlay(QObject *Sender);
    void SkinMouseDown(TSkin *Sender, ISkinObject *Source, int Button, int x, int y);
    void SkinMouseUp(TSkin *Sender, ISkinObject *Source, int Button, int x, int y);
    void SkinScrollTrack(TSkin *Sender, ISkinObject *Source, int NewPos);
    // The "Open" command: pick a file, then open_path.
    void open_command();
    // Probes a file, lists it and plays it.
    void open_path(const QString &path);
    // The play bar's jump, to a time of the playing file; at its end playback stops.
    void seek_playback_ms(int64_t ms);
    // The one-line "Format" text of an open file.
    static QString format_summary(const QString &path, const TAudioFile2 &file);

    // The path of the file being recorded (current_file may move on while it runs).
    QString recording_file() const { return m_record_file; }
    Tfm_list *record_list() const { return m_list; }
    Tfm_option *options() const { return m_option; }
    Services &services() { return m_services; }
    QString skin_problem() const { return m_skin_problem; }

    static QString default_output_folder();   // automatic naming: the user's music folder
    static QString default_recorder_folder(); // the save dialog's first folder

    // the desktop's ways in (main_desktop.cpp)
    DesktopState desktop_state() const;
    // A command from outside the windows (the bus, media keys): run_command,
    // with the text of any message it would show returned instead of shown.
    QString quiet_command(const QString &name);
    // Shown, raised and activated, from wherever it was.
    void bring_to_front();
    // Makes the listed `path` the current file and plays it (a notification's "Play").
    void play_listed(const QString &path);

signals:
    // A recording or playback began, paused, resumed, moved on or ended.
    void desktop_changed();
    // The playing file jumped to `ms` (the play bar, media keys).
    void seeked(qint64 ms);
    void scheduled_started(const QString &file);
    void scheduled_ended(const QString &file, int duration_ms);
    // A recording ended by a fault; `text` is the message box's.
    void recording_fault(const QString &file, const QString &text);
    // The settings dialog's "Ok" wrote the file.
    void settings_applied();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void install_shortcuts();
    void load_skin();
    void fill_device_list();
    void fill_input_line_list();
    void set_label(ISkinObject *element, const QString &text);
    void open_placed(QDialog *dialog);
    void id3_command();

    // recording helpers
    bool set_up_format(int format_index, QString &extension);
    bool open_recording_file(); // the next file: name, file, list entry
    QString choose_sources();   // the capture's second source or application; its text
    void start_capture();
    bool take_block(const SampleArray &block);
    // sound-activated recording (main_trigger.cpp)
    void arm_recording();
    bool run_trigger(const std::vector<SoundTrigger::Action> &actions);
    struct FileClosed {
        int duration_ms = 0;
        bool tags_written = true;
    };
    FileClosed close_recording_file(); // closed, tagged, its entry finished
    void tell_file_faults(const FileClosed &closed);
    void trigger_tick();
    QString output_path(const QString &extension, const QString &dialog_name);
    bool write_block(const SampleArray &block);
    bool write_tags();
    void report_write_failure();
    void finish_recording(bool split);
    void roll_over();
    void drain_capture();
    void capture_failed();
    void report_capture_failure(const QString &file, const QString &reason);
    void reconnect_tick();

    // playback helpers
    // As start_playback chooses: the list's current entry, else the file played last.
    QString file_to_play() const;
    int play_row() const;
    void set_play_image(int image);
    void refuse_play_file(const QString &suffix);
    bool seek_play_file(int position);
    // The reader and the stream to an interleaved sample of the playing file.
    bool seek_to_sample(int32_t offset);
    void end_playback();
    void reset_play_state();

    void attach_option(Tfm_option *option);

    Services m_services;
    QPointer<Tfm_option> m_option;
    std::function<Tfm_option *()> m_make_option;
    QPointer<Tfm_id3> m_id3;
    QPointer<Tfm_dir> m_dir;
    QPointer<Tfm_list> m_list;
    bool m_shown_once = false;
    bool m_closed = false;
    bool m_in_error_handler = false;
    bool m_starting = false; // a start waits in its save dialog
    QString m_skin_problem;

    ScheduleWindow m_schedule_done;    // the window this run recorded (or tried to)
    int64_t m_scheduled_before_ms = 0; // a scheduled run's earlier files, when the limit split it

    QString m_extension;   // of the files of this recording
    QString m_dialog_name; // the name the save dialog gave, empty for date-and-time names
    std::unique_ptr<SoundTrigger> m_trigger; // sound decides when files begin and end
    qsizetype m_files_before_arming = 0;

    QString m_record_file;
    QSet<QString> m_recorded_paths; // this run's recordings: never overwritten by a later one
    bool m_write_failed = false;
    QString m_write_error;
    CodecPreload m_codec_preload;

    int m_play_length_ms = 0; // the bar of a file under a second follows milliseconds
    bool m_finishing = false; // a stop or pause waits for the sound of its moment
    // A stop (schedule, command, timer) that came while a split or pause was
    // being finished, and the stream position of its moment.
    bool m_stop_owed = false;
    int64_t m_stop_owed_at = -1;
    // After the sound server went away: waiting for it to come back.
    static constexpr int reconnect_wait_ms = 10000;
    QTimer m_reconnect_timer;
    QElapsedTimer m_reconnect_clock;
    QString m_lost_file;
    QString m_lost_reason;
};
