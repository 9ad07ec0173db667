#pragma once
// Tfm_dir: the output folder chooser. A plain dialog until its folder tree lands.

#include <QDialog>

class Tfm_dir : public QDialog
{
    Q_OBJECT
public:
    explicit Tfm_dir(QWidget *parent = nullptr);
    QString chosen_folder;
};
