#include "skin_test_util.h"

#include <QHelpEvent>
#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <QToolTip>

using namespace skin_test;

namespace
{

class SkinWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        skin.LoadSkin(write_file(dir, QStringLiteral("skin.json"), test_skin()));
        skin.AttachWindow(&window);
        skin.ApplySkinForm(&window, QStringLiteral("Main"));
        window.show();
        form = skin.GetSkinForm(&window);
        ASSERT_NE(form, nullptr);
        go = form->FindObject(QStringLiteral("Go"));
        bar = form->FindObject(QStringLiteral("Bar"));
        label = form->FindObject(QStringLiteral("Label"));
        ASSERT_TRUE(go && bar && label);
    }

    QWidget *surface() { return window.childAt(QPoint(1, 1)); }

    QTemporaryDir dir;
    TSkin skin;
    QWidget window;
    ISkinForm *form = nullptr;
    ISkinObject *go = nullptr;
    ISkinObject *bar = nullptr;
    ISkinObject *label = nullptr;
};

TEST_F(SkinWindow, FormSizesTheWindowAndDrawsItsClientArea)
{
    EXPECT_EQ(window.size(), QSize(200, 100));
    EXPECT_EQ(window.minimumSize(), window.maximumSize()); // fixed
    const QImage img = grab_image(window);
    EXPECT_EQ(img.pixelColor(2, 2), QColor(Qt::black));    // form background
    EXPECT_EQ(img.pixelColor(40, 25), QColor(Qt::red));    // "Go", normal look
    EXPECT_EQ(img.pixelColor(199, 99), QColor(Qt::black)); // the whole area, not magenta
}

TEST_F(SkinWindow, ChildWidgetsStayAboveTheSkin)
{
    auto *before = new QLabel(&window);
    before->setGeometry(11, 46, 30, 20);
    before->setStyleSheet(QStringLiteral("background: #00ff00"));
    before->show();
    skin.ApplySkinForm(&window, QStringLiteral("Main")); // again: accepted
    auto *after = new QLabel(&window);
    after->setGeometry(150, 75, 30, 20);
    after->setStyleSheet(QStringLiteral("background: #ff00ff"));
    after->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(window.childAt(QPoint(20, 50)), before);
    EXPECT_EQ(window.childAt(QPoint(160, 80)), after);
    after->lower(); // even when a child is sent to the bottom
    QCoreApplication::processEvents();
    EXPECT_EQ(window.childAt(QPoint(160, 80)), after);

    const QImage img = grab_image(window);
    EXPECT_EQ(img.pixelColor(20, 50), QColor(0, 255, 0));
    EXPECT_EQ(img.pixelColor(160, 80), QColor(255, 0, 255));
    // Applying the form again made no second surface.
    int surfaces = 0;
    for (QObject *c : window.children())
        surfaces += c->isWidgetType() && c != before && c != after;
    EXPECT_EQ(surfaces, 1);
    EXPECT_EQ(skin.GetSkinForm(&window), form);
}

TEST_F(SkinWindow, AnotherFormReplacesTheFirst)
{
    skin.AttachWindow(&window); // attaching again is harmless
    skin.ApplySkinForm(&window, QStringLiteral("Other"));
    EXPECT_EQ(window.size(), QSize(120, 60));
    ISkinForm *other = skin.GetSkinForm(&window);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->Name(), QStringLiteral("Other"));
    EXPECT_EQ(other->FindObject(QStringLiteral("Label")), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(grab_image(window).pixelColor(100, 50), QColor(0x12, 0x34, 0x56));
}

TEST(SkinErrors, ApplyingNeedsASkinAnAttachedWindowAndAKnownForm)
{
    QTemporaryDir dir;
    TSkin skin;
    QWidget window;
    EXPECT_THROW(skin.ApplySkinForm(&window, QStringLiteral("Main")),
                 EngineError); // nothing loaded
    skin.LoadSkin(write_file(dir, QStringLiteral("s.json"), test_skin()));
    EXPECT_THROW(skin.ApplySkinForm(&window, QStringLiteral("Main")), EngineError); // not attached
    EXPECT_THROW(skin.AttachWindow(nullptr), EngineError);
    skin.AttachWindow(&window);
    try {
        skin.ApplySkinForm(&window, QStringLiteral("main"));
        FAIL();
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains(QLatin1String("\"main\""))) << e.what();
    }
    EXPECT_EQ(skin.GetSkinForm(&window), nullptr);
}

TEST_F(SkinWindow, ClickReportsDownUpAndClickWithTheElement)
{
    QSignalSpy down(&skin, &TSkin::OnMouseDown);
    QSignalSpy up(&skin, &TSkin::OnMouseUp);
    QSignalSpy click(&skin, &TSkin::OnClick);
    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(20, 25));
    ASSERT_EQ(down.count(), 1);
    ASSERT_EQ(up.count(), 1);
    ASSERT_EQ(click.count(), 1);
    EXPECT_EQ(down[0][0].value<TSkin *>(), &skin);
    EXPECT_EQ(down[0][1].value<ISkinObject *>(), go);
    EXPECT_EQ(down[0][2].toInt(), 1);
    EXPECT_EQ(down[0][3].toInt(), 20);
    EXPECT_EQ(down[0][4].toInt(), 25);
    EXPECT_EQ(up[0][1].value<ISkinObject *>(), go);
    EXPECT_EQ(click[0][0].value<TSkin *>(), &skin);
    EXPECT_EQ(click[0][1].value<ISkinObject *>(), go);
}

TEST_F(SkinWindow, OnlyALeftPressAndReleaseInsideIsAClick)
{
    QSignalSpy down(&skin, &TSkin::OnMouseDown);
    QSignalSpy up(&skin, &TSkin::OnMouseUp);
    QSignalSpy click(&skin, &TSkin::OnClick);
    QTest::mouseClick(surface(), Qt::RightButton, {}, QPoint(20, 25));
    QTest::mouseClick(surface(), Qt::MiddleButton, {}, QPoint(20, 25));
    ASSERT_EQ(down.count(), 2);
    EXPECT_EQ(down[0][2].toInt(), 2);
    EXPECT_EQ(down[1][2].toInt(), 3);
    EXPECT_EQ(click.count(), 0);

    QTest::mousePress(surface(), Qt::LeftButton, {}, QPoint(20, 25));
    QTest::mouseMove(surface(), QPoint(150, 90));
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(150, 90));
    EXPECT_EQ(up.count(), 3);
    EXPECT_EQ(up[2][3].toInt(), 150); // the release still goes to the pressed element
    EXPECT_EQ(click.count(), 0);

    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(2, 2)); // no element there
    EXPECT_EQ(down.count(), 3);

    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(100, 20)); // text: no click
    EXPECT_EQ(down.count(), 4);
    EXPECT_EQ(click.count(), 0);
    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(20, 85)); // image marked clickable
    ASSERT_EQ(click.count(), 1);
    EXPECT_EQ(click[0][1].value<ISkinObject *>()->Name(), QStringLiteral("Picture"));
}

TEST_F(SkinWindow, DisabledElementsDrawDisabledAndRaiseNothing)
{
    QSignalSpy down(&skin, &TSkin::OnMouseDown);
    QSignalSpy up(&skin, &TSkin::OnMouseUp);
    QSignalSpy click(&skin, &TSkin::OnClick);
    go->SetEnabled(false);
    EXPECT_FALSE(go->Enabled());
    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(20, 25));
    EXPECT_EQ(down.count() + up.count() + click.count(), 0);
    EXPECT_EQ(grab_image(window).pixelColor(40, 25), QColor(128, 128, 128));

    // Disabled while held down: the release raises nothing either.
    go->SetEnabled(true);
    QTest::mousePress(surface(), Qt::LeftButton, {}, QPoint(20, 25));
    go->SetEnabled(false);
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(20, 25));
    EXPECT_EQ(down.count(), 1);
    EXPECT_EQ(up.count() + click.count(), 0);

    bar->SetEnabled(false);
    QSignalSpy track(&skin, &TSkin::OnScrollTrack);
    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(bar_x(700), 60));
    EXPECT_EQ(track.count(), 0);
    EXPECT_EQ(bar->GetPosition(), 0);
}

TEST_F(SkinWindow, APressWhoseReleaseWasLostDoesNotBlockTheMouse)
{
    QSignalSpy down(&skin, &TSkin::OnMouseDown);
    QSignalSpy click(&skin, &TSkin::OnClick);
    QTest::mousePress(surface(), Qt::LeftButton, {}, QPoint(20, 25));
    // The release went elsewhere (say, to a dialog a handler opened); a new press must still work.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(25, 25),
                      surface()->mapToGlobal(QPointF(25, 25)), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QCoreApplication::sendEvent(surface(), &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(25, 25),
                        surface()->mapToGlobal(QPointF(25, 25)), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(surface(), &release);
    EXPECT_EQ(down.count(), 2);
    EXPECT_EQ(click.count(), 1);
}

TEST_F(SkinWindow, HoverAndPressedLooks)
{
    QTest::mouseMove(surface(), QPoint(20, 25));
    EXPECT_EQ(grab_image(window).pixelColor(40, 25), QColor(0, 255, 0));
    QTest::mousePress(surface(), Qt::LeftButton, {}, QPoint(20, 25));
    EXPECT_EQ(grab_image(window).pixelColor(40, 25), QColor(0, 0, 255));
    QTest::mouseMove(surface(), QPoint(150, 90)); // dragged off: no longer pressed-looking
    EXPECT_EQ(grab_image(window).pixelColor(40, 25), QColor(255, 0, 0));
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(150, 90));
    QTest::mouseMove(surface(), QPoint(150, 90));
    EXPECT_EQ(grab_image(window).pixelColor(40, 25), QColor(255, 0, 0));
}

TEST_F(SkinWindow, SliderJumpsDragsAndKeepsWhereTheUserLeftIt)
{
    QSignalSpy down(&skin, &TSkin::OnMouseDown);
    QSignalSpy up(&skin, &TSkin::OnMouseUp);
    QSignalSpy track(&skin, &TSkin::OnScrollTrack);
    QSignalSpy click(&skin, &TSkin::OnClick);
    bar->SetPosition(0);

    QTest::mousePress(surface(), Qt::LeftButton, {}, QPoint(100, 60)); // away from the thumb: jump
    ASSERT_EQ(down.count(), 1);
    ASSERT_EQ(track.count(), 1);
    EXPECT_EQ(track[0][1].value<ISkinObject *>(), bar);
    EXPECT_EQ(track[0][2].toInt(), 500);
    QTest::mouseMove(surface(), QPoint(bar_x(800), 60));
    QTest::mouseMove(surface(), QPoint(400, 60)); // past the end: 1000
    ASSERT_EQ(track.count(), 3);
    EXPECT_EQ(track[1][2].toInt(), 800);
    EXPECT_EQ(track[2][2].toInt(), 1000);
    EXPECT_EQ(bar->GetPosition(), 0); // not yet: only on release
    bar->SetPosition(10);             // a timer tick while the user drags does not move the thumb
    QTest::mouseMove(surface(), QPoint(bar_x(900), 60));
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(bar_x(900), 60));
    EXPECT_EQ(bar->GetPosition(), 900);
    ASSERT_EQ(up.count(), 1);
    EXPECT_EQ(up[0][1].value<ISkinObject *>(), bar);
    EXPECT_EQ(click.count(), 0);

    // Grabbing the thumb off-centre does not make it jump.
    track.clear();
    QTest::mousePress(surface(), Qt::LeftButton, {}, QPoint(bar_x(900) + 3, 60));
    EXPECT_EQ(track.count(), 0);
    QTest::mouseMove(surface(), QPoint(bar_x(500) + 3, 60));
    QTest::mouseRelease(surface(), Qt::LeftButton, {}, QPoint(bar_x(500) + 3, 60));
    ASSERT_EQ(track.count(), 1);
    EXPECT_EQ(track[0][2].toInt(), 500);
    EXPECT_EQ(bar->GetPosition(), 500);
}

TEST_F(SkinWindow, SliderDrawsItsPositionClamped)
{
    const auto thumb_white_at = [&](int position_x) {
        return grab_image(window).pixelColor(position_x, 60) == QColor(Qt::white);
    };
    bar->SetPosition(250);
    bar->Redraw();
    EXPECT_TRUE(thumb_white_at(bar_x(250)));
    EXPECT_FALSE(thumb_white_at(bar_x(750)));
    EXPECT_EQ(grab_image(window).pixelColor(bar_x(100), 60), QColor(0, 255, 255)); // played part
    bar->SetPosition(-1);
    EXPECT_EQ(bar->GetPosition(), -1);
    const QImage at_minus_one = grab_image(window);
    bar->SetPosition(0);
    EXPECT_EQ(grab_image(window), at_minus_one);
    bar->SetPosition(1500);
    const QImage at_1500 = grab_image(window);
    bar->SetPosition(1000);
    EXPECT_EQ(grab_image(window), at_1500);
    EXPECT_TRUE(thumb_white_at(bar_x(1000)));
}

TEST_F(SkinWindow, TextsShowWhatWasSet)
{
    // Light pixels inside the label, and anywhere right of it (there must be none).
    const auto white_pixels = [&](int x0, int x1) {
        const QImage img = grab_image(window);
        int n = 0;
        for (int y = 10; y < 40; ++y)
            for (int x = x0; x < x1; ++x)
                n += qGray(img.pixel(x, y)) > 200;
        return n;
    };
    EXPECT_EQ(white_pixels(80, 190), 0);
    label->SetText(QStringLiteral("1"));
    label->Redraw();
    EXPECT_EQ(label->Text(), QStringLiteral("1"));
    const int short_text = white_pixels(80, 190);
    EXPECT_GT(short_text, 20);
    label->SetText(QStringLiteral("00:01:05/00:03:12 and a great deal more text than fits"));
    EXPECT_GT(white_pixels(80, 190), short_text);
    EXPECT_EQ(white_pixels(190, 200), 0); // cut off with an ellipsis, not drawn past the element
    label->SetText(QString());
    EXPECT_EQ(white_pixels(80, 190), 0);
}

TEST_F(SkinWindow, TooltipNamesTheElement)
{
    QHelpEvent help(QEvent::ToolTip, QPoint(20, 25), surface()->mapToGlobal(QPoint(20, 25)));
    QCoreApplication::sendEvent(surface(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Go now"));
    QToolTip::hideText();
    go->SetShortcut(QStringLiteral("Ctrl+G")); // the command's key joins the skin's text
    QCoreApplication::sendEvent(surface(), &help);
    EXPECT_EQ(QToolTip::text(), QStringLiteral("Go now (Ctrl+G)"));
    QToolTip::hideText();
}

TEST_F(SkinWindow, HandlersMayReplaceTheFormInsideTheirOwnEvent)
{
    int clicks = 0;
    QObject::connect(&skin, &TSkin::OnClick, &skin, [&](TSkin *, ISkinObject *) {
        ++clicks;
        skin.ApplySkinForm(&window, QStringLiteral("Other"));
    });
    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(20, 25));
    EXPECT_EQ(clicks, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(skin.GetSkinForm(&window)->Name(), QStringLiteral("Other"));
    QTest::mouseClick(window.childAt(QPoint(10, 10)), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks, 2);
}

TEST_F(SkinWindow, AReplacedFormReportsNothingMore)
{
    QSignalSpy click(&skin, &TSkin::OnClick);
    QObject::connect(&skin, &TSkin::OnMouseUp, &skin, [&](TSkin *, ISkinObject *) {
        skin.ApplySkinForm(&window, QStringLiteral("Other"));
    });
    QTest::mouseClick(surface(), Qt::LeftButton, {}, QPoint(20, 25));
    EXPECT_EQ(click.count(), 0); // the click would name an element of a form that is gone
}

// The shipped skin: the record button is red, and every state stays sharp at 2x.
TEST(DefaultSkinLook, RecordIsRedAndTwoTimesRendersAtFullDensity)
{
    TSkin skin;
    skin.LoadBuiltinSkin();
    QWidget window;
    skin.AttachWindow(&window);
    skin.ApplySkinForm(&window, QStringLiteral("ZI3Ruzerudi"));
    const QImage img = grab_image(window);
    int red = 0;
    for (int y = 140; y < 158; ++y)
        for (int x = 14; x < 82; ++x) {
            const QColor c = img.pixelColor(x, y);
            red += c.red() > 180 && c.green() < 110 && c.blue() < 110;
        }
    EXPECT_GT(red, 500);

    const QImage x2 = grab_image(window, 2.0);
    ASSERT_EQ(x2.size(), QSize(682, 336));
    // Text is drawn at 2x, not scaled up: a 2x render has more distinct grey levels in "Time".
    const auto levels = [](const QImage &i, QRect r) {
        QSet<QRgb> seen;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                seen.insert(i.pixel(x, y));
        return seen.size();
    };
    ISkinObject *time = skin.GetSkinForm(&window)->FindObject(QStringLiteral("Time"));
    time->SetText(QStringLiteral("00:01:05/00:03:12"));
    const QImage a = grab_image(window);
    const QImage b = grab_image(window, 2.0);
    EXPECT_GT(levels(b, QRect(256, 132, 400, 48)), levels(a, QRect(128, 66, 200, 24)));
}

} // namespace

namespace
{

TEST(SkinBitmaps, TheTwoTimesVariantIsDrawnOnHighDensityTargets)
{
    const QByteArray json =
        R"({"forms": {"F": {"size": [40, 40], "background": "#000000", "elements": [
        {"name": "Pic", "kind": "image", "rect": [0, 0, 40, 40],
         "icon": {"png": ")" +
        png_base64(solid_image(20, 20, Qt::red)) + R"(", "png_2x": ")" +
        png_base64(solid_image(40, 40, Qt::blue)) + R"("}}]}}})";
    QTemporaryDir dir;
    TSkin skin;
    skin.LoadSkin(write_file(dir, QStringLiteral("s.json"), json));
    QWidget window;
    skin.AttachWindow(&window);
    skin.ApplySkinForm(&window, QStringLiteral("F"));
    EXPECT_EQ(grab_image(window, 1.0).pixelColor(20, 20), QColor(Qt::red));
    EXPECT_EQ(grab_image(window, 2.0).pixelColor(40, 40), QColor(Qt::blue));
    EXPECT_EQ(grab_image(window, 1.25).pixelColor(25, 25), QColor(Qt::blue));
}

} // namespace

namespace
{

TEST(SkinDefaults, ASliderWithoutALookIsStillVisible)
{
    const QByteArray json =
        R"({"forms": {"F": {"size": [100, 20], "background": "#000000", "elements": [
        {"name": "S", "kind": "slider", "rect": [0, 0, 100, 20], "position": 500}]}}})";
    QTemporaryDir dir;
    TSkin skin;
    skin.LoadSkin(write_file(dir, QStringLiteral("s.json"), json));
    QWidget window;
    skin.AttachWindow(&window);
    skin.ApplySkinForm(&window, QStringLiteral("F"));
    const QImage img = grab_image(window);
    EXPECT_GT(qGray(img.pixel(50, 10)), 150);             // thumb in the middle
    EXPECT_NE(img.pixelColor(20, 10), QColor(Qt::black)); // played part
    EXPECT_NE(img.pixelColor(85, 10), QColor(Qt::black)); // track
    EXPECT_NE(img.pixelColor(20, 10), img.pixelColor(85, 10));
}

} // namespace

namespace
{

TEST(SkinLifetime, WindowsAndTheSkinMayGoInAnyOrder)
{
    QTemporaryDir dir;
    const QString path = write_file(dir, QStringLiteral("s.json"), test_skin());
    auto skin = std::make_unique<TSkin>();
    skin->LoadSkin(path);
    {
        QWidget short_lived;
        skin->AttachWindow(&short_lived);
        skin->ApplySkinForm(&short_lived, QStringLiteral("Main"));
    }
    QWidget window;
    skin->AttachWindow(&window);
    skin->ApplySkinForm(&window, QStringLiteral("Main"));
    ISkinObject *go = skin->GetSkinForm(&window)->FindObject(QStringLiteral("Go"));
    skin->LoadSkin(path); // a new document: the window keeps the one it was drawn from
    go->SetText(QStringLiteral("still here"));
    EXPECT_EQ(go->Text(), QStringLiteral("still here"));

    skin.reset(); // the window stays drawn and its elements stay usable, only silent
    QTest::mouseClick(window.childAt(QPoint(20, 25)), Qt::LeftButton, {}, QPoint(20, 25));
    EXPECT_EQ(grab_image(window).pixelColor(68, 38), QColor(0, 255, 0)); // hovered after the click
}

} // namespace
