#include "option.h"

#include "pulse/audio_record.h"
#include "settings_file.h"
#include "value_lists.h"

#include <QDesktopServices>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QMessageBox>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTimer>
#include <limits>

namespace
{

QFrame *separator(QWidget *parent, QFrame::Shape shape, const QRect &where)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(where);
    return line;
}

// Rows as tall as their wrapped text: the tree is narrower than its longest node.
class WrappingNodes : public QStyledItemDelegate
{
public:
    explicit WrappingNodes(QTreeWidget *tree) : QStyledItemDelegate(tree), m_tree(tree) {}
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        int depth = 0;
        for (QModelIndex up = index.parent(); up.isValid(); up = up.parent())
            ++depth;
        const int width = m_tree->viewport()->width() - depth * m_tree->indentation() - 8;
        const QRect text = option.fontMetrics.boundingRect(QRect(0, 0, std::max(20, width), 1000),
                                                           Qt::TextWordWrap,
                                                           index.data(Qt::DisplayRole).toString());
        return {width,
                std::max(QStyledItemDelegate::sizeHint(option, index).height(), text.height() + 4)};
    }

private:
    QTreeWidget *m_tree;
};

void select(QComboBox *list, int position)
{
    // A position outside the list chooses nothing, as the lists of old did.
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

} // namespace

const QString Tfm_option::web_address = QStringLiteral("https://www.tenvique.com/");
const QString Tfm_option::download_address =
    QStringLiteral("https://www.tenvique.com/download/wmfdist.exe");
const QString Tfm_option::support_address = QStringLiteral("support@tenvique.com");

Tfm_option::Tfm_option(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Settings"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(400, 360);
    build_frame();
    connect_rules();
    show_page(0);
}

void Tfm_option::set_context(OptionContext context)
{
    m_context = std::move(context);
}

SettingsFile *Tfm_option::settings() const
{
    return m_context.settings_file ? m_context.settings_file() : nullptr;
}

void Tfm_option::build_frame()
{
    tv = new QTreeWidget(this);
    tv->setObjectName(QStringLiteral("tv"));
    tv->setAccessibleName(QStringLiteral("Pages"));
    tv->setGeometry(0, 4, 123, 310);
    tv->setHeaderHidden(true);
    tv->setFrameShape(QFrame::NoFrame);
    tv->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // The node texts are long for the tree's width: no root decorations, and
    // a text that still does not fit wraps instead of being cut.
    tv->setRootIsDecorated(false);
    tv->setItemsExpandable(false);
    tv->setIndentation(14);
    tv->setWordWrap(true);
    tv->setTextElideMode(Qt::ElideNone);
    tv->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    tv->setItemDelegate(new WrappingNodes(tv));
    auto *source = new QTreeWidgetItem(tv, {QStringLiteral("Recording Source")});
    new QTreeWidgetItem(tv, {QStringLiteral("Schedule")});
    new QTreeWidgetItem(tv, {QStringLiteral("File Length Limitation")});
    new QTreeWidgetItem(tv, {QStringLiteral("Sound Activation")});
    auto *format = new QTreeWidgetItem(tv, {QStringLiteral("Output Format")});
    for (const char *child : {"MP3", "WMA", "WAV", "OGG", "FLAC", "Opus"})
        new QTreeWidgetItem(format, {QString::fromLatin1(child)});
    new QTreeWidgetItem(tv, {QStringLiteral("About")});
    tv->expandAll();
    tv->setCurrentItem(source);
    // A finished left click chooses the page; keyboard moves do not.
    tv->viewport()->installEventFilter(this);

    separator(this, QFrame::VLine, QRect(123, 4, 2, 310));
    auto *stack = new QStackedWidget(this);
    stack->setGeometry(125, 4, 275, 310);
    pnl_source = build_source_page();
    pnl_schedule = build_schedule_page();
    pnl_limit = build_limit_page();
    pnl_trigger = build_trigger_page();
    pnl_format = build_format_page();
    pnl_mp3 = build_mp3_page();
    pnl_wma = build_wma_page();
    pnl_wav = build_wav_page();
    pnl_ogg = build_ogg_page();
    pnl_flac = build_flac_page();
    pnl_opus = build_opus_page();
    pnl_about = build_about_page();
    pages = {pnl_source, pnl_schedule, pnl_limit, pnl_trigger, pnl_format, pnl_mp3,
             pnl_wma,    pnl_wav,      pnl_ogg,   pnl_flac,    pnl_opus,   pnl_about};
    for (QWidget *page : pages)
        stack->addWidget(page);
    separator(this, QFrame::HLine, QRect(0, 316, 400, 2));

    const auto button = [this](const char *name, const char *text, int x) {
        auto *b = new QPushButton(QString::fromLatin1(text), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(x, 323, 75, 25);
        // Enter and Escape are bound to nothing.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    btn_ok = button("btn_ok", "Ok", 31);
    btn_default = button("btn_default", "Default", 157);
    btn_cancel = button("btn_cancel", "Cancel", 283);
    connect(btn_ok, &QPushButton::clicked, this, &Tfm_option::btn_okClick);
    connect(btn_default, &QPushButton::clicked, this, &Tfm_option::btn_defaultClick);
    connect(btn_cancel, &QPushButton::clicked, this, &Tfm_option::btn_cancelClick);
}

void Tfm_option::keyPressEvent(QKeyEvent *event)
{
    // QDialog would take Enter for the default button and Escape for reject.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return ||
        event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QDialog::keyPressEvent(event);
}

void Tfm_option::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    FormShow();
}

void Tfm_option::show_page(int index)
{
    for (int i = 0; i < page_count; ++i)
        pages[static_cast<size_t>(i)]->setVisible(i == index);
    static_cast<QStackedWidget *>(pages[0]->parentWidget())->setCurrentIndex(index);
}

int Tfm_option::current_page() const
{
    for (int i = 0; i < page_count; ++i)
        if (pages[static_cast<size_t>(i)]->isVisibleTo(this))
            return i;
    return -1;
}

void Tfm_option::tvClick()
{
    QTreeWidgetItem *item = tv->currentItem();
    if (!item || !item->isSelected())
        return;
    // The node's position over all nodes from the top, children included.
    int position = 0;
    for (QTreeWidgetItemIterator it(tv); *it; ++it, ++position)
        if (*it == item) {
            show_page(position);
            return;
        }
}

void Tfm_option::information(const QString &text)
{
    if (m_context.information)
        m_context.information(this, text);
    else
        QMessageBox::information(this, QStringLiteral("Information"), text);
}

void Tfm_option::open_url(const QUrl &url)
{
    if (m_context.open_url)
        m_context.open_url(url);
    else
        QDesktopServices::openUrl(url);
}

void Tfm_option::set_check(QCheckBox *box, bool ticked, void (Tfm_option::*handler)())
{
    if (box->isChecked() == ticked)
        return;
    box->setChecked(ticked);
    (this->*handler)();
}

void Tfm_option::set_radio(QRadioButton *button, void (Tfm_option::*handler)())
{
    if (button->isChecked())
        return;
    button->setChecked(true);
    (this->*handler)();
}

void Tfm_option::FormShow()
{
    show_page(0);
    SettingsFile *file = settings();
    if (!file)
        return;
    const SettingsFile &f = *file;

    // Schedule
    const int mode = f.integer(keys::schedule::mode);
    QRadioButton *modes[] = {rb_disable, rb_day, rb_week, rb_special};
    if (mode >= 0 && mode <= 3) {
        set_radio(modes[mode], &Tfm_option::rb_disableClick);
        dtp_date->setEnabled(mode >= 2);
    }
    const QDateTime now = QDateTime::currentDateTime();
    {
        const QSignalBlocker b1(dtp_date), b2(dtp_begintime), b3(dtp_endtime);
        dtp_date->setDate(f.date(keys::schedule::special_day, now.date()));
        dtp_begintime->setTime(f.time(keys::schedule::begin_time, now.time()));
        dtp_endtime->setTime(f.time(keys::schedule::end_time, now.time()));
    }
    accepted_begin_time = dtp_begintime->dateTime();
    accepted_end_time = dtp_endtime->dateTime();

    // File length limitation
    set_check(cb_limit, f.boolean(keys::limit::enable), &Tfm_option::cb_limitClick);
    edt_timelimit->setText(QString::number(f.integer(keys::limit::time)));
    set_check(cb_stop, f.boolean(keys::limit::stop), &Tfm_option::cb_stopClick);
    set_check(cb_new, f.boolean(keys::limit::new_file), &Tfm_option::cb_newClick);
    cb_limitClick();

    // Output format
    if (f.boolean(keys::format::auto_name)) {
        set_radio(rb_datename, &Tfm_option::rb_datenameClick);
        cb_format->setEnabled(true);
    } else {
        set_radio(rb_customname, &Tfm_option::rb_datenameClick);
        cb_format->setEnabled(false);
    }
    select(cb_format, f.integer(keys::format::format));
    edt_dir->setText(f.text(keys::format::path));
    edt_dir->setCursorPosition(0);
    edt_dir->setToolTip(edt_dir->text());

    // MP3
    select(cb_mp3_bitrate, f.integer(keys::mp3::bitrate));
    select(cb_mp3_channel, f.integer(keys::mp3::channel));
    select(cb_mp3_frequency, f.integer(keys::mp3::frequency));
    ud_mp3_quality->setValue(f.integer(keys::mp3::quality));
    set_check(cb_vbr, f.boolean(keys::mp3::enable_vbr), &Tfm_option::cb_vbrClick);
    select(cb_mp3_vbr, f.integer(keys::mp3::vbr_bitrate));
    ud_mp3_vbr->setValue(f.integer(keys::mp3::vbr_quality));
    cb_vbrClick();

    // WMA
    select(cb_wma, f.integer(keys::wma::format));

    // WAV
    const int wav_mode = f.integer(keys::wav::mode);
    if (wav_mode == 0)
        set_radio(rb_cdquality, &Tfm_option::rb_cdqualityClick);
    else if (wav_mode == 1)
        set_radio(rb_custom, &Tfm_option::rb_customClick);
    select(cb_wav_bit, f.integer(keys::wav::bit));
    select(cb_wav_channel, f.integer(keys::wav::channel));
    select(cb_wav_frequency, f.integer(keys::wav::frequency));
    for (QComboBox *list : {cb_wav_frequency, cb_wav_bit, cb_wav_channel})
        list->setEnabled(rb_custom->isChecked());

    // OGG
    select(cb_ogg_channel, f.integer(keys::ogg::channel));
    select(cb_ogg_fre, f.integer(keys::ogg::frequency));
    select(cb_ogg_bitrate, f.integer(keys::ogg::bitrate));
    select(cb_ogg_maxbit, f.integer(keys::ogg::max_bitrate));
    select(cb_ogg_minbit, f.integer(keys::ogg::min_bitrate));
    set_check(cb_ogg_quality, f.boolean(keys::ogg::enable_quality),
              &Tfm_option::cb_ogg_qualityClick);
    ud_ogg_quality->setValue(f.integer(keys::ogg::quality));
    show_up_down(ud_ogg_quality, edt_ogg_quality, true);
    cb_ogg_qualityClick();

    show_flac_opus(f);
    show_trigger(f);
    show_mix(f);
    show_desktop(f);
}

void Tfm_option::btn_okClick()
{
    SettingsFile *file = settings();
    if (!file)
        return;
    // The exit rule, should the edit still hold the focus.
    edt_timelimitExit();
    bool fits = false;
    const qlonglong limit = edt_timelimit->text().toLongLong(&fits);
    if (!fits || limit < 0 || limit > std::numeric_limits<int32_t>::max()) {
        information(QStringLiteral("The time limit is too large: enter at most %1 seconds.")
                        .arg(std::numeric_limits<int32_t>::max()));
        edt_timelimit->setFocus();
        return;
    }

    const int device_position = cb_source->currentIndex();
    const int line_position = cb_device->currentIndex();
    TAudioRecord2 *record = m_context.AudioRecord;
    QString device_name, line_name;
    if (record) {
        const int device = device_number_at(device_position);
        record->setDeviceIndex(static_cast<int16_t>(device < 0 ? device_position : device));
        record->setInputLineIndex(line_number_of(line_position));
        device_name = record->DeviceServerName();
        line_name = record->InputLineServerName();
    }

    SettingsFile &f = *file;
    // One replacement of the file: a refused write leaves it as it was.
    f.begin_batch();
    f.set_integer(keys::source::source, device_position);
    f.set_integer(keys::source::device, line_position);
    f.set_text(keys::source::device_name, device_name);
    f.set_text(keys::source::line_name, line_name);
    bool timer_on = true;
    if (rb_disable->isChecked()) {
        f.set_integer(keys::schedule::mode, 0);
        timer_on = false;
    } else if (rb_day->isChecked()) {
        f.set_integer(keys::schedule::mode, 1);
    } else if (rb_week->isChecked()) {
        f.set_integer(keys::schedule::mode, 2);
    } else if (rb_special->isChecked()) {
        f.set_integer(keys::schedule::mode, 3);
    }
    f.set_date(keys::schedule::special_day, dtp_date->date());
    f.set_time(keys::schedule::begin_time, dtp_begintime->time());
    f.set_time(keys::schedule::end_time, dtp_endtime->time());

    f.set_boolean(keys::limit::enable, cb_limit->isChecked());
    f.set_integer(keys::limit::time, static_cast<int>(limit));
    f.set_boolean(keys::limit::stop, cb_stop->isChecked());
    f.set_boolean(keys::limit::new_file, cb_new->isChecked());

    f.set_boolean(keys::format::auto_name, rb_datename->isChecked());
    f.set_integer(keys::format::format, cb_format->currentIndex());
    f.set_text(keys::format::path, edt_dir->text());

    f.set_integer(keys::mp3::bitrate, cb_mp3_bitrate->currentIndex());
    f.set_integer(keys::mp3::channel, cb_mp3_channel->currentIndex());
    f.set_integer(keys::mp3::frequency, cb_mp3_frequency->currentIndex());
    f.set_integer(keys::mp3::quality, ud_mp3_quality->value());
    f.set_boolean(keys::mp3::enable_vbr, cb_vbr->isChecked());
    f.set_integer(keys::mp3::vbr_bitrate, cb_mp3_vbr->currentIndex());
    f.set_integer(keys::mp3::vbr_quality, ud_mp3_vbr->value());

    if (rb_cdquality->isChecked())
        f.set_integer(keys::wav::mode, 0);
    else if (rb_custom->isChecked())
        f.set_integer(keys::wav::mode, 1);
    f.set_integer(keys::wav::bit, cb_wav_bit->currentIndex());
    f.set_integer(keys::wav::channel, cb_wav_channel->currentIndex());
    f.set_integer(keys::wav::frequency, cb_wav_frequency->currentIndex());

    f.set_integer(keys::wma::format, cb_wma->currentIndex());

    f.set_integer(keys::ogg::channel, cb_ogg_channel->currentIndex());
    f.set_integer(keys::ogg::frequency, cb_ogg_fre->currentIndex());
    f.set_integer(keys::ogg::bitrate, cb_ogg_bitrate->currentIndex());
    f.set_integer(keys::ogg::max_bitrate, cb_ogg_maxbit->currentIndex());
    f.set_integer(keys::ogg::min_bitrate, cb_ogg_minbit->currentIndex());
    f.set_boolean(keys::ogg::enable_quality, cb_ogg_quality->isChecked());
    f.set_integer(keys::ogg::quality, ud_ogg_quality->value());
    store_flac_opus(f);
    store_trigger(f);
    store_mix(f);
    store_desktop(f);
    try {
        f.commit_batch();
    } catch (const SettingsWriteError &e) {
        const QString text = QString::fromStdString(e.what());
        if (m_context.message_box)
            m_context.message_box(this, text, QStringLiteral("Error!"));
        else
            QMessageBox::critical(this, QStringLiteral("Error!"), text);
        return;
    }

    // Applied once the settings are safe: the chosen line is recorded from now on.
    if (record)
        record->setInputLineSelected(true);
    if (m_context.Timer) {
        if (timer_on)
            m_context.Timer->start();
        else
            m_context.Timer->stop();
    }
    if (m_context.applied)
        m_context.applied();
    accept();
}

void Tfm_option::btn_cancelClick()
{
    reject();
}

void Tfm_option::btn_defaultClick()
{
    set_radio(rb_disable, &Tfm_option::rb_disableClick);

    set_check(cb_limit, false, &Tfm_option::cb_limitClick);
    set_check(cb_stop, false, &Tfm_option::cb_stopClick);
    set_check(cb_new, false, &Tfm_option::cb_newClick);

    set_radio(rb_datename, &Tfm_option::rb_datenameClick);
    cb_format->setCurrentIndex(0);

    cb_mp3_bitrate->setCurrentIndex(11);
    cb_mp3_channel->setCurrentIndex(1);
    cb_mp3_frequency->setCurrentIndex(7);
    ud_mp3_quality->setValue(9);
    set_check(cb_vbr, false, &Tfm_option::cb_vbrClick);
    cb_mp3_vbr->setCurrentIndex(11);
    ud_mp3_vbr->setValue(0);

    set_radio(rb_cdquality, &Tfm_option::rb_cdqualityClick);
    cb_wav_bit->setCurrentIndex(1);
    cb_wav_channel->setCurrentIndex(1);
    cb_wav_frequency->setCurrentIndex(7);
    for (QComboBox *list : {cb_wav_frequency, cb_wav_bit, cb_wav_channel})
        list->setEnabled(false);

    cb_wma->setCurrentIndex(9);

    cb_ogg_channel->setCurrentIndex(1);
    cb_ogg_fre->setCurrentIndex(7);
    cb_ogg_bitrate->setCurrentIndex(11);
    cb_ogg_maxbit->setCurrentIndex(11);
    cb_ogg_minbit->setCurrentIndex(11);
    // Nothing enables these two again while the program runs.
    cb_ogg_minbit->setEnabled(false);
    cb_ogg_maxbit->setEnabled(false);
    set_check(cb_ogg_quality, true, &Tfm_option::cb_ogg_qualityClick);
    ud_ogg_quality->setValue(300);
    show_up_down(ud_ogg_quality, edt_ogg_quality, true);
    ud_ogg_quality->setEnabled(true);
    edt_ogg_quality->setEnabled(true);

    default_flac_opus();
    default_trigger();
    default_desktop();
}
