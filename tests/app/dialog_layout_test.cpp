// Every dialog page as a keyboard and screen reader user and a user at a
// high scale meet it: controls inside the window, none over another, texts
// not cut, each control named, and Tab going the way the page reads. CTest
// runs it at QT_SCALE_FACTOR=2.
#include "app_harness.h"

#include "ID3.h"
#include "dir.h"
#include "option.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QTreeWidgetItemIterator>
#include <gtest/gtest.h>

namespace
{

QRect in_window(const QWidget *w, const QWidget *window)
{
    return QRect(w->mapTo(window, QPoint(0, 0)), w->size());
}

struct Page {
    const char *dialog; // "option", "dir", "id3"
    int page;           // the settings dialog's page in the tree's order
};

void PrintTo(const Page &p, std::ostream *os)
{
    *os << p.dialog << ' ' << p.page;
}

bool is_control(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QComboBox *>(w) ||
           qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractSpinBox *>(w) ||
           qobject_cast<const QAbstractSlider *>(w) || qobject_cast<const QLabel *>(w) ||
           qobject_cast<const QAbstractItemView *>(w);
}

// The control a widget belongs to (a spin box's own edit belongs to the spin box).
std::string describe(const QWidget *w, const QWidget *window)
{
    const QRect r = in_window(w, window);
    QString text = w->objectName();
    if (const auto *label = qobject_cast<const QLabel *>(w))
        text = label->text();
    else if (const auto *button = qobject_cast<const QAbstractButton *>(w))
        text = button->text();
    return QStringLiteral("%1 \"%2\" at %3,%4 %5x%6")
        .arg(QLatin1String(w->metaObject()->className()), text)
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

const QWidget *control_of(const QWidget *w, const QWidget *window)
{
    const QWidget *found = nullptr;
    for (const QWidget *up = w; up && up != window; up = up->parentWidget())
        if (is_control(up))
            found = up;
    return found;
}

class DialogPages : public ::testing::TestWithParam<Page>
{
protected:
    void SetUp() override
    {
        reset_settings();
        const QString kind = QLatin1String(GetParam().dialog);
        if (kind == QLatin1String("option")) {
            auto *option = new Tfm_option(&parent);
            int page = 0;
            for (QTreeWidgetItemIterator it(option->tv); *it; ++it, ++page)
                if (page == GetParam().page) {
                    option->tv->setCurrentItem(*it);
                    option->tvClick();
                }
            dialog = option;
        } else if (kind == QLatin1String("dir")) {
            dialog = new Tfm_dir(&parent);
        } else {
            dialog = new Tfm_id3(&parent);
        }
        dialog->show();
        QCoreApplication::processEvents();
        for (QWidget *w : dialog->findChildren<QWidget *>())
            if (w->isVisibleTo(dialog) && is_control(w) && control_of(w, dialog) == w)
                controls.push_back(w);
        ASSERT_GT(controls.size(), 2u);
    }
    QWidget parent;
    QDialog *dialog = nullptr;
    std::vector<QWidget *> controls;
};

TEST_P(DialogPages, ControlsLieInsideApartAndWhole)
{
    const QRect window = dialog->rect();
    for (size_t i = 0; i < controls.size(); ++i) {
        const QWidget *a = controls[i];
        const QRect ra = in_window(a, dialog);
        const std::string name = describe(a, dialog);
        EXPECT_TRUE(window.contains(ra)) << name;
        for (size_t j = i + 1; j < controls.size(); ++j)
            EXPECT_FALSE(ra.intersects(in_window(controls[j], dialog)))
                << name << " and " << describe(controls[j], dialog);
        const auto *label = qobject_cast<const QLabel *>(a);
        if (!label || label->text().isEmpty())
            continue;
        if (label->wordWrap()) {
            EXPECT_LE(label->heightForWidth(label->width()), label->height()) << name;
        } else if (label->textFormat() != Qt::RichText) {
            // Trailing spaces take room only where the text is set against the right edge.
            const bool right = label->alignment() & Qt::AlignRight;
            const QString shown = right ? label->text() : label->text().trimmed();
            EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width())
                << name;
        }
    }
}

TEST_P(DialogPages, EveryControlIsNamedForScreenReaders)
{
    for (QWidget *w : controls) {
        if (qobject_cast<QLabel *>(w))
            continue;
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        ASSERT_NE(iface, nullptr);
        // A list's name is its chosen entry: its caption must come from a label.
        const QString name =
            qobject_cast<QComboBox *>(w) ? w->accessibleName() : iface->text(QAccessible::Name);
        EXPECT_TRUE(!name.trimmed().isEmpty() || !iface->relations(QAccessible::Label).isEmpty())
            << describe(w, dialog);
    }
}

TEST_P(DialogPages, TabFollowsThePage)
{
    std::vector<const QWidget *> order;
    for (QWidget *w = dialog->nextInFocusChain(); w != dialog; w = w->nextInFocusChain()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(dialog))
            continue;
        const QWidget *c = control_of(w, dialog);
        if (c && (order.empty() || order.back() != c))
            order.push_back(c);
    }
    ASSERT_GT(order.size(), 1u);
    for (size_t i = 1; i < order.size(); ++i) {
        const QRect a = in_window(order[i - 1], dialog);
        const QRect b = in_window(order[i], dialog);
        const bool next_line = b.top() >= a.center().y();
        const bool same_line =
            std::abs(b.center().y() - a.center().y()) < std::max(a.height(), b.height()) / 2 &&
            b.left() >= a.right();
        const bool next_column = b.left() > a.right(); // the settings tree, then its page
        EXPECT_TRUE(next_line || same_line || next_column)
            << describe(order[i - 1], dialog) << " before " << describe(order[i], dialog);
    }
}

INSTANTIATE_TEST_SUITE_P(Dialogs, DialogPages,
                         ::testing::Values(Page{"option", 0}, Page{"option", 1}, Page{"option", 2},
                                           Page{"option", 3}, Page{"option", 4}, Page{"option", 5},
                                           Page{"option", 6}, Page{"option", 7}, Page{"option", 8},
                                           Page{"option", 9}, Page{"option", 10}, Page{"dir", 0},
                                           Page{"id3", 0}));

} // namespace
