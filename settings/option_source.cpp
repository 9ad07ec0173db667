// The Recording Source page: devices, input lines and the volume, acting on
// the engine at once. Start-up fills these lists through the same code, so
// a list position always stands for the same device everywhere.
#include "option.h"

#include "pulse/audio_record.h"
#include "settings_file.h"

#include <QCursor>
#include <QToolTip>

int Tfm_option::device_number_at(int position) const
{
    if (position < 0 || position >= cb_source->count())
        return -1;
    return cb_source->itemData(position).toInt();
}

int16_t Tfm_option::line_number_of(int position) const
{
    return static_cast<int16_t>(cb_device->count() - position);
}

void Tfm_option::fill_device_list()
{
    TAudioRecord2 *record = m_context.AudioRecord;
    SettingsFile *file = settings();
    if (!record || !file)
        return;
    const QSignalBlocker quiet_source(cb_source), quiet_line(cb_device);
    cb_device->clear();
    list_usable_devices(record);
    // The device's name first: its position moves when devices come and go.
    m_start_line = 0;
    int position = -1;
    const QString name = file->text(keys::source::device_name);
    if (!name.isEmpty())
        position = cb_source->findData(name, device_name_role);
    if (position < 0) {
        if (file->stored(keys::source::source)) {
            position = file->integer(keys::source::source);
        } else {
            // Nothing stored: record what the server records by default.
            int16_t device = 0, line = 0;
            if (record->FindDefaultSource(device, line)) {
                position = cb_source->findData(static_cast<int>(device));
                m_start_line = position >= 0 ? line : 0;
            }
        }
        if (position < 0 || position >= cb_source->count())
            position = 0;
    }
    const int device = device_number_at(position);
    record->setDeviceIndex(static_cast<int16_t>(device < 0 ? 0 : device));
    cb_source->setCurrentIndex(cb_source->count() > 0 ? position : -1);
}

void Tfm_option::fill_input_line_list()
{
    TAudioRecord2 *record = m_context.AudioRecord;
    if (!record || !settings())
        return;
    const int16_t start_line = m_start_line;
    m_start_line = 0;
    fill_lines_of_current_device(QString(), start_line);
    record->setInputLineIndex(line_number_of(cb_device->currentIndex()));
    record->setInputLineSelected(true);
    const QSignalBlocker quiet(tb_volume);
    tb_volume->setValue(record->InputLineVolume());
}

void Tfm_option::fill_lines_of_current_device(const QString &keep_line, int16_t line_number)
{
    TAudioRecord2 *record = m_context.AudioRecord;
    SettingsFile *file = settings();
    const QSignalBlocker quiet(cb_device);
    cb_device->clear();
    const int16_t count = record->InputLineCount();
    for (int k = count; k >= 1; --k) {
        record->setInputLineIndex(static_cast<int16_t>(k));
        cb_device->addItem(record->InputLineName());
        cb_device->setItemData(cb_device->count() - 1, record->InputLineServerName(),
                               device_name_role);
    }
    int position = keep_line.isEmpty() ? -1 : cb_device->findData(keep_line, device_name_role);
    if (position < 0 && line_number > 0)
        position = cb_device->count() - line_number;
    if (position < 0 && file) {
        const QString stored = file->text(keys::source::line_name);
        if (!stored.isEmpty())
            position = cb_device->findData(stored, device_name_role);
        if (position < 0)
            position = file->integer(keys::source::device);
    }
    if (position < 0 || position > cb_device->count() - 1)
        position = 0;
    cb_device->setCurrentIndex(cb_device->count() > 0 ? position : -1);
}

void Tfm_option::cb_sourceChange()
{
    TAudioRecord2 *record = m_context.AudioRecord;
    if (!record)
        return;
    const int device = device_number_at(cb_source->currentIndex());
    record->setDeviceIndex(static_cast<int16_t>(device));
    fill_lines_of_current_device(QString(), 0);
    record->setInputLineIndex(line_number_of(cb_device->currentIndex()));
    tb_volume->setValue(record->InputLineVolume());
}

void Tfm_option::cb_deviceChange()
{
    TAudioRecord2 *record = m_context.AudioRecord;
    if (!record)
        return;
    record->setInputLineIndex(line_number_of(cb_device->currentIndex()));
    tb_volume->setValue(record->InputLineVolume());
}

void Tfm_option::tb_volumeChange()
{
    TAudioRecord2 *record = m_context.AudioRecord;
    if (record) {
        record->setInputLineIndex(line_number_of(cb_device->currentIndex()));
        record->setInputLineVolume(tb_volume->value());
    }
    if (tb_volume->isSliderDown())
        QToolTip::showText(QCursor::pos(), QString::number(tb_volume->value()), tb_volume);
}

void Tfm_option::fill_mix_lists(const QString &mix_source, const QString &application)
{
    TAudioRecord2 *record = m_context.AudioRecord;
    const QSignalBlocker quiet_mix(cb_mix_source), quiet_application(cb_application);
    cb_mix_source->clear();
    cb_mix_source->addItem(QStringLiteral("None"), QString());
    if (record)
        for (const auto &[server_name, shown] : record->SourceNames())
            cb_mix_source->addItem(shown, server_name);
    int at = mix_source.isEmpty() ? 0 : cb_mix_source->findData(mix_source);
    if (at < 0) {
        // Not there now (unplugged): kept, so that "Ok" does not forget it.
        cb_mix_source->addItem(mix_source, mix_source);
        at = cb_mix_source->count() - 1;
    }
    cb_mix_source->setCurrentIndex(at);
    cb_application->clear();
    cb_application->addItem(QStringLiteral("Any"), QString());
    if (record)
        for (const QString &name : record->PlayingApplications())
            cb_application->addItem(name, name);
    at = application.isEmpty() ? 0 : cb_application->findData(application);
    if (at < 0) {
        // Recorded once it plays; silence until then.
        cb_application->addItem(application, application);
        at = cb_application->count() - 1;
    }
    cb_application->setCurrentIndex(at);
    cb_mix_sourceChange();
}

void Tfm_option::cb_mix_sourceChange()
{
    ud_mix_level->setEnabled(cb_mix_source->currentIndex() > 0);
}

void Tfm_option::show_mix(const SettingsFile &f)
{
    fill_mix_lists(f.boolean(keys::source::mix) ? f.text(keys::source::mix_device) : QString(),
                   f.text(keys::source::application));
    ud_mix_level->setValue(std::clamp(f.integer(keys::source::mix_level), 0, 100));
}

void Tfm_option::store_mix(SettingsFile &f) const
{
    const QString mix_source = cb_mix_source->currentData().toString();
    f.set_boolean(keys::source::mix, !mix_source.isEmpty());
    // The source is kept when mixing is switched off, for the next time.
    if (!mix_source.isEmpty())
        f.set_text(keys::source::mix_device, mix_source);
    f.set_integer(keys::source::mix_level, ud_mix_level->value());
    f.set_text(keys::source::application, cb_application->currentData().toString());
}

void Tfm_option::devices_changed()
{
    TAudioRecord2 *record = m_context.AudioRecord;
    if (!record)
        return;
    fill_mix_lists(cb_mix_source->currentData().toString(),
                   cb_application->currentData().toString());
    const QString keep_device = cb_source->currentData(device_name_role).toString();
    const QString keep_line = cb_device->currentData(device_name_role).toString();
    {
        const QSignalBlocker quiet(cb_source);
        list_usable_devices(record);
        int position = cb_source->findData(keep_device, device_name_role);
        int16_t line = 0;
        if (position < 0) {
            // The chosen device went away: show what the server records now.
            int16_t device = 0;
            if (record->FindDefaultSource(device, line))
                position = cb_source->findData(static_cast<int>(device));
            if (position < 0) {
                position = 0;
                line = 0;
            }
        }
        cb_source->setCurrentIndex(cb_source->count() > 0 ? position : -1);
        const int device = device_number_at(cb_source->currentIndex());
        record->setDeviceIndex(static_cast<int16_t>(device < 0 ? 0 : device));
        fill_lines_of_current_device(keep_line, line);
    }
    record->setInputLineIndex(line_number_of(cb_device->currentIndex()));
    const QSignalBlocker quiet(tb_volume);
    tb_volume->setValue(record->InputLineVolume());
}

void Tfm_option::list_usable_devices(TAudioRecord2 *record)
{
    cb_source->clear();
    const int16_t last = record->LastDeviceIndex();
    for (int i = 0; i <= last; ++i) {
        record->setDeviceIndex(static_cast<int16_t>(i));
        if (!record->DeviceUsable())
            continue;
        cb_source->addItem(record->DeviceName(), i);
        cb_source->setItemData(cb_source->count() - 1, record->DeviceServerName(),
                               device_name_role);
    }
}
