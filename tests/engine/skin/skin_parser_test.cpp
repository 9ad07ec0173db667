#include "skin/skin_glyph.h"
#include "skin/skin_parser.h"
#include "skin_test_util.h"

#include <QCoreApplication>
#include <QDir>
#include <QHelpEvent>
#include <QToolTip>

using namespace skin_test;

namespace
{

struct BadSkin {
    const char *label;
    QByteArray json;
    const char *expected; // part of the message
};

std::ostream &operator<<(std::ostream &os, const BadSkin &b)
{
    return os << b.label;
}

QByteArray one_element(const QByteArray &element)
{
    return R"({"forms": {"F": {"size": [100, 50], "elements": [)" + element + "]}}}";
}

class MalformedSkin : public ::testing::TestWithParam<BadSkin>
{
};

TEST_P(MalformedSkin, IsRejectedWithFileAndProblemNamed)
{
    QTemporaryDir dir;
    const QString path = write_file(dir, QStringLiteral("mp3dec.dll"), GetParam().json);
    TSkin skin;
    try {
        skin.LoadSkin(path);
        FAIL() << "accepted: " << GetParam().label;
    } catch (const EngineError &e) {
        const QString msg = e.message();
        EXPECT_TRUE(msg.contains(path)) << msg.toStdString();
        EXPECT_TRUE(msg.contains(QLatin1String("is not valid"))) << msg.toStdString();
        EXPECT_TRUE(msg.contains(QString::fromUtf8(GetParam().expected))) << msg.toStdString();
    }
    EXPECT_FALSE(skin.Loaded());
}

const QByteArray tiny_png = png_base64(solid_image(2, 2, Qt::red));

INSTANTIATE_TEST_SUITE_P(
    Cases, MalformedSkin,
    ::testing::Values(
        BadSkin{"syntax", "{\n \"forms\": {\n  \"F\" {}\n }\n}", "line 3"},
        BadSkin{"empty file", "", "line 1"},
        BadSkin{"top level array", "[]", "top level must be an object"},
        BadSkin{"no forms", R"({"glyphs": {}})", "missing \"forms\""},
        BadSkin{"no form at all", R"({"forms": {}})", "no form is defined"},
        BadSkin{"form without size", R"({"forms": {"F": {"elements": []}}})", "missing \"size\""},
        BadSkin{"size of strings", R"({"forms": {"F": {"size": ["a", "b"], "elements": []}}})",
                "must be a number"},
        BadSkin{"no elements", R"({"forms": {"F": {"size": [10, 10]}}})", "missing \"elements\""},
        BadSkin{"element without name", one_element(R"({"kind": "button", "rect": [0, 0, 5, 5]})"),
                "missing \"name\""},
        BadSkin{"unknown kind",
                one_element(R"({"name": "A", "kind": "knob", "rect": [0, 0, 5, 5]})"),
                "unknown kind"},
        BadSkin{"rect outside",
                one_element(R"({"name": "A", "kind": "button", "rect": [90, 0, 20, 5]})"),
                "outside the form"},
        BadSkin{"negative rect",
                one_element(R"({"name": "A", "kind": "button", "rect": [-1, 0, 5, 5]})"),
                "outside the form"},
        BadSkin{"empty rect",
                one_element(R"({"name": "A", "kind": "button", "rect": [0, 0, 0, 5]})"),
                "positive"},
        BadSkin{"rect of three",
                one_element(R"({"name": "A", "kind": "button", "rect": [0, 0, 5]})"), "4 numbers"},
        BadSkin{"name as number",
                one_element(R"({"name": 5, "kind": "button", "rect": [0, 0, 5, 5]})"),
                "must be a string"},
        BadSkin{"duplicate names",
                one_element(R"({"name": "A", "kind": "text", "rect": [0, 0, 5, 5]},
                               {"name": "A", "kind": "button", "rect": [5, 5, 5, 5]})"),
                "two elements are named \"A\""},
        BadSkin{
            "bad colour",
            one_element(
                R"({"name": "A", "kind": "text", "rect": [0, 0, 5, 5], "look": {"normal": {"color": "#12"}}})"),
            "not a colour"},
        BadSkin{
            "unknown style key",
            one_element(
                R"({"name": "A", "kind": "text", "rect": [0, 0, 5, 5], "look": {"hover": {"colour": "red"}}})"),
            "unknown key \"colour\""},
        BadSkin{
            "bad base64",
            one_element(
                R"({"name": "A", "kind": "image", "rect": [0, 0, 5, 5], "icon": {"png": "@@@@"}})"),
            "not valid base64"},
        BadSkin{
            "not a png",
            one_element(
                R"({"name": "A", "kind": "image", "rect": [0, 0, 5, 5], "icon": {"png": "aGVsbG8="}})"),
            "not a PNG image"},
        BadSkin{"bad 2x png",
                one_element(
                    R"({"name": "A", "kind": "image", "rect": [0, 0, 5, 5], "icon": {"png": ")" +
                    tiny_png + R"(", "png_2x": "aGVsbG8="}})"),
                "png_2x"},
        BadSkin{
            "unknown glyph",
            one_element(R"({"name": "A", "kind": "button", "rect": [0, 0, 5, 5], "icon": "nope"})"),
            "no glyph named \"nope\""},
        BadSkin{"bad path data",
                one_element(R"({"name": "A", "kind": "button", "rect": [0, 0, 5, 5],
                               "icon": {"shapes": [{"path": "M1 1 L2"}]}})"),
                "line needs two numbers"},
        BadSkin{
            "unknown class",
            one_element(R"({"name": "A", "kind": "button", "rect": [0, 0, 5, 5], "class": "x"})"),
            "no class named \"x\""},
        BadSkin{"gradient with one stop",
                one_element(R"({"name": "A", "kind": "text", "rect": [0, 0, 5, 5],
                               "look": {"normal": {"background": {"linear": [0, 0, 0, 1], "stops": [[0, "red"]]}}}})"),
                "at least two"},
        BadSkin{"newer format",
                R"({"version": 2, "forms": {"F": {"size": [1, 1], "elements": []}}})",
                "version 1"}));

TEST(SkinFile, MissingAndUnreadableFilesAreNamed)
{
    QTemporaryDir dir;
    TSkin skin;
    const QString missing = dir.filePath(QStringLiteral("nothing/mp3dec.dll"));
    try {
        skin.LoadSkin(missing);
        FAIL();
    } catch (const EngineError &e) {
        EXPECT_TRUE(e.message().contains(missing)) << e.what();
        EXPECT_TRUE(e.message().contains(QLatin1String("cannot be read"))) << e.what();
    }
    EXPECT_THROW(skin.LoadSkin(dir.path()), EngineError); // a folder, not a file
    EXPECT_FALSE(skin.Loaded());
}

TEST(SkinFile, AFailedLoadKeepsTheSkinLoadedBefore)
{
    QTemporaryDir dir;
    TSkin skin;
    skin.LoadSkin(write_file(dir, QStringLiteral("good.json"), test_skin()));
    EXPECT_THROW(skin.LoadSkin(write_file(dir, QStringLiteral("bad.json"), "{")), EngineError);
    ASSERT_TRUE(skin.Loaded());
    EXPECT_EQ(skin.FormNames(), (QStringList{QStringLiteral("Main"), QStringLiteral("Other")}));
}

TEST(SkinFile, LooksInheritFromClassesAndStates)
{
    const QByteArray json = R"({"classes": {"base": {"normal": {"color": "#010203", "radius": 4},
                                                      "hover": {"color": "#0a0b0c"}}},
      "forms": {"F": {"size": [50, 50], "elements": [
        {"name": "A", "kind": "button", "rect": [0, 0, 10, 10], "class": "base",
         "look": {"normal": {"radius": 7}, "pressed": {"radius": 1}}}]}}})";
    const auto doc = parse_skin(json, QStringLiteral("t"));
    const SkinElementDef &el = doc->forms.at(QStringLiteral("F")).elements.at(0);
    EXPECT_EQ(el.style(SkinState::Normal).color, QColor(1, 2, 3));
    EXPECT_EQ(el.style(SkinState::Normal).box.radius, 7.0);
    EXPECT_EQ(el.style(SkinState::Hover).color, QColor(10, 11, 12));
    EXPECT_EQ(el.style(SkinState::Hover).box.radius, 7.0);
    EXPECT_EQ(el.style(SkinState::Pressed).color, QColor(10, 11, 12)); // pressed builds on hover
    EXPECT_EQ(el.style(SkinState::Pressed).box.radius, 1.0);
    EXPECT_EQ(el.style(SkinState::Disabled).color, QColor(1, 2, 3)); // disabled builds on normal
    EXPECT_TRUE(el.clickable);
}

TEST(SkinFile, EmbeddedPngsLoadWithTheirTwoTimesVariant)
{
    const QByteArray json = R"({"forms": {"F": {"size": [50, 50], "elements": [
        {"name": "A", "kind": "image", "rect": [0, 0, 10, 10],
         "icon": {"png": ")" +
                            png_base64(solid_image(10, 10, Qt::red)) + R"(", "png_2x": ")" +
                            png_base64(solid_image(20, 20, Qt::blue)) + R"("}}]}}})";
    const auto doc = parse_skin(json, QStringLiteral("t"));
    const SkinBitmap &b = doc->forms.at(QStringLiteral("F")).elements.at(0).bitmap;
    EXPECT_EQ(b.image.size(), QSize(10, 10));
    EXPECT_EQ(b.image_2x.size(), QSize(20, 20));
}

TEST(SkinGlyph, PathDataCoversEveryCommand)
{
    QString err;
    // Absolute and relative forms draw the same 10 x 10 square.
    const auto abs = parse_svg_path(QStringLiteral("M2 2 L12 2 L12 12 L2 12 Z"), &err);
    const auto rel = parse_svg_path(QStringLiteral("m2,2h10v10H2z"), &err);
    ASSERT_TRUE(abs && rel) << err.toStdString();
    EXPECT_EQ(abs->boundingRect(), QRectF(2, 2, 10, 10));
    EXPECT_EQ(rel->boundingRect(), QRectF(2, 2, 10, 10));

    // Two half-circle arcs (flags without separators) make a circle of radius 5.
    const auto circle =
        parse_svg_path(QStringLiteral("M5 10a5 5 0 1 0 10 0a5 5 0 1 0-10 0z"), &err);
    ASSERT_TRUE(circle) << err.toStdString();
    const QRectF box = circle->boundingRect();
    EXPECT_NEAR(box.left(), 5, 0.05);
    EXPECT_NEAR(box.right(), 15, 0.05);
    EXPECT_NEAR(box.top(), 5, 0.05);
    EXPECT_NEAR(box.bottom(), 15, 0.05);
    EXPECT_TRUE(circle->contains(QPointF(10, 10)));

    const auto curves =
        parse_svg_path(QStringLiteral("M0 0C0 10 10 10 10 0S20-10 20 0Q25 5 30 0T40 0"), &err);
    ASSERT_TRUE(curves) << err.toStdString();
    EXPECT_NEAR(curves->currentPosition().x(), 40, 1e-9);
    // Implicit line-tos after a move.
    const auto implicit = parse_svg_path(QStringLiteral("M0 0 10 0 10 10"), &err);
    ASSERT_TRUE(implicit);
    EXPECT_EQ(implicit->elementCount(), 3);
}

TEST(SkinGlyph, MalformedPathDataIsReported)
{
    for (const char *bad :
         {"", "L1 1", "M1", "M1 1 X2 2", "5 5", "M1 1 A1 1 0 2 0 3 3", "M1 1 Z 3"}) {
        QString err;
        EXPECT_FALSE(parse_svg_path(QString::fromLatin1(bad), &err)) << bad;
        EXPECT_FALSE(err.isEmpty()) << bad;
    }
}

TEST(SkinPacking, FilesNamedInTheSourceAreEmbedded)
{
    // Packed at build time by tools/skin/pack_skin.py from fixtures/embed_skin.json.
    TSkin skin;
    skin.LoadSkin(QStringLiteral(VELQUOR_PACKED_FIXTURE));
    QWidget window;
    skin.AttachWindow(&window);
    skin.ApplySkinForm(&window, QStringLiteral("F"));
    EXPECT_EQ(grab_image(window, 1.0).pixelColor(16, 16), QColor(Qt::red));
    EXPECT_EQ(grab_image(window, 2.0).pixelColor(32, 32), QColor(Qt::blue));
}

TEST(SkinPacking, TheDocumentedMinimalSkinWorks)
{
    QFile doc(QStringLiteral(VELQUOR_SKIN_FORMAT_DOC));
    ASSERT_TRUE(doc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(doc.readAll());
    const qsizetype section = text.indexOf(QLatin1String("## A minimal skin"));
    ASSERT_GE(section, 0);
    const qsizetype start = text.indexOf(QLatin1String("```json\n"), section);
    const qsizetype end = text.indexOf(QLatin1String("```"), start + 7);
    ASSERT_TRUE(start > 0 && end > start);
    QTemporaryDir dir;
    TSkin skin;
    skin.LoadSkin(write_file(dir, QStringLiteral("minimal.json"),
                             text.mid(start + 8, end - start - 8).toUtf8()));
    QWidget main_window;
    skin.AttachWindow(&main_window);
    skin.ApplySkinForm(&main_window, QStringLiteral("ZI3Ruzerudi"));
    ISkinForm *form = skin.GetSkinForm(&main_window);
    for (const char *name : {"Play Bar", "File Name", "Time", "Format", "Record"})
        EXPECT_NE(form->FindObject(QString::fromLatin1(name)), nullptr) << name;
    QWidget list_window;
    skin.AttachWindow(&list_window);
    EXPECT_NO_THROW(skin.ApplySkinForm(&list_window, QStringLiteral("List")));
}

// The compiled-in skin and the skin file the build writes beside the program
// carry the forms and elements the windows rely on.
class ShippedSkin : public ::testing::TestWithParam<bool>
{
};

TEST_P(ShippedSkin, HasTheFormsAndElementsTheWindowsUse)
{
    TSkin skin;
    if (GetParam())
        skin.LoadBuiltinSkin();
    else
        skin.LoadSkin(QStringLiteral(VELQUOR_BUILT_SKIN));
    QWidget main_window;
    QWidget list_window;
    skin.AttachWindow(&main_window);
    skin.AttachWindow(&list_window);
    skin.ApplySkinForm(&main_window, QStringLiteral("ZI3Ruzerudi"));
    skin.ApplySkinForm(&list_window, QStringLiteral("List"));
    EXPECT_EQ(main_window.size(), QSize(341, 168));
    EXPECT_EQ(list_window.size(), QSize(333, 215));

    ISkinForm *main_form = skin.GetSkinForm(&main_window);
    ASSERT_NE(main_form, nullptr);
    EXPECT_EQ(main_form->Name(), QStringLiteral("ZI3Ruzerudi"));
    for (const char *name :
         {"Record", "Pause", "Stop", "Play", "Open", "List", "Options", "ID3", "Help"}) {
        ISkinObject *o = main_form->FindObject(QString::fromLatin1(name));
        ASSERT_NE(o, nullptr) << name;
        EXPECT_EQ(o->Kind(), QStringLiteral("button")) << name;
    }
    ASSERT_NE(main_form->FindObject(QStringLiteral("Play Bar")), nullptr);
    EXPECT_EQ(main_form->FindObject(QStringLiteral("Play Bar"))->Kind(), QStringLiteral("slider"));
    for (const char *name : {"File Name", "Time", "Format"})
        EXPECT_EQ(main_form->FindObject(QString::fromLatin1(name))->Kind(), QStringLiteral("text"))
            << name;
    EXPECT_EQ(main_form->FindObject(QStringLiteral("record")), nullptr); // exact case only

    ISkinForm *list_form = skin.GetSkinForm(&list_window);
    for (const char *name : {"Add", "Del"})
        EXPECT_EQ(list_form->FindObject(QString::fromLatin1(name))->Kind(),
                  QStringLiteral("button"))
            << name;
}

TEST_P(ShippedSkin, EveryCommandHasATooltipNamingIt)
{
    QFile file(GetParam() ? QStringLiteral(":/velquor/default_skin.json")
                          : QStringLiteral(VELQUOR_BUILT_SKIN));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto doc = parse_skin(file.readAll(), QStringLiteral("shipped"));
    TSkin skin;
    GetParam() ? skin.LoadBuiltinSkin() : skin.LoadSkin(QStringLiteral(VELQUOR_BUILT_SKIN));
    const std::pair<const char *, QStringList> forms[] = {
        {"ZI3Ruzerudi",
         {"Record", "Pause", "Stop", "Play", "Open", "List", "Options", "ID3", "Help", "Play Bar"}},
        {"List", {"Add", "Del"}}};
    for (const auto &[form_name, commands] : forms) {
        QWidget window;
        skin.AttachWindow(&window);
        skin.ApplySkinForm(&window, QString::fromLatin1(form_name));
        for (const SkinElementDef &el : doc->forms.at(QString::fromLatin1(form_name)).elements) {
            if (!commands.contains(el.name))
                continue;
            const QPoint centre = el.rect.center();
            QWidget *surface = window.childAt(centre);
            ASSERT_NE(surface, nullptr) << el.name.toStdString();
            QHelpEvent help(QEvent::ToolTip, centre, surface->mapToGlobal(centre));
            QCoreApplication::sendEvent(surface, &help);
            EXPECT_TRUE(QToolTip::text().startsWith(el.name))
                << el.name.toStdString() << ": " << QToolTip::text().toStdString();
            QToolTip::hideText();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sources, ShippedSkin, ::testing::Values(true, false),
                         [](const auto &info) { return info.param ? "Builtin" : "BuiltFile"; });

} // namespace
