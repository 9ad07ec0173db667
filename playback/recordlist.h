#pragma once
// Tfm_list: the record list window and its list view `lv` of this run's
// files. An entry is caption (file name), path (hidden column), length text
// ("__:__:__" while recording) and a state image. Every operation ignores an
// index that names no entry, so a stale index can never touch another file.
// Its context menu `pm` plays, pauses, stops, adds, removes, clears, edits
// tags and shows a file's folder, through the main window (RecordListHost).

#include <QIcon>
#include <QTreeWidget>
#include <QWidget>
#include <memory>
#include <optional>

class QAction;
class QKeyEvent;
class QMenu;
class SettingsFile;
class TAudioFile2;
class TSkin;
class Tfm_id3;
class FileManager;

enum StateImage { image_playing = 0, image_paused = 1, image_idle = 2, image_recording = 3 };

// What the record list needs from the main window. The state members refer to
// the main window's own variables, so the list reads and moves the indexes
// the main window keeps. All calls on the user-interface thread.
class RecordListHost
{
public:
    virtual ~RecordListHost() = default;
    struct SharedState {
        bool &recording;
        bool &record_paused;
        bool &playing;
        bool &play_paused;
        int32_t &record_item_index;
        int32_t &play_item_index;
        int32_t &current_item_index;
        QString &current_file;
    };
    virtual SharedState shared_state() = 0;
    virtual QWidget *main_window() = 0;
    virtual void list_start_playback() = 0;
    virtual void list_pause_playback() = 0;
    virtual void list_stop_playback() = 0;
    virtual void list_pause_recording() = 0;
    virtual void list_stop_recording() = 0;
    // A key standing for one of the list's skin elements ("Del"): the
    // element's command, with the guards of its click.
    virtual void list_command(const QString &element) = 0;
    // The multi-select open dialog; nullopt when the user cancels.
    virtual std::optional<QStringList> pick_files(QWidget *parent, const QString &initial_folder,
                                                  const QString &filter) = 0;
    virtual void message_box(QWidget *parent, const QString &text, const QString &caption) = 0;
    // The current entry (what "Play" plays) changed.
    virtual void list_current_changed() {}
    // Null before the main window is first shown.
    virtual SettingsFile *settings() = 0;
    virtual QString program_folder() const = 0;
};

class Tfm_list : public QWidget
{
    Q_OBJECT
public:
    explicit Tfm_list(QWidget *parent = nullptr);
    ~Tfm_list() override;

    void set_host(RecordListHost *host) { m_host = host; }
    void set_id3(Tfm_id3 *id3) { m_id3 = id3; }
    // The main window's skin, applied with the form "List" at each showing.
    void set_skin(TSkin *skin) { m_skin = skin; }
    void set_file_manager(std::unique_ptr<FileManager> file_manager);

    // entries
    int append_entry(const QString &caption, const QString &path, const QString &length_text,
                     int image = image_idle);
    void set_image(int index, int image);
    int image_of(int index) const;
    void set_length_text(int index, const QString &text);
    QString length_text_of(int index) const;
    QString caption_of(int index) const;
    QString path_of(int index) const;
    int count() const;
    int selected_index() const;
    void select(int index);
    void focus();
    void delete_entry(int index);
    void delete_all();

    // commands
    void add_files();
    void remove_selected_entry();
    bool adding_files() const { return m_adding; }

    // menu handlers
    void pmPopup();
    void Play1Click();
    void Pause1Click();
    void Stop1Click();
    void AddFile1Click() { add_files(); }
    void Remove1Click() { remove_selected_entry(); }
    void Clear1Click();
    void ID3Editor1Click();
    void GototheFolder1Click();
    void lvDblClick();

    QTreeWidget *lv = nullptr;
    QMenu *pm = nullptr;
    QAction *Play1 = nullptr;
    QAction *Pause1 = nullptr;
    QAction *Stop1 = nullptr;
    QAction *AddFile1 = nullptr;
    QAction *Remove1 = nullptr;
    QAction *Clear1 = nullptr;
    QAction *ID3Editor1 = nullptr;
    QAction *GototheFolder1 = nullptr;
    TAudioFile2 *AudioFile = nullptr;

    static QIcon state_image(int image);
    static const QString open_filter; // the filter in the pairs form "text|patterns|..."

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Delete, Enter and the menu keys on the list's rows.
    bool row_key(const QKeyEvent &key);
    void build_view();
    void build_menu();
    void FormCreate();
    void FormShow();
    void FormClose();
    void lvSelectItem();
    void enable_list_commands(bool enabled);
    void after_removal(int index);

    TSkin *m_skin = nullptr;
    RecordListHost *m_host = nullptr;
    Tfm_id3 *m_id3 = nullptr;
    std::unique_ptr<FileManager> m_file_manager;
    bool m_adding = false;
};

// "text|patterns|text|patterns" as QFileDialog wants it: "text (p1 p2);;...".
QString qt_name_filters(const QString &pairs);
