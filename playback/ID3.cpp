#include "ID3.h"

Tfm_id3::Tfm_id3(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ID3"));
    setFixedSize(374, 255);
}
