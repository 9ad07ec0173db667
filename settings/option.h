#pragma once
// Tfm_option: the settings dialog. Its Recording Source page (device list,
// input-line list, volume) is filled by the main window at start-up; the
// other pages arrive with the dialog's own work.
//
// cb_source items carry their engine device number as item data: the list
// skips unusable devices, so a position is not a device number.

#include <QComboBox>
#include <QDialog>
#include <QSlider>

class Tfm_option : public QDialog
{
    Q_OBJECT
public:
    explicit Tfm_option(QWidget *parent = nullptr);

    // The engine device number of a cb_source position; -1 for none.
    int device_number_at(int position) const;

    QComboBox *cb_source = nullptr;
    QComboBox *cb_device = nullptr;
    QSlider *tb_volume = nullptr;
};
