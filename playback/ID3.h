#pragma once
// Tfm_id3: the tag editor. With `target_path` set it edits that file's tags
// (read when it opens, written on "Ok"); with it empty it edits the main
// window's pending tags, which the next recording's stop writes. All tag
// access goes through the main window's AudioInformation.

#include <QDialog>
#include <cstdint>
#include <functional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TAudioInformation2;

// The main window's pending tags, which the editor reads and stores in pending mode.
struct PendingTags {
    QString *title = nullptr;
    QString *artist = nullptr;
    QString *album = nullptr;
    QString *genre_text = nullptr;
    QString *comment = nullptr;
    int16_t *genre_index = nullptr; // -1: none
    int32_t *year = nullptr;        // -1: none
    int32_t *track = nullptr;       // -1: none
};

class Tfm_id3 : public QDialog
{
    Q_OBJECT
public:
    explicit Tfm_id3(QWidget *parent = nullptr);

    // Handed in by the main window before the first opening.
    void set_sources(TAudioInformation2 *information, PendingTags pending);
    // How a failure is told: text and caption of a message box with one OK
    // button (a plain QMessageBox unless set).
    void set_message_handler(std::function<void(const QString &text, const QString &caption)> f)
    {
        m_message = std::move(f);
    }

    QString target_path; // empty: the pending tags of the running or next recording
    bool is_wma = false;

    // Fills the boxes; false in file mode when the target's tags cannot be read.
    bool FormShow();
    // Opens modally; a file whose tags cannot be read is told instead.
    int exec() override;

    QLineEdit *edt_title = nullptr;
    QLineEdit *edt_artist = nullptr;
    QLineEdit *edt_album = nullptr;
    QLineEdit *edt_year = nullptr;
    QLineEdit *edt_track = nullptr;
    QComboBox *cb_genre = nullptr;
    QLineEdit *edt_comment = nullptr;
    QPushButton *btn_ok = nullptr;
    QPushButton *btn_reset = nullptr;
    QPushButton *btn_cancel = nullptr;

    void btn_okClick();
    void btn_resetClick();
    void btn_cancelClick();
    // The key filter of Year and Track: true when the typed character is dropped.
    static bool edt_yearKeyPress(QChar key);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    bool fill_from_file(bool look_at_extension);
    void fill_from_pending(bool with_genre);
    bool store_into_file();
    void store_into_pending();
    void tell(const QString &text, const QString &caption);

    TAudioInformation2 *m_information = nullptr;
    PendingTags m_pending;
    std::function<void(const QString &, const QString &)> m_message;
    bool m_filled = false;  // FormShow ran for this opening
    int m_genre_shown = -1; // the genre selected when the boxes were filled
};
