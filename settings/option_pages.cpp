// The nine pages of the settings dialog: their controls, texts and banners.
#include "option.h"
#include "option_widgets.h"

#include "value_lists.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLinearGradient>
#include <QPainter>
#include <QRegularExpressionValidator>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QVBoxLayout>

using namespace option_widgets;

namespace
{

QPixmap banner(const QString &title, const QFont &font, qreal ratio)
{
    // The default skin's window: dark slate, a light-blue accent, white title.
    const QSize size(258, 20);
    QPixmap pixmap(size * ratio);
    pixmap.setDevicePixelRatio(ratio);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0, QColor(0x38, 0x41, 0x4e));
    fill.setColorAt(1, QColor(0x11, 0x14, 0x18));
    p.fillRect(QRect(QPoint(0, 0), size), fill);
    p.fillRect(QRect(0, 0, 4, size.height()), QColor(0x5c, 0xc8, 0xff));
    p.setPen(QColor(0x2f, 0x8f, 0xe8));
    p.drawLine(QPointF(4, size.height() - 0.5), QPointF(size.width(), size.height() - 0.5));
    QFont bold = font;
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(QColor(0xe4, 0xe8, 0xec));
    p.drawText(QRect(12, 0, size.width() - 16, size.height()), Qt::AlignVCenter | Qt::AlignLeft,
               title);
    return pixmap;
}

} // namespace

QWidget *Tfm_option::new_page(const QString &banner_title)
{
    auto *page = new QWidget;
    page->setFixedSize(275, 310);
    auto *v = new QVBoxLayout(page);
    v->setContentsMargins(8, 4, 9, 4);
    v->setSpacing(4);
    auto *picture = new QLabel(page);
    picture->setObjectName(QStringLiteral("banner"));
    picture->setFixedSize(258, 20);
    picture->setAccessibleName(banner_title);
    picture->setPixmap(banner(banner_title, font(), devicePixelRatioF()));
    v->addWidget(picture);
    return page;
}

QWidget *Tfm_option::build_source_page()
{
    QWidget *page = new_page(QStringLiteral("Recording Source"));
    page->setObjectName(QStringLiteral("pnl_source"));
    QGroupBox *devices = group(QStringLiteral("Recording Device"), page);
    auto *dl = inside<QVBoxLayout>(devices);
    cb_source = list(QStringLiteral("cb_source"), {}, devices);
    cb_device = list(QStringLiteral("cb_device"), {}, devices);
    cb_source->setAccessibleName(QStringLiteral("Recording device"));
    cb_device->setAccessibleName(QStringLiteral("Recording line"));
    dl->addWidget(cb_source);
    dl->addWidget(cb_device);

    QGroupBox *volume = group(QStringLiteral("Recording Volume"), page);
    auto *vl = inside<QVBoxLayout>(volume);
    auto *slider_row = new QHBoxLayout;
    tb_volume = new QSlider(Qt::Horizontal, volume);
    tb_volume->setObjectName(QStringLiteral("tb_volume"));
    tb_volume->setRange(0, 65535);
    tb_volume->setSingleStep(1);
    tb_volume->setPageStep(4096);
    tb_volume->setTickPosition(QSlider::NoTicks);
    tb_volume->setAccessibleName(QStringLiteral("Recording volume"));
    slider_row->addWidget(label("Min", volume));
    slider_row->addWidget(tb_volume, 1);
    slider_row->addWidget(label("Max", volume));
    vl->addLayout(slider_row);
    // One sentence over two lines: one label, wrapped where the font needs it.
    vl->addWidget(note(QStringLiteral("Please low the volume as possible, the lower the "
                                      "volume, the better the quality. "),
                       volume));

    QGroupBox *more = group(QStringLiteral("More to Record"), page);
    auto *g = grid(more);
    cb_mix_source = list(QStringLiteral("cb_mix_source"), {}, more);
    ud_mix_level = new QSpinBox(more);
    ud_mix_level->setObjectName(QStringLiteral("ud_mix_level"));
    ud_mix_level->setRange(0, 100);
    ud_mix_level->setSuffix(QStringLiteral(" %"));
    cb_application = list(QStringLiteral("cb_application"), {}, more);
    QLabel *also = label("Also record: ", more);
    QLabel *level = label("Level: ", more);
    QLabel *only = label("Only this application: ", more);
    also->setBuddy(cb_mix_source);
    level->setBuddy(ud_mix_level);
    only->setBuddy(cb_application);
    g->addWidget(also, 0, 0);
    g->addWidget(cb_mix_source, 0, 1);
    g->addWidget(level, 1, 0);
    g->addWidget(ud_mix_level, 1, 1, Qt::AlignLeft);
    g->addWidget(only, 2, 0);
    g->addWidget(cb_application, 2, 1);
    g->setColumnStretch(1, 1);
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

QWidget *Tfm_option::build_schedule_page()
{
    QWidget *page = new_page(QStringLiteral("Schedule"));
    page->setObjectName(QStringLiteral("pnl_schedule"));
    QGroupBox *modes = group(QStringLiteral("Schedule Mode"), page);
    auto *ml = inside<QGridLayout>(modes);
    rb_disable = new Wrapping<QRadioButton>(QStringLiteral("Disable Schedule"), modes);
    rb_day = new Wrapping<QRadioButton>(QStringLiteral("Every Day"), modes);
    rb_week = new Wrapping<QRadioButton>(QStringLiteral("Every Week"), modes);
    rb_special = new Wrapping<QRadioButton>(QStringLiteral("Special Day"), modes);
    ml->addWidget(rb_disable, 0, 0);
    ml->addWidget(rb_day, 0, 1);
    ml->addWidget(rb_week, 1, 0);
    ml->addWidget(rb_special, 1, 1);

    auto *times = new QWidget(page);
    auto *g = grid(times);
    dtp_date = new QDateEdit(times);
    dtp_date->setCalendarPopup(true);
    dtp_date->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
    dtp_begintime = new QTimeEdit(times);
    dtp_endtime = new QTimeEdit(times);
    for (QTimeEdit *t : {dtp_begintime, dtp_endtime})
        t->setDisplayFormat(QLocale::system()
                                .timeFormat(QLocale::LongFormat)
                                .remove(QRegularExpression(QStringLiteral("\\s*t+\\s*")))
                                .trimmed());
    g->addWidget(label("Specified Day:", times, dtp_date), 0, 0);
    g->addWidget(dtp_date, 0, 1);
    g->addWidget(label("Begin Time: ", times, dtp_begintime), 1, 0);
    g->addWidget(dtp_begintime, 1, 1);
    g->addWidget(label("End Time: ", times, dtp_endtime), 2, 0);
    g->addWidget(dtp_endtime, 2, 1);
    page->layout()->addWidget(times);
    page->layout()->addWidget(build_tray_box(page));
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

QWidget *Tfm_option::build_limit_page()
{
    QWidget *page = new_page(QStringLiteral("File Time Limitation"));
    page->setObjectName(QStringLiteral("pnl_limit"));
    cb_limit =
        new Wrapping<QCheckBox>(QStringLiteral("Enable File Length Limitation System"), page);
    page->layout()->addWidget(cb_limit);
    QGroupBox *box = group(QStringLiteral("File Limitation"), page);
    auto *v = inside<QVBoxLayout>(box);
    auto *row = new QHBoxLayout;
    edt_timelimit = digit_edit(QStringLiteral("edt_timelimit"), 0, box);
    edt_timelimit->setFixedWidth(90);
    row->addWidget(label("Time: ", box, edt_timelimit));
    row->addWidget(edt_timelimit);
    row->addWidget(label("Seconds", box));
    row->addStretch();
    v->addLayout(row);
    cb_stop =
        new Wrapping<QCheckBox>(QStringLiteral("Stop recording when the limit is reached"), box);
    cb_new = new Wrapping<QCheckBox>(QStringLiteral("Record a new file when the limit is  reached"),
                                     box);
    v->addWidget(cb_stop);
    v->addWidget(cb_new);
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

QWidget *Tfm_option::build_format_page()
{
    QWidget *page = new_page(QStringLiteral("Output Format"));
    page->setObjectName(QStringLiteral("pnl_format"));
    QGroupBox *naming = group(QStringLiteral("Output Name Mode"), page);
    auto *nl = inside<QHBoxLayout>(naming);
    rb_datename = new Wrapping<QRadioButton>(QStringLiteral("Date_Time Mode"), naming);
    rb_customname = new Wrapping<QRadioButton>(QStringLiteral("Custom Name"), naming);
    nl->addWidget(rb_datename);
    nl->addWidget(rb_customname);

    QGroupBox *format = group(QStringLiteral("Output Format"), page);
    auto *fl = inside<QHBoxLayout>(format);
    cb_format = list(QStringLiteral("cb_format"), texts(value_lists::output_formats), format);
    fl->addWidget(cb_format);
    fl->addStretch();

    QGroupBox *folder = group(QStringLiteral("Output Directory"), page);
    auto *dl = inside<QVBoxLayout>(folder);
    auto *row = new QHBoxLayout;
    edt_dir = new QLineEdit(folder);
    edt_dir->setObjectName(QStringLiteral("edt_dir"));
    edt_dir->setReadOnly(true);
    btn_browse = new QPushButton(QStringLiteral("Browse"), folder);
    btn_browse->setObjectName(QStringLiteral("btn_browse"));
    btn_browse->setAutoDefault(false);
    row->addWidget(edt_dir, 1);
    row->addWidget(btn_browse);
    dl->addLayout(row);
    dl->addWidget(
        note(QStringLiteral("If the file already exists, the file will be overwritten"), folder));
    dl->addWidget(note(QStringLiteral("automatically."), folder));
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

QWidget *Tfm_option::build_mp3_page()
{
    QWidget *page = new_page(QStringLiteral("MP3"));
    page->setObjectName(QStringLiteral("pnl_mp3"));
    QGroupBox *general = group(QStringLiteral("General Options"), page);
    auto *g = grid(general);
    cb_mp3_frequency =
        list(QStringLiteral("cb_mp3_frequency"), value_lists::frequency_items(), general);
    cb_mp3_channel =
        list(QStringLiteral("cb_mp3_channel"), texts(value_lists::channel_names), general);
    cb_mp3_bitrate = list(QStringLiteral("cb_mp3_bitrate"), value_lists::bitrate_items(), general);
    edt_mp3_quality = digit_edit(QStringLiteral("edt_mp3_quality"), 1, general);
    ud_mp3_quality = up_down(QStringLiteral("ud_mp3_quality"), 9, general);
    g->addWidget(label("Frequency: ", general, cb_mp3_frequency), 0, 0);
    g->addWidget(cb_mp3_frequency, 0, 1);
    g->addWidget(label("Channel: ", general, cb_mp3_channel), 1, 0);
    g->addWidget(cb_mp3_channel, 1, 1);
    g->addWidget(label("Bitrate: ", general, cb_mp3_bitrate), 2, 0);
    g->addWidget(cb_mp3_bitrate, 2, 1);
    g->addWidget(label("Quality: ", general, edt_mp3_quality), 3, 0);
    g->addWidget(pair(edt_mp3_quality, ud_mp3_quality, 22, general), 3, 1);
    g->setColumnStretch(1, 1);

    QGroupBox *vbr = group(QStringLiteral("VBR (Variable Bit Rate)"), page);
    auto *vg = grid(vbr);
    cb_vbr = new Wrapping<QCheckBox>(QStringLiteral("Enable VBR"), vbr);
    edt_mp3_vbr = digit_edit(QStringLiteral("edt_mp3_vbr"), 1, vbr);
    ud_mp3_vbr = up_down(QStringLiteral("ud_mp3_vbr"), 9, vbr);
    cb_mp3_vbr = list(QStringLiteral("cb_mp3_vbr"), value_lists::bitrate_items(), vbr);
    auto *first = new QHBoxLayout;
    first->addWidget(cb_vbr, 1);
    first->addWidget(label("VBR Quality: ", vbr, edt_mp3_vbr));
    first->addWidget(pair(edt_mp3_vbr, ud_mp3_vbr, 22, vbr));
    vg->addLayout(first, 0, 0, 1, 2);
    vg->addWidget(label("VBR Bitrate: ", vbr, cb_mp3_vbr), 1, 0);
    vg->addWidget(cb_mp3_vbr, 1, 1);
    vg->setColumnStretch(1, 1);

    for (const char *t : {"Bitrate: 8Kbps - poor quality, small file; 350Kbps - good "
                          "quality, big file",
                          "Quality: 0 - best quality, worst speed; 9 - worst quality, fast speed."})
        page->layout()->addWidget(note(QString::fromLatin1(t), page));
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

QWidget *Tfm_option::build_wma_page()
{
    QWidget *page = new_page(QStringLiteral("WMA"));
    page->setObjectName(QStringLiteral("pnl_wma"));
    QGroupBox *box = group(QStringLiteral("WMA Format"), page);
    // The longest preset only just fits: the list gets the group's whole width.
    auto *bl = inside<QVBoxLayout>(box, 2);
    cb_wma = list(QStringLiteral("cb_wma"), texts(value_lists::wma_presets()), box);
    bl->addWidget(cb_wma);

    page->layout()->addWidget(note(QStringLiteral("Velquor support WMA 9."), page));
    page->layout()->addWidget(
        note(QStringLiteral("If you create invalid wma files, please download"), page));
    // The link and the text after it flow on as one line that may wrap.
    Label50 = new QLabel(page);
    Label50->setObjectName(QStringLiteral("Label50"));
    Label50->setWordWrap(true);
    Label50->setTextFormat(Qt::RichText);
    Label50->setText(QStringLiteral("<a href=\"wmfdist\" style=\"color:#000080;"
                                    " text-decoration:none\">wmfdist.exe </a>"
                                    "and install it on your computer, then"));
    Label50->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(Label50, &QLabel::linkActivated, this, &Tfm_option::Label50Click);
    page->layout()->addWidget(Label50);
    page->layout()->addWidget(note(QStringLiteral("reinstall our software."), page));
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

QWidget *Tfm_option::build_wav_page()
{
    QWidget *page = new_page(QStringLiteral("WAV"));
    page->setObjectName(QStringLiteral("pnl_wav"));
    QGroupBox *mode = group(QStringLiteral("Mode"), page);
    auto *ml = inside<QVBoxLayout>(mode);
    rb_cdquality = new Wrapping<QRadioButton>(
        QStringLiteral("CD quality WAV format (for burning audio CD)"), mode);
    rb_custom = new Wrapping<QRadioButton>(QStringLiteral("Custom format"), mode);
    ml->addWidget(rb_cdquality);
    ml->addWidget(rb_custom);
    // The two lines of the hint are one sentence: one label, wrapped as needed.
    ml->addWidget(note(QStringLiteral("To set the parameters below, please choose "
                                      "\"Custom Format\" "),
                       mode));

    QGroupBox *general = group(QStringLiteral("General Options"), page);
    auto *g = grid(general);
    cb_wav_frequency =
        list(QStringLiteral("cb_wav_frequency"), value_lists::frequency_items(), general);
    cb_wav_channel =
        list(QStringLiteral("cb_wav_channel"), texts(value_lists::channel_names), general);
    cb_wav_bit = list(QStringLiteral("cb_wav_bit"), value_lists::sample_size_items(), general);
    g->addWidget(label("Frequency: ", general, cb_wav_frequency), 0, 0);
    g->addWidget(cb_wav_frequency, 0, 1);
    g->addWidget(label("Channel:", general, cb_wav_channel), 1, 0);
    g->addWidget(cb_wav_channel, 1, 1);
    g->addWidget(label("Bit Per Sample:", general, cb_wav_bit), 2, 0);
    g->addWidget(cb_wav_bit, 2, 1);
    g->setColumnStretch(1, 1);
    page->layout()->addWidget(
        note(QStringLiteral("To small created file, low frequency or bit per "
                            "sample, but  quality will be lowed accordingly. "),
             page));
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

QWidget *Tfm_option::build_ogg_page()
{
    QWidget *page = new_page(QStringLiteral("OGG"));
    page->setObjectName(QStringLiteral("pnl_ogg"));
    QGroupBox *general = group(QStringLiteral("General Options"), page);
    auto *g = grid(general);
    cb_ogg_fre = list(QStringLiteral("cb_ogg_fre"), value_lists::frequency_items(), general);
    cb_ogg_channel =
        list(QStringLiteral("cb_ogg_channel"), texts(value_lists::channel_names), general);
    cb_ogg_bitrate = list(QStringLiteral("cb_ogg_bitrate"), value_lists::bitrate_items(), general);
    g->addWidget(label("Frequency: ", general, cb_ogg_fre), 0, 0);
    g->addWidget(cb_ogg_fre, 0, 1);
    g->addWidget(label("Channel: ", general, cb_ogg_channel), 1, 0);
    g->addWidget(cb_ogg_channel, 1, 1);
    g->addWidget(label("Bitrate: ", general, cb_ogg_bitrate), 2, 0);
    g->addWidget(cb_ogg_bitrate, 2, 1);
    g->setColumnStretch(1, 1);

    QGroupBox *vbr = group(QStringLiteral("VBR (Variable Bit Rate)"), page);
    auto *vg = grid(vbr);
    cb_ogg_quality = new Wrapping<QCheckBox>(QStringLiteral("Enable Quality"), vbr);
    edt_ogg_quality = digit_edit(QStringLiteral("edt_ogg_quality"), 5, vbr);
    ud_ogg_quality = up_down(QStringLiteral("ud_ogg_quality"), 1000, vbr);
    cb_ogg_minbit = list(QStringLiteral("cb_ogg_minbit"), value_lists::bitrate_items(), vbr);
    cb_ogg_maxbit = list(QStringLiteral("cb_ogg_maxbit"), value_lists::bitrate_items(), vbr);
    vg->addWidget(cb_ogg_quality, 0, 0, 1, 2);
    vg->addWidget(label("VBR Quality: ", vbr, edt_ogg_quality), 1, 0);
    vg->addWidget(pair(edt_ogg_quality, ud_ogg_quality, 48, vbr), 1, 1);
    vg->addWidget(label("Min Bitrate: ", vbr, cb_ogg_minbit), 2, 0);
    vg->addWidget(cb_ogg_minbit, 2, 1);
    vg->addWidget(label("Max Bitrate: ", vbr, cb_ogg_maxbit), 3, 0);
    vg->addWidget(cb_ogg_maxbit, 3, 1);
    vg->setColumnStretch(1, 1);
    page->layout()->addWidget(
        note(QStringLiteral("8Kbps - poor quality, small file; 350Kbps - good quality, big file."),
             page));
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

QWidget *Tfm_option::build_about_page()
{
    QWidget *page = new_page(QStringLiteral("About"));
    page->setObjectName(QStringLiteral("pnl_about"));
    auto *v = static_cast<QVBoxLayout *>(page->layout());
    const QString blue = QStringLiteral("color: rgb(24, 54, 97);");
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSizeF(font().pointSizeF());
    const auto line = [&](const QString &text, const QString &style, bool bold = false,
                          qreal grow = 0) {
        auto *l = new QLabel(text, page);
        QFont f = arial;
        f.setBold(bold);
        f.setPointSizeF(f.pointSizeF() + grow);
        l->setFont(f);
        l->setStyleSheet(style);
        v->addWidget(l);
        return l;
    };
    v->addSpacing(8);
    line(QStringLiteral("Velquor"), blue, true, 2);
    line(QStringLiteral("Version:    1.03"), blue);
    line(QStringLiteral("Record to MP3, WMA, WAV, OGG"), QStringLiteral("color: black;"));
    line(QStringLiteral("Made by Tenvique"), blue);
    lbl_web = line(QStringLiteral("Web Site:  ") + web_address, blue);
    lbl_email = line(QStringLiteral("Email: ") + support_address, blue);
    lbl_web->setObjectName(QStringLiteral("lbl_web"));
    lbl_email->setObjectName(QStringLiteral("lbl_email"));
    for (QLabel *link : {lbl_web, lbl_email}) {
        link->setCursor(Qt::PointingHandCursor);
        link->installEventFilter(this);
    }
    v->addStretch();
    return page;
}
