#include "ID3.h"

#include "audio/audio_information.h"
#include "audio/genres.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <iterator>
#include <optional>

namespace
{

constexpr int edit_height = 21;

// A box's number, or nullopt for an empty box or text that is not one
// (pasted text gets past the key filter).
std::optional<int> number_in(const QLineEdit *box)
{
    bool ok = false;
    const int value = box->text().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

// A caption right-aligned before its field, its trailing space kept as a gap
// outside it: inside, the space would push the words out on the left or the
// caption into the field on its left (the track number's, beside "Genre:").
void place_caption(QLabel *caption, int field_x, int y, int height, int min_x = 0)
{
    const QFontMetrics fm = caption->fontMetrics();
    const QString words = caption->text().trimmed();
    const int gap = 4 + fm.horizontalAdvance(caption->text()) - fm.horizontalAdvance(words);
    const int width = fm.horizontalAdvance(words) + 1;
    caption->setText(words);
    caption->setGeometry(std::max(min_x, field_x - gap - width), y, width, height);
    caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
}

} // namespace

Tfm_id3::Tfm_id3(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ID3"));
    setFixedSize(374, 255);

    const int height = std::max(edit_height, QLineEdit().sizeHint().height());
    auto edit = [&](const char *label, int x, int y, int width) {
        auto *box = new QLineEdit(this);
        box->setGeometry(x, y, width, height);
        auto *caption = new QLabel(QString::fromLatin1(label), this);
        caption->setBuddy(box);
        place_caption(caption, x, y, height);
        return box;
    };
    edt_title = edit("Title: ", 74, 13, 266);
    edt_artist = edit("Artist: ", 74, 53, 266);
    edt_album = edit("Album: ", 74, 93, 266);
    edt_year = edit("Year: ", 74, 133, 60);
    edt_track = edit("Track: ", 179, 133, 38);
    edt_track->setMaxLength(2);
    edt_comment = edit("Comment: ", 74, 173, 266);
    for (QLineEdit *box : {edt_year, edt_track})
        box->installEventFilter(this);

    cb_genre = new QComboBox(this);
    cb_genre->addItems(genre_names());
    cb_genre->setMaxVisibleItems(16);
    // The box is narrow; its list is as wide as the longest name.
    cb_genre->view()->setMinimumWidth(cb_genre->view()->sizeHintForColumn(0) + 24);
    cb_genre->setGeometry(264, 133, 76, std::max(height, cb_genre->sizeHint().height()));
    cb_genre->setCurrentIndex(-1);
    auto *genre_label = new QLabel(QStringLiteral("Genre: "), this);
    genre_label->setBuddy(cb_genre);
    // Clear of the track number's field, however wide the font makes it.
    place_caption(genre_label, 264, 133, height, edt_track->geometry().right() + 2);

    auto button = [&](const char *caption, int x) {
        auto *b = new QPushButton(QString::fromLatin1(caption), this);
        b->setGeometry(x, 212, 68, 25);
        return b;
    };
    btn_ok = button("Ok", 24);
    btn_reset = button("Reset", 147);
    btn_cancel = button("Cancel", 271);
    btn_ok->setDefault(true);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_id3::btn_okClick);
    connect(btn_reset, &QPushButton::clicked, this, &Tfm_id3::btn_resetClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_id3::btn_cancelClick);

    // As the fields lie: row by row, left to right, then the buttons.
    const QWidget *order[] = {edt_title, edt_artist,  edt_album, edt_year,  edt_track,
                              cb_genre,  edt_comment, btn_ok,    btn_reset, btn_cancel};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(const_cast<QWidget *>(order[i]), const_cast<QWidget *>(order[i + 1]));
}

void Tfm_id3::set_sources(TAudioInformation2 *information, PendingTags pending)
{
    m_information = information;
    m_pending = pending;
}

int Tfm_id3::exec()
{
    if (!FormShow())
        return QDialog::Rejected;
    const int result = QDialog::exec();
    m_filled = false;
    return result;
}

void Tfm_id3::showEvent(QShowEvent *event)
{
    // Opened by show() rather than exec(): fill the boxes all the same.
    if (!m_filled && !FormShow())
        QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
    QDialog::showEvent(event);
}

bool Tfm_id3::FormShow()
{
    m_filled = true;
    edt_artist->setFocus();
    if (target_path.isEmpty()) {
        fill_from_pending(true);
        return true;
    }
    if (fill_from_file(true))
        return true;
    m_filled = false;
    tell(QStringLiteral("The tags of ") + target_path + QStringLiteral(" cannot be read."),
         QStringLiteral("Information"));
    return false;
}

bool Tfm_id3::fill_from_file(bool look_at_extension)
{
    if (!m_information || !m_information->ReadFromFile(target_path))
        return false;
    edt_title->setText(m_information->infoTitle);
    edt_artist->setText(m_information->infoArtist);
    edt_album->setText(m_information->infoAlbum);
    if (look_at_extension)
        is_wma = QFileInfo(target_path).suffix().toLower() == QLatin1String("wma");
    int genre = -1;
    if (is_wma) {
        genre = genre_index_of(m_information->infoGenreS);
        if (genre < 0)
            genre = 12; // "Other"
    } else if (m_information->infoGenreIndex >= 0 &&
               m_information->infoGenreIndex < genre_names().size()) {
        genre = m_information->infoGenreIndex;
    }
    cb_genre->setCurrentIndex(genre);
    m_genre_shown = genre;
    // A file without a year or track reads as 0: shown as nothing, not as "0".
    const auto number_or_empty = [](int value) {
        return value != 0 ? QString::number(value) : QString();
    };
    edt_track->setText(number_or_empty(m_information->infoTrack));
    edt_year->setText(number_or_empty(m_information->infoYear));
    edt_comment->setText(m_information->infoComments);
    return true;
}

void Tfm_id3::fill_from_pending(bool with_genre)
{
    if (!m_pending.title)
        return;
    edt_title->setText(*m_pending.title);
    edt_artist->setText(*m_pending.artist);
    edt_album->setText(*m_pending.album);
    const int genre = with_genre ? *m_pending.genre_index : -1;
    cb_genre->setCurrentIndex(genre >= 0 && genre < cb_genre->count() ? genre : -1);
    m_genre_shown = cb_genre->currentIndex();
    edt_comment->clear(); // the pending comment is stored, never shown
    edt_track->setText(*m_pending.track == -1 ? QString() : QString::number(*m_pending.track));
    edt_year->setText(*m_pending.year == -1 ? QString() : QString::number(*m_pending.year));
}

void Tfm_id3::btn_okClick()
{
    if (target_path.isEmpty()) {
        store_into_pending();
    } else if (!store_into_file()) {
        // The file is as it was; the edits stay in the boxes for another try.
        tell(QStringLiteral("The tags could not be written into ") + target_path +
                 QStringLiteral(".\nThe file has been left as it was."),
             QStringLiteral("Error!"));
        return;
    }
    accept();
}

bool Tfm_id3::store_into_file()
{
    if (!m_information)
        return false;
    TAudioInformation2 &info = *m_information;
    info.infoTitle = edt_title->text();
    info.infoArtist = edt_artist->text();
    info.infoAlbum = edt_album->text();
    // A genre the list cannot show ("rock", a name of another program) stays
    // in the file unless the user picks one.
    if (cb_genre->currentIndex() != m_genre_shown) {
        info.infoGenreIndex = static_cast<int16_t>(cb_genre->currentIndex());
        info.infoGenreS = cb_genre->currentIndex() >= 0 ? cb_genre->currentText() : QString();
    }
    info.infoComments = edt_comment->text();
    if (const auto year = number_in(edt_year))
        info.infoYear = *year;
    // Two characters cannot show a track above 99: one the user left alone stays.
    const auto track = number_in(edt_track);
    if (track && edt_track->isModified())
        info.infoTrack = static_cast<int16_t>(*track);
    return info.WriteToFile(target_path);
}

void Tfm_id3::store_into_pending()
{
    if (!m_pending.title)
        return;
    *m_pending.artist = edt_artist->text();
    *m_pending.year = number_in(edt_year).value_or(-1);
    *m_pending.album = edt_album->text();
    *m_pending.comment = edt_comment->text();
    *m_pending.genre_text = cb_genre->currentIndex() >= 0 ? cb_genre->currentText() : QString();
    *m_pending.genre_index = static_cast<int16_t>(cb_genre->currentIndex());
    *m_pending.title = edt_title->text();
    *m_pending.track = number_in(edt_track).value_or(-1);
}

void Tfm_id3::btn_resetClick()
{
    if (target_path.isEmpty())
        fill_from_pending(false);
    else if (!fill_from_file(false))
        tell(QStringLiteral("The tags of ") + target_path + QStringLiteral(" cannot be read."),
             QStringLiteral("Information"));
}

void Tfm_id3::btn_cancelClick()
{
    reject();
}

bool Tfm_id3::edt_yearKeyPress(QChar key)
{
    return !(key == QChar(8) || (key >= QLatin1Char('0') && key <= QLatin1Char('9')));
}

bool Tfm_id3::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == edt_year || watched == edt_track) && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        // Only typed characters are filtered; moving, deleting and shortcuts pass.
        const QString text = key->text();
        if (!text.isEmpty() && text.at(0).isPrint() && edt_yearKeyPress(text.at(0)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Tfm_id3::tell(const QString &text, const QString &caption)
{
    if (m_message)
        m_message(text, caption);
    else
        QMessageBox(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, this).exec();
}
