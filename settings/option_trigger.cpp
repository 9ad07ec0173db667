// The Sound Activation page: recording that starts when sound comes and
// pauses, stops or starts a new file at a silence.
#include "option.h"
#include "option_widgets.h"

#include "settings_file.h"

#include <QVBoxLayout>

using namespace option_widgets;

namespace
{

QSpinBox *number(const QString &name, int minimum, int maximum, const char *suffix, QWidget *parent)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(minimum, maximum);
    box->setSuffix(QString::fromLatin1(suffix));
    return box;
}

} // namespace

QWidget *Tfm_option::build_trigger_page()
{
    QWidget *page = new_page(QStringLiteral("Sound Activation"));
    page->setObjectName(QStringLiteral("pnl_trigger"));
    cb_trigger = new Wrapping<QCheckBox>(QStringLiteral("Record only when there is sound"), page);
    cb_trigger->setObjectName(QStringLiteral("cb_trigger"));
    page->layout()->addWidget(cb_trigger);

    QGroupBox *box = group(QStringLiteral("Start and Silence"), page);
    auto *g = grid(box);
    ud_trigger_start = number(QStringLiteral("ud_trigger_start"), -60, 0, " dB", box);
    ud_trigger_after = number(QStringLiteral("ud_trigger_after"), 0, 10000, " ms", box);
    ud_trigger_pre = number(QStringLiteral("ud_trigger_pre"), 0, 30, " s", box);
    ud_trigger_silence = number(QStringLiteral("ud_trigger_silence"), -90, 0, " dB", box);
    ud_trigger_silence_time = number(QStringLiteral("ud_trigger_silence_time"), 1, 3600, " s", box);
    cb_trigger_on_silence = list(QStringLiteral("cb_trigger_on_silence"),
                                 {QStringLiteral("Pause"), QStringLiteral("Stop recording"),
                                  QStringLiteral("Start a new file")},
                                 box);
    const char *captions[] = {"Start level: ",   "For at least: ", "Keep before: ",
                              "Silence level: ", "Silence for: ",  "Then: "};
    QWidget *fields[] = {ud_trigger_start,   ud_trigger_after,        ud_trigger_pre,
                         ud_trigger_silence, ud_trigger_silence_time, cb_trigger_on_silence};
    for (int row = 0; row < 6; ++row) {
        QLabel *caption = label(captions[row], box);
        caption->setBuddy(fields[row]);
        g->addWidget(caption, row, 0);
        g->addWidget(fields[row], row, 1, row == 5 ? Qt::Alignment() : Qt::AlignLeft);
    }
    g->setColumnStretch(1, 1);
    page->layout()->addWidget(
        note(QStringLiteral("Record waits for sound louder than the start level, and every file "
                            "begins with the seconds kept before it, so no first word is lost. "
                            "After the silence, Pause leaves it out until sound comes back."),
             page));
    static_cast<QVBoxLayout *>(page->layout())->addStretch();
    connect(cb_trigger, &QCheckBox::clicked, this, &Tfm_option::cb_triggerClick);
    return page;
}

void Tfm_option::cb_triggerClick()
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             ud_trigger_start, ud_trigger_after, ud_trigger_pre, ud_trigger_silence,
             ud_trigger_silence_time, cb_trigger_on_silence})
        w->setEnabled(cb_trigger->isChecked());
}

void Tfm_option::show_trigger(const SettingsFile &f)
{
    set_check(cb_trigger, f.boolean(keys::trigger::enable), &Tfm_option::cb_triggerClick);
    ud_trigger_start->setValue(f.integer(keys::trigger::start_level));
    ud_trigger_after->setValue(f.integer(keys::trigger::start_after));
    ud_trigger_pre->setValue(f.integer(keys::trigger::pre_record));
    ud_trigger_silence->setValue(f.integer(keys::trigger::silence_level));
    ud_trigger_silence_time->setValue(f.integer(keys::trigger::silence_time));
    const int on_silence = f.integer(keys::trigger::on_silence);
    cb_trigger_on_silence->setCurrentIndex(on_silence >= 0 && on_silence <= 2 ? on_silence : -1);
    cb_triggerClick();
}

void Tfm_option::store_trigger(SettingsFile &f) const
{
    f.set_boolean(keys::trigger::enable, cb_trigger->isChecked());
    f.set_integer(keys::trigger::start_level, ud_trigger_start->value());
    f.set_integer(keys::trigger::start_after, ud_trigger_after->value());
    f.set_integer(keys::trigger::pre_record, ud_trigger_pre->value());
    f.set_integer(keys::trigger::silence_level, ud_trigger_silence->value());
    f.set_integer(keys::trigger::silence_time, ud_trigger_silence_time->value());
    f.set_integer(keys::trigger::on_silence, cb_trigger_on_silence->currentIndex());
}

void Tfm_option::default_trigger()
{
    set_check(cb_trigger, keys::trigger::enable.number != 0, &Tfm_option::cb_triggerClick);
    ud_trigger_start->setValue(keys::trigger::start_level.number);
    ud_trigger_after->setValue(keys::trigger::start_after.number);
    ud_trigger_pre->setValue(keys::trigger::pre_record.number);
    ud_trigger_silence->setValue(keys::trigger::silence_level.number);
    ud_trigger_silence_time->setValue(keys::trigger::silence_time.number);
    cb_trigger_on_silence->setCurrentIndex(keys::trigger::on_silence.number);
}
