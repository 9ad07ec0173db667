#pragma once
// Tfm_id3: the tag editor. Until its editing page lands it is a plain dialog
// that holds the target path its openers set.

#include <QDialog>

class Tfm_id3 : public QDialog
{
    Q_OBJECT
public:
    explicit Tfm_id3(QWidget *parent = nullptr);
    QString target_path; // empty: the pending tags of the running or next recording
};
