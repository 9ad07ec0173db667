#include "dir.h"

Tfm_dir::Tfm_dir(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Output Directory"));
    setFixedSize(302, 284);
}
