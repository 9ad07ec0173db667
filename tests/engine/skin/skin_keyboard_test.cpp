// The skin's elements without a mouse: focus order, keys, the focus ring,
// and what screen readers are told, on real widgets with the test skin.
#include "skin_test_util.h"

#include <QAccessible>
#include <QApplication>
#include <QTest>

using namespace skin_test;

namespace
{

class SkinKeys : public ::testing::Test
{
protected:
    void SetUp() override
    {
        skin.LoadSkin(write_file(dir, QStringLiteral("skin.json"), test_skin()));
        skin.AttachWindow(&window);
        skin.ApplySkinForm(&window, QStringLiteral("Main"));
        window.show();
        QApplication::setActiveWindow(&window);
        form = skin.GetSkinForm(&window);
        QObject::connect(&skin, &TSkin::OnClick, [this](TSkin *, ISkinObject *o) {
            log << QStringLiteral("click ") + o->Name();
        });
        QObject::connect(&skin, &TSkin::OnMouseDown,
                         [this](TSkin *, ISkinObject *o, int, int, int) {
                             log << QStringLiteral("down ") + o->Name();
                         });
        QObject::connect(&skin, &TSkin::OnScrollTrack, [this](TSkin *, ISkinObject *o, int p) {
            log << QStringLiteral("track %1 %2").arg(o->Name()).arg(p);
        });
        QObject::connect(&skin, &TSkin::OnMouseUp, [this](TSkin *, ISkinObject *o, int, int, int) {
            log << QStringLiteral("up %1 %2").arg(o->Name()).arg(o->GetPosition());
        });
    }
    QWidget *surface() { return window.childAt(QPoint(1, 1)); }
    // The test skin's elements in the form's order.
    static int index_of(const QString &name)
    {
        return int(QStringList({"Go", "Label", "Bar", "Picture"}).indexOf(name));
    }
    QAccessibleInterface *element(const QString &name)
    {
        return QAccessible::queryAccessibleInterface(surface())->child(index_of(name));
    }
    QRect element_rect(const QString &name)
    {
        const QRect r = element(name)->rect();
        return QRect(surface()->mapFromGlobal(r.topLeft()), r.size());
    }

    QTemporaryDir dir;
    TSkin skin;
    QWidget window;
    ISkinForm *form = nullptr;
    QStringList log;
};

struct KeyCase {
    const char
        *keys; // space-separated: Tab, Backtab, Space, Return, Right, Left, PgUp, PgDn, Home, End
    int bar_position;
    bool bar_enabled;
    const char *focused; // element with the focus after the keys
    const char *events;  // what the skin reported, "|"-separated
};

void PrintTo(const KeyCase &c, std::ostream *os)
{
    *os << c.keys;
}

class SkinKeyTable : public SkinKeys, public ::testing::WithParamInterface<KeyCase>
{
};

Qt::Key key_of(const QString &name)
{
    static const std::map<QString, Qt::Key> keys = {
        {QStringLiteral("Tab"), Qt::Key_Tab},       {QStringLiteral("Backtab"), Qt::Key_Backtab},
        {QStringLiteral("Space"), Qt::Key_Space},   {QStringLiteral("Return"), Qt::Key_Return},
        {QStringLiteral("Right"), Qt::Key_Right},   {QStringLiteral("Left"), Qt::Key_Left},
        {QStringLiteral("Up"), Qt::Key_Up},         {QStringLiteral("PgUp"), Qt::Key_PageUp},
        {QStringLiteral("PgDn"), Qt::Key_PageDown}, {QStringLiteral("Home"), Qt::Key_Home},
        {QStringLiteral("End"), Qt::Key_End}};
    return keys.at(name);
}

TEST_P(SkinKeyTable, KeysMoveTheFocusAndRaiseTheMouseEvents)
{
    const KeyCase &c = GetParam();
    ISkinObject *bar = form->FindObject(QStringLiteral("Bar"));
    bar->SetPosition(c.bar_position);
    bar->SetEnabled(c.bar_enabled);
    for (const QString &k : QString::fromLatin1(c.keys).split(QLatin1Char(' ')))
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window,
                        key_of(k));
    QAccessibleInterface *focused = QAccessible::queryAccessibleInterface(surface())->focusChild();
    EXPECT_EQ(focused, element(QLatin1String(c.focused)));
    EXPECT_EQ(log.join(QLatin1Char('|')), QLatin1String(c.events));
}

INSTANTIATE_TEST_SUITE_P(
    Keys, SkinKeyTable,
    ::testing::Values(
        KeyCase{"Tab", 0, true, "Go", ""}, KeyCase{"Tab Tab", 0, true, "Bar", ""},
        KeyCase{"Tab Tab Tab Tab", 0, true, "Go", ""}, // round again
        KeyCase{"Backtab", 0, true, "Picture", ""},
        KeyCase{"Tab Tab", 0, false, "Picture", ""}, // disabled: skipped
        KeyCase{"Tab Space", 0, true, "Go", "click Go"},
        KeyCase{"Backtab Return", 0, true, "Picture", "click Picture"},
        KeyCase{"Tab Right", 0, true, "Bar", ""}, // arrows move along buttons
        KeyCase{"Tab Tab Right", 0, true, "Bar", "down Bar|track Bar 10|up Bar 10"},
        KeyCase{"Tab Tab PgUp PgDn", 500, true, "Bar",
                "down Bar|track Bar 600|up Bar 600|down Bar|track Bar 500|up Bar 500"},
        KeyCase{"Tab Tab End", 20, true, "Bar", "down Bar|track Bar 1000|up Bar 1000"},
        KeyCase{"Tab Tab Home Left", 20, true, "Bar", "down Bar|track Bar 0|up Bar 0"},
        KeyCase{"Tab Tab Space", 20, true, "Bar", ""}));

TEST_F(SkinKeys, TheRingShowsAfterKeysOnlyInTheSkinsColourOrTheDefault)
{
    const QColor skin_ring(255, 0, 255);
    const QColor default_ring(0x4a, 0xa8, 0xff);
    // Go's ring lies 2 px outside with a 2 px pen: on x 7..9 left of the button.
    const auto ring_left_of = [&](const QString &name, int out) {
        const QRect r = element_rect(name);
        return grab_image(window).pixelColor(r.left() - out, r.center().y());
    };
    const auto key = [](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(40, 25));
    EXPECT_EQ(log.last(), QStringLiteral("click Go"));
    EXPECT_NE(ring_left_of(QStringLiteral("Go"), 3), skin_ring);
    ASSERT_EQ(QApplication::focusWidget(), surface());
    key(Qt::Key_Tab);
    EXPECT_EQ(ring_left_of(QStringLiteral("Go"), 3), skin_ring);
    key(Qt::Key_Tab);
    EXPECT_NE(ring_left_of(QStringLiteral("Go"), 3), skin_ring);
    EXPECT_EQ(ring_left_of(QStringLiteral("Bar"), 2), default_ring);
    // A click hides the ring until the next key.
    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(100, 90));
    EXPECT_NE(ring_left_of(QStringLiteral("Bar"), 2), default_ring);
}

// The events readers hear need a platform with a reader bridge: the AT-SPI test checks them.
TEST_F(SkinKeys, ReadersSeeRolesAndNamesPressMoveFocusAndRead)
{
    element(QStringLiteral("Go"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    QAccessibleInterface *bar = element(QStringLiteral("Bar"));
    bar->valueInterface()->setCurrentValue(400);
    EXPECT_EQ(log, QStringList({"click Go", "down Bar", "track Bar 400", "up Bar 400"}));
    EXPECT_EQ(bar->valueInterface()->currentValue().toInt(), 400);
    EXPECT_FALSE(bar->state().focused);
    bar->actionInterface()->doAction(QAccessibleActionInterface::setFocusAction());
    EXPECT_TRUE(bar->state().focused);
    form->FindObject(QStringLiteral("Bar"))->SetEnabled(false);
    EXPECT_TRUE(bar->state().disabled);
    EXPECT_FALSE(bar->state().focused); // handed on, as a disabled Qt widget does
    EXPECT_TRUE(element(QStringLiteral("Picture"))->state().focused);

    // Roles by kind; names from the skin's accessible name, the text, or the element's name.
    EXPECT_EQ(element(QStringLiteral("Picture"))->role(), QAccessible::Button); // clickable
    EXPECT_EQ(element(QStringLiteral("Picture"))->text(QAccessible::Name),
              QStringLiteral("Snapshot"));
    EXPECT_EQ(element(QStringLiteral("Bar"))->role(), QAccessible::Slider);
    EXPECT_EQ(element(QStringLiteral("Label"))->text(QAccessible::Name), QStringLiteral("Label"));
    form->FindObject(QStringLiteral("Label"))->SetText(QStringLiteral("00:00:05"));
    QAccessibleInterface *text = element(QStringLiteral("Label"));
    EXPECT_EQ(text->text(QAccessible::Name), QStringLiteral("00:00:05"));
    EXPECT_EQ(text->textInterface()->text(0, -1), QStringLiteral("00:00:05"));
}

} // namespace
