#pragma once
// The small widgets and layouts the settings dialog's pages are built from.

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace option_widgets
{

// A check box or radio button whose text wraps when the desktop's font is
// wider than the page: the texts are long and the pages are not.
template <typename Button> class Wrapping : public Button
{
public:
    Wrapping(const QString &text, QWidget *parent) : Button(text, parent)
    {
        QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        policy.setHeightForWidth(true);
        this->setSizePolicy(policy);
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override
    {
        const QRect text = this->fontMetrics().boundingRect(
            QRect(0, 0, std::max(1, width - indicator_width()), 10000), flags(), this->text());
        return std::max(Button::sizeHint().height(), text.height() + 4);
    }
    QSize minimumSizeHint() const override
    {
        return QSize(indicator_width() + 60, Button::sizeHint().height());
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter p(this);
        QStyleOptionButton option;
        this->initStyleOption(&option);
        const QString text = option.text;
        option.text.clear();
        const int indicator = indicator_width();
        option.rect = QRect(0, 0, indicator, Button::sizeHint().height());
        if (this->height() > option.rect.height())
            option.rect.moveTop(0);
        p.drawControl(std::is_same_v<Button, QRadioButton> ? QStyle::CE_RadioButton
                                                           : QStyle::CE_CheckBox,
                      option);
        const QRect text_rect(indicator, 2, this->width() - indicator, this->height() - 2);
        p.setPen(this->palette().color(this->isEnabled() ? QPalette::Active : QPalette::Disabled,
                                       QPalette::WindowText));
        p.drawText(text_rect, flags(), text);
        if (this->hasFocus()) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect =
                this->fontMetrics().boundingRect(text_rect, flags(), text).adjusted(-1, 0, 1, 0);
            p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
        }
    }
    bool hitButton(const QPoint &pos) const override { return this->rect().contains(pos); }

private:
    static int flags() { return Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop; }
    int indicator_width() const
    {
        const bool radio = std::is_same_v<Button, QRadioButton>;
        return this->style()->pixelMetric(radio ? QStyle::PM_ExclusiveIndicatorWidth
                                                : QStyle::PM_IndicatorWidth,
                                          nullptr, this) +
               this->style()->pixelMetric(radio ? QStyle::PM_RadioButtonLabelSpacing
                                                : QStyle::PM_CheckBoxLabelSpacing,
                                          nullptr, this);
    }
};

QLabel *note(const QString &text, QWidget *parent);
QGroupBox *group(const QString &title, QWidget *page);
QComboBox *list(const QString &name, const QStringList &items, QWidget *parent);
// A caption; with a buddy it is what screen readers call that control.
QLabel *label(const char *text, QWidget *parent, QWidget *buddy = nullptr);
QGridLayout *grid(QWidget *parent);
// An up-down beside its edit: only its arrows show, as the control of old.
QSpinBox *up_down(const QString &name, int maximum, QWidget *parent);
QLineEdit *digit_edit(const QString &name, int max_length, QWidget *parent);
QWidget *pair(QLineEdit *edit, QSpinBox *ud, int edit_width, QWidget *parent);

// Group contents sit close to the frame: the pages are small.
template <typename Layout> Layout *inside(QGroupBox *box, int margin = 6)
{
    auto *l = new Layout(box);
    l->setContentsMargins(margin, 4, margin, 6);
    l->setSpacing(3);
    return l;
}

QStringList texts(const auto &array)
{
    QStringList out;
    for (const char *t : array)
        out << QString::fromLatin1(t);
    return out;
}

} // namespace option_widgets
