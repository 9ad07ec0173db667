#include "option_widgets.h"

#include <QHBoxLayout>

namespace option_widgets
{

QLabel *note(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    return label;
}

QGroupBox *group(const QString &title, QWidget *page)
{
    auto *box = new QGroupBox(title, page);
    page->layout()->addWidget(box);
    return box;
}

QComboBox *list(const QString &name, const QStringList &items, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName(name);
    box->addItems(items);
    // Selection only: a typed text could name no entry at all.
    box->setEditable(false);
    return box;
}

QLabel *label(const char *text, QWidget *parent)
{
    return new QLabel(QString::fromLatin1(text), parent);
}

QGridLayout *grid(QWidget *parent)
{
    auto *g = new QGridLayout(parent);
    g->setContentsMargins(6, 4, 6, 6);
    g->setVerticalSpacing(3);
    g->setHorizontalSpacing(6);
    return g;
}

QSpinBox *up_down(const QString &name, int maximum, QWidget *parent)
{
    auto *ud = new QSpinBox(parent);
    ud->setObjectName(name);
    ud->setRange(0, maximum);
    ud->setWrapping(false);
    ud->setFocusPolicy(Qt::NoFocus);
    ud->setFixedWidth(ud->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 2);
    ud->setStyleSheet(QStringLiteral("QSpinBox { color: transparent; selection-color: transparent;"
                                     " selection-background-color: transparent; }"));
    return ud;
}

QLineEdit *digit_edit(const QString &name, int max_length, QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(name);
    if (max_length > 0)
        edit->setMaxLength(max_length);
    return edit;
}

QWidget *pair(QLineEdit *edit, QSpinBox *ud, int edit_width, QWidget *parent)
{
    auto *w = new QWidget(parent);
    auto *h = new QHBoxLayout(w);
    h->setContentsMargins(0, 0, 0, 0);
    h->setSpacing(0);
    edit->setParent(w);
    ud->setParent(w);
    edit->setFixedWidth(edit_width);
    h->addWidget(edit);
    h->addWidget(ud);
    h->addStretch();
    return w;
}

} // namespace option_widgets
