#pragma once
// Tfm_option: the settings dialog, twelve pages chosen from the tree `tv`.
// Shown modally by the main window; every showing reloads the pages from the
// settings file except Recording Source, whose lists and volume stay as the
// user or start-up left them. "Ok" writes every key in one replacement of
// the file, "Cancel" only closes, "Default" resets without writing.
//
// cb_source items carry their engine device number (item data) and the
// device's server name (device_name_role): the list skips unusable devices,
// so a position is not a device number, and a name finds a device again
// after the server's list changed. The main window fills the lists at
// start-up through fill_device_list(), the same code that refills them when
// devices come and go.
//
// Files: option.cpp (frame, tree, FormShow, Ok, Cancel, Default),
// option_pages.cpp (the pages' controls), option_formats.cpp (the FLAC and
// Opus pages), option_trigger.cpp (Sound Activation), option_widgets.cpp (what pages are built
// from), option_rules.cpp (enabling rules, time validation, numeric edits, links),
// option_source.cpp (devices, lines, volume), option_desktop.cpp (the tray box
// on the Schedule page).

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QUrl>
#include <array>
#include <cstdint>
#include <functional>

class SettingsFile;
class TAudioRecord2;
class Tfm_dir;
class QTimer;

// What the dialog works with besides its own controls. Message functions
// left empty show real boxes; tests answer them instead.
struct OptionContext {
    TAudioRecord2 *AudioRecord = nullptr;
    std::function<SettingsFile *()> settings_file; // the main window's store, or null
    QTimer *Timer = nullptr;                       // the main window's schedule timer
    Tfm_dir *fm_dir = nullptr;
    // An information box (caption "Information", one OK button).
    std::function<void(QWidget *, const QString &)> information;
    // A plain box with a caption.
    std::function<void(QWidget *, const QString &, const QString &)> message_box;
    std::function<void(const QUrl &)> open_url; // empty: QDesktopServices
    // After "Ok" has written the file: what reads keys only then (the tray) reads them again.
    std::function<void()> applied;
};

class Tfm_option : public QDialog
{
    Q_OBJECT
public:
    static constexpr int device_name_role = Qt::UserRole + 1;
    static constexpr int page_count = 12;

    explicit Tfm_option(QWidget *parent = nullptr);
    void set_context(OptionContext context);

    // The engine device number of a cb_source position; -1 for none.
    int device_number_at(int position) const;
    // Start-up's filling of the device and line lists (engine set to the
    // chosen device and line, the line selected for recording).
    void fill_device_list();
    void fill_input_line_list();
    // The page shown now, 0..8 in the tree's order.
    int current_page() const;

    // event handlers
    void FormShow();
    void tvClick();
    void btn_okClick();
    void btn_defaultClick();
    void btn_cancelClick();
    void cb_sourceChange();
    void cb_deviceChange();
    void tb_volumeChange();
    void rb_disableClick();
    void dtp_begintimeChange();
    void dtp_endtimeChange();
    void cb_limitClick();
    void cb_stopClick();
    void cb_newClick();
    void edt_timelimitExit();
    void rb_datenameClick();
    void btn_browseClick();
    void cb_vbrClick();
    void cb_triggerClick();
    void rb_cdqualityClick();
    void rb_customClick();
    void cb_ogg_qualityClick();
    void edt_ogg_qualityChange();
    void edt_ogg_qualityExit();
    void Label50Click();
    void lbl_webClick();
    void lbl_emailClick();
    // The server's devices changed, or a program started or stopped playing:
    // lists refilled, the chosen device, line, second source and program kept.
    void devices_changed();
    void cb_mix_sourceChange();

    // the frame
    QTreeWidget *tv = nullptr;
    std::array<QWidget *, page_count> pages{};
    QWidget *pnl_source = nullptr, *pnl_schedule = nullptr, *pnl_limit = nullptr,
            *pnl_trigger = nullptr, *pnl_format = nullptr, *pnl_mp3 = nullptr, *pnl_wma = nullptr,
            *pnl_wav = nullptr, *pnl_ogg = nullptr, *pnl_flac = nullptr, *pnl_opus = nullptr,
            *pnl_about = nullptr;
    QPushButton *btn_ok = nullptr, *btn_default = nullptr, *btn_cancel = nullptr;

    // Recording Source
    QComboBox *cb_source = nullptr;
    QComboBox *cb_device = nullptr;
    QSlider *tb_volume = nullptr;
    QComboBox *cb_mix_source = nullptr; // "None" and every source, by server name
    QSpinBox *ud_mix_level = nullptr;
    QComboBox *cb_application = nullptr; // "Any" and the programs playing now
    // Schedule
    QRadioButton *rb_disable = nullptr, *rb_day = nullptr, *rb_week = nullptr,
                 *rb_special = nullptr;
    QDateEdit *dtp_date = nullptr;
    QTimeEdit *dtp_begintime = nullptr, *dtp_endtime = nullptr;
    QCheckBox *cb_tray = nullptr;
    // File Length Limitation
    QCheckBox *cb_limit = nullptr, *cb_stop = nullptr, *cb_new = nullptr;
    QLineEdit *edt_timelimit = nullptr;
    // Sound Activation
    QCheckBox *cb_trigger = nullptr;
    QSpinBox *ud_trigger_start = nullptr, *ud_trigger_after = nullptr, *ud_trigger_pre = nullptr,
             *ud_trigger_silence = nullptr, *ud_trigger_silence_time = nullptr;
    QComboBox *cb_trigger_on_silence = nullptr;
    // Output Format
    QRadioButton *rb_datename = nullptr, *rb_customname = nullptr;
    QComboBox *cb_format = nullptr;
    QLineEdit *edt_dir = nullptr;
    QPushButton *btn_browse = nullptr;
    // MP3
    QComboBox *cb_mp3_frequency = nullptr, *cb_mp3_channel = nullptr, *cb_mp3_bitrate = nullptr,
              *cb_mp3_vbr = nullptr;
    QLineEdit *edt_mp3_quality = nullptr, *edt_mp3_vbr = nullptr;
    QSpinBox *ud_mp3_quality = nullptr, *ud_mp3_vbr = nullptr;
    QCheckBox *cb_vbr = nullptr;
    // WMA
    QComboBox *cb_wma = nullptr;
    QLabel *Label50 = nullptr;
    // WAV
    QRadioButton *rb_cdquality = nullptr, *rb_custom = nullptr;
    QComboBox *cb_wav_frequency = nullptr, *cb_wav_channel = nullptr, *cb_wav_bit = nullptr;
    // OGG
    QComboBox *cb_ogg_fre = nullptr, *cb_ogg_channel = nullptr, *cb_ogg_bitrate = nullptr,
              *cb_ogg_minbit = nullptr, *cb_ogg_maxbit = nullptr;
    QCheckBox *cb_ogg_quality = nullptr;
    QLineEdit *edt_ogg_quality = nullptr;
    QSpinBox *ud_ogg_quality = nullptr;
    // FLAC
    QComboBox *cb_flac_frequency = nullptr, *cb_flac_channel = nullptr, *cb_flac_bit = nullptr;
    QSpinBox *ud_flac_level = nullptr;
    // Opus
    QComboBox *cb_opus_channel = nullptr, *cb_opus_bitrate = nullptr,
              *cb_opus_application = nullptr;
    QSpinBox *ud_opus_complexity = nullptr;
    // About
    QLabel *lbl_web = nullptr, *lbl_email = nullptr;

    QDateTime accepted_begin_time;
    QDateTime accepted_end_time;

    static const QString web_address;
    static const QString download_address;
    static const QString support_address;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void build_frame();
    QWidget *build_source_page();
    QWidget *build_schedule_page();
    QWidget *build_limit_page();
    QWidget *build_format_page();
    QWidget *build_mp3_page();
    QWidget *build_wma_page();
    QWidget *build_wav_page();
    QWidget *build_ogg_page();
    QWidget *build_flac_page();
    QWidget *build_trigger_page();
    QWidget *build_opus_page();
    QWidget *build_about_page();
    QWidget *new_page(const QString &banner_title);
    void connect_rules();
    // The FLAC and Opus pages' part of showing, "Ok" and "Default".
    void show_flac_opus(const SettingsFile &f);
    void store_flac_opus(SettingsFile &f) const;
    void default_flac_opus();
    void select_opus_bitrate(int kbps);
    // The second source and the application on the Recording Source page.
    void fill_mix_lists(const QString &mix_source, const QString &application);
    void show_mix(const SettingsFile &f);
    void store_mix(SettingsFile &f) const;
    // The Sound Activation page's part of the same.
    void show_trigger(const SettingsFile &f);
    void store_trigger(SettingsFile &f) const;
    void default_trigger();
    // The tray box's part of building, showing, "Ok" and "Default".
    QWidget *build_tray_box(QWidget *page);
    void show_desktop(const SettingsFile &f);
    void store_desktop(SettingsFile &f) const;
    void default_desktop();

    void show_page(int index);
    void information(const QString &text);
    void open_url(const QUrl &url);
    SettingsFile *settings() const;
    // Program-set ticks: a check box runs its handler on every real change,
    // a radio button only when it becomes ticked.
    void set_check(QCheckBox *box, bool ticked, void (Tfm_option::*handler)());
    void set_radio(QRadioButton *button, void (Tfm_option::*handler)());
    // The up-down's text in its edit: 1000 as "1,000" for the OGG quality.
    void show_up_down(QSpinBox *ud, QLineEdit *edit, bool grouped);
    int16_t line_number_of(int position) const;
    // Lists the current device's lines, last to first, and chooses the line
    // named `keep_line`, else line `line_number` (1-based), else the stored one.
    void fill_lines_of_current_device(const QString &keep_line, int16_t line_number);
    // Each usable device with its engine number and server name; skipped ones shift nothing.
    void list_usable_devices(TAudioRecord2 *record);

    OptionContext m_context;
    bool m_filling_quality = false;
    int16_t m_start_line = 0; // start-up on the default source: its line
};
