// The settings dialog's rules while it is open: enabling, time validation,
// numeric edits, the up-downs, the tree's clicks and the links.
#include "option.h"

#include "dir.h"

#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <QTimer>

void Tfm_option::connect_rules()
{
    for (QRadioButton *b : {rb_disable, rb_day, rb_week, rb_special})
        connect(b, &QRadioButton::clicked, this, &Tfm_option::rb_disableClick);
    connect(cb_limit, &QCheckBox::clicked, this, &Tfm_option::cb_limitClick);
    connect(cb_stop, &QCheckBox::clicked, this, &Tfm_option::cb_stopClick);
    connect(cb_new, &QCheckBox::clicked, this, &Tfm_option::cb_newClick);
    connect(rb_datename, &QRadioButton::clicked, this, &Tfm_option::rb_datenameClick);
    connect(rb_customname, &QRadioButton::clicked, this, &Tfm_option::rb_datenameClick);
    connect(cb_vbr, &QCheckBox::clicked, this, &Tfm_option::cb_vbrClick);
    connect(rb_cdquality, &QRadioButton::clicked, this, &Tfm_option::rb_cdqualityClick);
    connect(rb_custom, &QRadioButton::clicked, this, &Tfm_option::rb_customClick);
    connect(cb_ogg_quality, &QCheckBox::clicked, this, &Tfm_option::cb_ogg_qualityClick);
    connect(btn_browse, &QPushButton::clicked, this, &Tfm_option::btn_browseClick);
    connect(dtp_begintime, &QTimeEdit::timeChanged, this, &Tfm_option::dtp_begintimeChange);
    connect(dtp_endtime, &QTimeEdit::timeChanged, this, &Tfm_option::dtp_endtimeChange);

    // Digits only; pasted text too, since the key filter sees only keys.
    const auto *digits =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this);
    for (QLineEdit *e : {edt_timelimit, edt_mp3_quality, edt_mp3_vbr}) {
        e->setValidator(digits);
        e->installEventFilter(this);
    }
    // The OGG quality also takes the grouping its up-down writes ("1,000").
    edt_ogg_quality->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9,.\\x{a0}\\x{202f}' ]*")), this));
    edt_ogg_quality->installEventFilter(this);
    connect(edt_timelimit, &QLineEdit::editingFinished, this, &Tfm_option::edt_timelimitExit);
    connect(edt_ogg_quality, &QLineEdit::textChanged, this, &Tfm_option::edt_ogg_qualityChange);
    connect(edt_ogg_quality, &QLineEdit::editingFinished, this, &Tfm_option::edt_ogg_qualityExit);

    // An up-down writes its position into its edit; typing moves the position.
    const auto bind = [this](QSpinBox *ud, QLineEdit *edit, bool grouped) {
        connect(ud, &QSpinBox::valueChanged, this,
                [this, ud, edit, grouped] { show_up_down(ud, edit, grouped); });
        show_up_down(ud, edit, grouped);
    };
    bind(ud_mp3_quality, edt_mp3_quality, false);
    bind(ud_mp3_vbr, edt_mp3_vbr, false);
    bind(ud_ogg_quality, edt_ogg_quality, true);
    for (auto [edit, ud] :
         {std::pair{edt_mp3_quality, ud_mp3_quality}, std::pair{edt_mp3_vbr, ud_mp3_vbr}})
        connect(edit, &QLineEdit::textEdited, this, [edit = edit, ud = ud] {
            bool ok = false;
            const int v = edit->text().toInt(&ok);
            if (ok) {
                const QSignalBlocker quiet(ud);
                ud->setValue(v);
            }
        });

    connect(cb_source, &QComboBox::activated, this, &Tfm_option::cb_sourceChange);
    connect(cb_mix_source, &QComboBox::activated, this, &Tfm_option::cb_mix_sourceChange);
    connect(cb_device, &QComboBox::activated, this, &Tfm_option::cb_deviceChange);
    connect(tb_volume, &QSlider::valueChanged, this, &Tfm_option::tb_volumeChange);
}

void Tfm_option::show_up_down(QSpinBox *ud, QLineEdit *edit, bool grouped)
{
    const QString text =
        grouped ? QLocale(QLocale::English).toString(ud->value()) : QString::number(ud->value());
    if (edit->text() == text)
        return;
    m_filling_quality = true;
    edit->setText(text);
    m_filling_quality = false;
}

bool Tfm_option::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tv->viewport() && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        // After the tree has moved its selection to the clicked node.
        QTimer::singleShot(0, this, &Tfm_option::tvClick);
    } else if ((watched == lbl_web || watched == lbl_email) &&
               event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        watched == lbl_web ? lbl_webClick() : lbl_emailClick();
        return true;
    } else if (event->type() == QEvent::KeyPress &&
               (watched == edt_timelimit || watched == edt_mp3_quality || watched == edt_mp3_vbr ||
                watched == edt_ogg_quality)) {
        // edt_timelimitKeyPress: Backspace and digits pass, other typed characters do not.
        const auto *key = static_cast<QKeyEvent *>(event);
        const QString text = key->text();
        const bool typed = !text.isEmpty() && text.at(0).isPrint();
        if (typed &&
            !(text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9')))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}

void Tfm_option::rb_disableClick()
{
    const bool on = !rb_disable->isChecked();
    for (QWidget *w : {static_cast<QWidget *>(dtp_date), static_cast<QWidget *>(dtp_begintime),
                       static_cast<QWidget *>(dtp_endtime)})
        w->setEnabled(on);
}

void Tfm_option::cb_limitClick()
{
    const bool on = cb_limit->isChecked();
    edt_timelimit->setEnabled(on);
    cb_stop->setEnabled(on);
    cb_new->setEnabled(on);
}

void Tfm_option::cb_stopClick()
{
    if (cb_stop->isChecked())
        set_check(cb_new, false, &Tfm_option::cb_newClick);
}

void Tfm_option::cb_newClick()
{
    if (cb_new->isChecked())
        set_check(cb_stop, false, &Tfm_option::cb_stopClick);
}

void Tfm_option::rb_datenameClick()
{
    cb_format->setEnabled(rb_datename->isChecked());
}

void Tfm_option::cb_vbrClick()
{
    const bool on = cb_vbr->isChecked();
    ud_mp3_vbr->setEnabled(on);
    cb_mp3_vbr->setEnabled(on);
    edt_mp3_vbr->setEnabled(on);
}

void Tfm_option::rb_cdqualityClick()
{
    for (QComboBox *list : {cb_wav_frequency, cb_wav_bit, cb_wav_channel})
        list->setEnabled(false);
}

void Tfm_option::rb_customClick()
{
    for (QComboBox *list : {cb_wav_frequency, cb_wav_bit, cb_wav_channel})
        list->setEnabled(true);
}

void Tfm_option::cb_ogg_qualityClick()
{
    const bool on = cb_ogg_quality->isChecked();
    ud_ogg_quality->setEnabled(on);
    edt_ogg_quality->setEnabled(on);
}

void Tfm_option::dtp_begintimeChange()
{
    if (dtp_begintime->dateTime() > accepted_end_time) {
        information(QStringLiteral("Begin time must be smaller than end time."));
        const QSignalBlocker quiet(dtp_begintime);
        dtp_begintime->setDateTime(accepted_begin_time);
    } else {
        accepted_begin_time = dtp_begintime->dateTime();
    }
}

void Tfm_option::dtp_endtimeChange()
{
    if (dtp_endtime->dateTime() < accepted_begin_time) {
        information(QStringLiteral("End time must be larger than begin time."));
        const QSignalBlocker quiet(dtp_endtime);
        dtp_endtime->setDateTime(accepted_end_time);
    } else {
        accepted_end_time = dtp_endtime->dateTime();
    }
}

void Tfm_option::edt_timelimitExit()
{
    if (edt_timelimit->text().isEmpty())
        edt_timelimit->setText(QStringLiteral("1"));
}

void Tfm_option::edt_ogg_qualityChange()
{
    if (m_filling_quality)
        return;
    QString text = edt_ogg_quality->text().trimmed();
    int position = 0;
    if (!text.isEmpty()) {
        // Whatever grouping the up-down or the user's locale puts in.
        text.remove(QRegularExpression(QStringLiteral("[,.\\x{a0}\\x{202f}' ]")));
        bool ok = false;
        const qlonglong v = text.toLongLong(&ok);
        position = !ok ? ud_ogg_quality->value() : v > 999 ? 1000 : static_cast<int>(v);
    }
    const QSignalBlocker quiet(ud_ogg_quality);
    ud_ogg_quality->setValue(position);
    // A number beyond the range shows as the position it became.
    if (position == 1000)
        show_up_down(ud_ogg_quality, edt_ogg_quality, true);
}

void Tfm_option::edt_ogg_qualityExit()
{
    if (edt_ogg_quality->text().trimmed().isEmpty()) {
        edt_ogg_quality->setText(QStringLiteral("0"));
    }
}

void Tfm_option::btn_browseClick()
{
    Tfm_dir *chooser = m_context.fm_dir;
    if (!chooser)
        return;
    const QRect mine = frameGeometry();
    const QSize theirs = chooser->frameGeometry().size();
    chooser->move(mine.left() + (mine.width() - theirs.width()) / 2,
                  mine.top() + (mine.height() - theirs.height()) / 2);
    chooser->exec();
    if (!chooser->chosen_folder.isEmpty()) {
        edt_dir->setText(chooser->chosen_folder);
        edt_dir->setCursorPosition(0);
        edt_dir->setToolTip(edt_dir->text());
    }
}

void Tfm_option::Label50Click()
{
    open_url(QUrl(download_address));
}

void Tfm_option::lbl_webClick()
{
    open_url(QUrl(web_address));
}

void Tfm_option::lbl_emailClick()
{
    open_url(QUrl(QStringLiteral("mailto:") + support_address));
}
