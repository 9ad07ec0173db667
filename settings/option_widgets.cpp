#include "option_widgets.h"

#include <QHBoxLayout>
#include <QLabel>

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

QLabel *label(const char *text, QWidget *parent, QWidget *buddy)
{
    auto *caption = new QLabel(QString::fromLatin1(text), parent);
    if (buddy) {
        caption->setBuddy(buddy);
        // Qt names a control after a buddy caption only when they are siblings.
        if (buddy->parentWidget() != parent && buddy->accessibleName().isEmpty())
            buddy->setAccessibleName(caption->text().remove(QLatin1Char(':')).trimmed());
    }
    return caption;
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
    // Reparenting puts a widget last in the tab order: keep the edit's place.
    QWidget *before = edit->previousInFocusChain();
    // Its caption stays with the old parent; Qt looks for one among siblings only.
    for (const QLabel *caption : parent->findChildren<QLabel *>(Qt::FindDirectChildrenOnly))
        if (caption->buddy() == edit && edit->accessibleName().isEmpty())
            edit->setAccessibleName(caption->text().remove(QLatin1Char(':')).trimmed());
    edit->setParent(w);
    ud->setParent(w);
    if (before && before != edit)
        QWidget::setTabOrder(before, edit);
    if (ud->accessibleName().isEmpty())
        ud->setAccessibleName(edit->accessibleName());
    edit->setFixedWidth(edit_width);
    h->addWidget(edit);
    h->addWidget(ud);
    h->addStretch();
    return w;
}

} // namespace option_widgets
