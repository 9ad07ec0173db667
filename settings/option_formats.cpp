// The FLAC and Opus pages: their controls, how they show the stored keys,
// what "Ok" writes and what "Default" sets.
#include "option.h"
#include "option_widgets.h"

#include "settings_file.h"
#include "value_lists.h"

#include <QVBoxLayout>

using namespace option_widgets;

namespace
{

QSpinBox *spin(const QString &name, int maximum, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(0, maximum);
    return box;
}

// Captions with their fields, the last of them a number.
void add_rows(QGridLayout *g, const char *const (&captions)[4], QWidget *const (&fields)[4],
              QWidget *parent)
{
    for (int row = 0; row < 4; ++row) {
        QLabel *caption = label(captions[row], parent);
        caption->setBuddy(fields[row]);
        g->addWidget(caption, row, 0);
        // Lists as wide as the MP3 page's; the number field as narrow as its quality.
        g->addWidget(fields[row], row, 1, row == 3 ? Qt::AlignLeft : Qt::Alignment());
    }
    g->setColumnStretch(1, 1);
}

QStringList opus_bitrate_items()
{
    QStringList items;
    for (const int kbps : value_lists::opus_bitrates)
        items << QStringLiteral("%1 Kbps").arg(kbps);
    return items;
}

void select(QComboBox *list, int position)
{
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

} // namespace

QWidget *Tfm_option::build_flac_page()
{
    QWidget *page = new_page(QStringLiteral("FLAC"));
    page->setObjectName(QStringLiteral("pnl_flac"));
    QGroupBox *general = group(QStringLiteral("General Options"), page);
    auto *g = grid(general);
    cb_flac_frequency =
        list(QStringLiteral("cb_flac_frequency"), value_lists::frequency_items(), general);
    cb_flac_channel =
        list(QStringLiteral("cb_flac_channel"), texts(value_lists::channel_names), general);
    cb_flac_bit =
        list(QStringLiteral("cb_flac_bit"), value_lists::flac_sample_size_items(), general);
    ud_flac_level = spin(QStringLiteral("ud_flac_level"), 8, general);
    const char *captions[] = {"Frequency: ", "Channel: ", "Bit Per Sample: ", "Compression: "};
    QWidget *fields[] = {cb_flac_frequency, cb_flac_channel, cb_flac_bit, ud_flac_level};
    add_rows(g, captions, fields, general);
    page->layout()->addWidget(
        note(QStringLiteral("FLAC is lossless: the file holds exactly the "
                            "recorded sound, in about half the space of WAV."),
             page));
    page->layout()->addWidget(
        note(QStringLiteral("Compression: 0 - fastest, biggest file; 8 - slowest, smallest file."),
             page));
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

QWidget *Tfm_option::build_opus_page()
{
    QWidget *page = new_page(QStringLiteral("Opus"));
    page->setObjectName(QStringLiteral("pnl_opus"));
    QGroupBox *general = group(QStringLiteral("General Options"), page);
    auto *g = grid(general);
    cb_opus_channel =
        list(QStringLiteral("cb_opus_channel"), texts(value_lists::channel_names), general);
    cb_opus_bitrate = list(QStringLiteral("cb_opus_bitrate"), opus_bitrate_items(), general);
    for (int i = 0; i < cb_opus_bitrate->count(); ++i)
        cb_opus_bitrate->setItemData(i, value_lists::opus_bitrates[static_cast<size_t>(i)]);
    cb_opus_application =
        list(QStringLiteral("cb_opus_application"), texts(value_lists::opus_applications), general);
    ud_opus_complexity = spin(QStringLiteral("ud_opus_complexity"), 10, general);
    const char *captions[] = {"Channel: ", "Bitrate: ", "Application: ", "Complexity: "};
    QWidget *fields[] = {cb_opus_channel, cb_opus_bitrate, cb_opus_application, ud_opus_complexity};
    add_rows(g, captions, fields, general);
    page->layout()->addWidget(
        note(QStringLiteral("Opus records at 48000 Hz. Bitrate: 24-32 Kbps is good for speech, "
                            "64-128 Kbps for music."),
             page));
    page->layout()->addWidget(
        note(QStringLiteral("Complexity: 0 - fastest; 10 - best quality."), page));
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    return page;
}

void Tfm_option::select_opus_bitrate(int kbps)
{
    int position = cb_opus_bitrate->findData(kbps);
    if (position < 0) {
        // A rate written by hand is shown as it is, so "Ok" keeps it.
        position = 0;
        while (position < cb_opus_bitrate->count() &&
               cb_opus_bitrate->itemData(position).toInt() < kbps)
            ++position;
        cb_opus_bitrate->insertItem(position, QStringLiteral("%1 Kbps").arg(kbps), kbps);
    }
    cb_opus_bitrate->setCurrentIndex(position);
}

void Tfm_option::show_flac_opus(const SettingsFile &f)
{
    select(cb_flac_frequency, f.integer(keys::flac::frequency));
    select(cb_flac_channel, f.integer(keys::flac::channel));
    select(cb_flac_bit, f.integer(keys::flac::bit));
    ud_flac_level->setValue(f.integer(keys::flac::level));

    select(cb_opus_channel, f.integer(keys::opus::channel));
    select_opus_bitrate(std::clamp(f.integer(keys::opus::bitrate),
                                   value_lists::opus_bitrates.front(),
                                   value_lists::opus_bitrates.back()));
    select(cb_opus_application, f.integer(keys::opus::application));
    ud_opus_complexity->setValue(f.integer(keys::opus::complexity));
}

void Tfm_option::store_flac_opus(SettingsFile &f) const
{
    f.set_integer(keys::flac::frequency, cb_flac_frequency->currentIndex());
    f.set_integer(keys::flac::channel, cb_flac_channel->currentIndex());
    f.set_integer(keys::flac::bit, cb_flac_bit->currentIndex());
    f.set_integer(keys::flac::level, ud_flac_level->value());

    f.set_integer(keys::opus::channel, cb_opus_channel->currentIndex());
    f.set_integer(keys::opus::bitrate, cb_opus_bitrate->currentData().toInt());
    f.set_integer(keys::opus::application, cb_opus_application->currentIndex());
    f.set_integer(keys::opus::complexity, ud_opus_complexity->value());
}

void Tfm_option::default_flac_opus()
{
    cb_flac_frequency->setCurrentIndex(keys::flac::frequency.number);
    cb_flac_channel->setCurrentIndex(keys::flac::channel.number);
    cb_flac_bit->setCurrentIndex(keys::flac::bit.number);
    ud_flac_level->setValue(keys::flac::level.number);

    cb_opus_channel->setCurrentIndex(keys::opus::channel.number);
    select_opus_bitrate(keys::opus::bitrate.number);
    cb_opus_application->setCurrentIndex(keys::opus::application.number);
    ud_opus_complexity->setValue(keys::opus::complexity.number);
}
