#include "option.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

Tfm_option::Tfm_option(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Settings"));
    setFixedSize(400, 360);

    auto *device_group = new QGroupBox(QStringLiteral("Recording Device"), this);
    cb_source = new QComboBox(device_group);
    cb_source->setObjectName(QStringLiteral("cb_source"));
    cb_device = new QComboBox(device_group);
    cb_device->setObjectName(QStringLiteral("cb_device"));
    auto *device_layout = new QVBoxLayout(device_group);
    device_layout->addWidget(cb_source);
    device_layout->addWidget(cb_device);

    auto *volume_group = new QGroupBox(QStringLiteral("Recording Volume"), this);
    tb_volume = new QSlider(Qt::Horizontal, volume_group);
    tb_volume->setObjectName(QStringLiteral("tb_volume"));
    tb_volume->setRange(0, 65535);
    tb_volume->setTickPosition(QSlider::NoTicks);
    auto *volume_layout = new QHBoxLayout(volume_group);
    volume_layout->addWidget(new QLabel(QStringLiteral("Min"), volume_group));
    volume_layout->addWidget(tb_volume);
    volume_layout->addWidget(new QLabel(QStringLiteral("Max"), volume_group));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(device_group);
    layout->addWidget(volume_group);
    layout->addStretch();
    // The other pages and their Ok come with the full dialog; until then it only closes.
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}

int Tfm_option::device_number_at(int position) const
{
    if (position < 0 || position >= cb_source->count())
        return -1;
    return cb_source->itemData(position).toInt();
}
