#include "skin/skin_parser_values.h"

#include "skin/skin_glyph.h"

#include <QJsonArray>
#include <cmath>

namespace skin_json
{

[[noreturn]] void problem(const QString &where, const QString &what)
{
    throw SkinProblem{where.isEmpty() ? what : where + QStringLiteral(": ") + what};
}

static QString type_name(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::Null:
        return QStringLiteral("null");
    case QJsonValue::Bool:
        return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return QStringLiteral("a number");
    case QJsonValue::String:
        return QStringLiteral("a string");
    case QJsonValue::Array:
        return QStringLiteral("an array");
    case QJsonValue::Object:
        return QStringLiteral("an object");
    default:
        return QStringLiteral("undefined");
    }
}

void check_keys(const QJsonObject &o, const QString &where,
                std::initializer_list<const char *> allowed)
{
    for (auto it = o.begin(); it != o.end(); ++it) {
        bool known = false;
        for (const char *k : allowed)
            known = known || it.key() == QLatin1String(k);
        if (!known)
            problem(where, QStringLiteral("unknown key \"%1\"").arg(it.key()));
    }
}

QJsonObject object_of(const QJsonValue &v, const QString &where)
{
    if (!v.isObject())
        problem(where, QStringLiteral("must be an object, not %1").arg(type_name(v)));
    return v.toObject();
}

QString string_of(const QJsonValue &v, const QString &where)
{
    if (!v.isString())
        problem(where, QStringLiteral("must be a string, not %1").arg(type_name(v)));
    return v.toString();
}

double number_of(const QJsonValue &v, const QString &where, double lo, double hi)
{
    if (!v.isDouble())
        problem(where, QStringLiteral("must be a number, not %1").arg(type_name(v)));
    const double d = v.toDouble();
    if (!std::isfinite(d) || d < lo || d > hi)
        problem(where, QStringLiteral("must be between %1 and %2").arg(lo).arg(hi));
    return d;
}

bool bool_of(const QJsonValue &v, const QString &where)
{
    if (!v.isBool())
        problem(where, QStringLiteral("must be true or false, not %1").arg(type_name(v)));
    return v.toBool();
}

std::vector<double> numbers_of(const QJsonValue &v, const QString &where, int count, double lo,
                               double hi)
{
    if (!v.isArray() || v.toArray().size() != count)
        problem(where, QStringLiteral("must be an array of %1 numbers").arg(count));
    std::vector<double> out;
    for (const QJsonValue &e : v.toArray())
        out.push_back(number_of(e, where, lo, hi));
    return out;
}

QColor color_of(const QJsonValue &v, const QString &where)
{
    const QString s = string_of(v, where);
    const QColor c = QColor::fromString(s);
    if (!c.isValid())
        problem(where,
                QStringLiteral("\"%1\" is not a colour (use #rrggbb, #aarrggbb or a colour name)")
                    .arg(s));
    return c;
}

SkinFill fill_of(const QJsonValue &v, const QString &where)
{
    SkinFill f;
    if (v.isNull())
        return f;
    if (v.isString()) {
        if (v.toString() == QLatin1String("none"))
            return f;
        f.type = SkinFill::Type::Solid;
        f.color = color_of(v, where);
        return f;
    }
    const QJsonObject o = object_of(v, where);
    check_keys(o, where, {"linear", "radial", "stops"});
    if (o.contains(QLatin1String("linear")) == o.contains(QLatin1String("radial")))
        problem(where, QStringLiteral("a gradient needs exactly one of \"linear\" or \"radial\""));
    if (o.contains(QLatin1String("linear"))) {
        const auto g = numbers_of(o.value(QLatin1String("linear")),
                                  where + QStringLiteral(".linear"), 4, -10, 10);
        f.type = SkinFill::Type::Linear;
        f.from = QPointF(g[0], g[1]);
        f.to = QPointF(g[2], g[3]);
    } else {
        const auto g = numbers_of(o.value(QLatin1String("radial")),
                                  where + QStringLiteral(".radial"), 3, -10, 10);
        f.type = SkinFill::Type::Radial;
        f.center = QPointF(g[0], g[1]);
        f.radius = g[2];
    }
    const QString sw = where + QStringLiteral(".stops");
    const QJsonValue stops = o.value(QLatin1String("stops"));
    if (!stops.isArray() || stops.toArray().size() < 2)
        problem(sw, QStringLiteral("must be an array of at least two [position, colour] pairs"));
    for (const QJsonValue &s : stops.toArray()) {
        if (!s.isArray() || s.toArray().size() != 2)
            problem(sw, QStringLiteral("every stop must be [position, colour]"));
        const QJsonArray pair = s.toArray();
        f.stops.append({number_of(pair[0], sw, 0, 1), color_of(pair[1], sw)});
    }
    return f;
}

static QImage png_of(const QJsonValue &v, const QString &where)
{
    const QString s = string_of(v, where);
    const auto decoded =
        QByteArray::fromBase64Encoding(s.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        problem(where, QStringLiteral("is not valid base64"));
    QImage img;
    if (!img.loadFromData(*decoded, "PNG") || img.isNull())
        problem(where, QStringLiteral("is not a PNG image"));
    return img;
}

SkinBitmap bitmap_of(const QJsonObject &o, const QString &where)
{
    check_keys(o, where, {"png", "png_2x"});
    if (!o.contains(QLatin1String("png")))
        problem(where, QStringLiteral("missing \"png\""));
    SkinBitmap b;
    b.image = png_of(o.value(QLatin1String("png")), where + QStringLiteral(".png"));
    if (o.contains(QLatin1String("png_2x")))
        b.image_2x = png_of(o.value(QLatin1String("png_2x")), where + QStringLiteral(".png_2x"));
    return b;
}

std::shared_ptr<const SkinGlyph> glyph_of(const QJsonObject &o, const QString &where)
{
    check_keys(o, where, {"viewbox", "shapes"});
    auto g = std::make_shared<SkinGlyph>();
    if (o.contains(QLatin1String("viewbox"))) {
        const auto vb = numbers_of(o.value(QLatin1String("viewbox")),
                                   where + QStringLiteral(".viewbox"), 4, -1e4, 1e4);
        if (vb[2] <= 0 || vb[3] <= 0)
            problem(where + QStringLiteral(".viewbox"),
                    QStringLiteral("width and height must be positive"));
        g->viewbox = QRectF(vb[0], vb[1], vb[2], vb[3]);
    }
    const QJsonValue shapes = o.value(QLatin1String("shapes"));
    if (!shapes.isArray() || shapes.toArray().isEmpty())
        problem(where + QStringLiteral(".shapes"), QStringLiteral("must be a non-empty array"));
    int i = 0;
    for (const QJsonValue &sv : shapes.toArray()) {
        const QString sw = where + QStringLiteral(".shapes[%1]").arg(i++);
        const QJsonObject so = object_of(sv, sw);
        check_keys(so, sw, {"path", "circle", "rect", "radius", "stroke", "color", "evenodd"});
        SkinGlyphShape shape;
        if (so.contains(QLatin1String("path"))) {
            QString err;
            auto p = parse_svg_path(
                string_of(so.value(QLatin1String("path")), sw + QStringLiteral(".path")), &err);
            if (!p)
                problem(sw, err);
            shape.path = *p;
        } else if (so.contains(QLatin1String("circle"))) {
            const auto c = numbers_of(so.value(QLatin1String("circle")),
                                      sw + QStringLiteral(".circle"), 3, -1e4, 1e4);
            shape.path.addEllipse(QPointF(c[0], c[1]), c[2], c[2]);
        } else if (so.contains(QLatin1String("rect"))) {
            const auto r = numbers_of(so.value(QLatin1String("rect")), sw + QStringLiteral(".rect"),
                                      4, -1e4, 1e4);
            const double radius = so.contains(QLatin1String("radius"))
                                      ? number_of(so.value(QLatin1String("radius")),
                                                  sw + QStringLiteral(".radius"), 0, 1e4)
                                      : 0.0;
            shape.path.addRoundedRect(QRectF(r[0], r[1], r[2], r[3]), radius, radius);
        } else {
            problem(sw, QStringLiteral("needs one of \"path\", \"circle\" or \"rect\""));
        }
        if (so.contains(QLatin1String("evenodd")) &&
            bool_of(so.value(QLatin1String("evenodd")), sw + QStringLiteral(".evenodd")))
            shape.path.setFillRule(Qt::OddEvenFill);
        else
            shape.path.setFillRule(Qt::WindingFill);
        if (so.contains(QLatin1String("stroke")))
            shape.stroke_width = number_of(so.value(QLatin1String("stroke")),
                                           sw + QStringLiteral(".stroke"), 0, 1e3);
        if (so.contains(QLatin1String("color")))
            shape.color = color_of(so.value(QLatin1String("color")), sw + QStringLiteral(".color"));
        g->shapes.push_back(std::move(shape));
    }
    return g;
}

SkinBox box_of(const QJsonObject &o, const QString &where, double *extent, const char *extent_key,
               SkinBox b)
{
    if (o.contains(QLatin1String("background")))
        b.background =
            fill_of(o.value(QLatin1String("background")), where + QStringLiteral(".background"));
    if (o.contains(QLatin1String("radius")))
        b.radius =
            number_of(o.value(QLatin1String("radius")), where + QStringLiteral(".radius"), 0, 1000);
    if (o.contains(QLatin1String("border"))) {
        const QString bw = where + QStringLiteral(".border");
        const QJsonValue bv = o.value(QLatin1String("border"));
        b.border = {};
        if (!bv.isNull()) {
            const QJsonObject bo = object_of(bv, bw);
            check_keys(bo, bw, {"width", "color"});
            b.border.width =
                number_of(bo.value(QLatin1String("width")), bw + QStringLiteral(".width"), 0, 100);
            b.border.color =
                color_of(bo.value(QLatin1String("color")), bw + QStringLiteral(".color"));
        }
    }
    if (extent && o.contains(QLatin1String(extent_key)))
        *extent = number_of(o.value(QLatin1String(extent_key)),
                            where + QLatin1Char('.') + QLatin1String(extent_key), 0, 1000);
    return b;
}

static QFont font_of(const QJsonValue &v, const QString &where)
{
    QFont font;
    QStringList families;
    int pixel_size = 12;
    const QJsonObject o = v.isUndefined() ? QJsonObject() : object_of(v, where);
    check_keys(o, where, {"family", "size", "weight", "italic", "letter_spacing"});
    const QJsonValue fam = o.value(QLatin1String("family"));
    if (fam.isArray()) {
        for (const QJsonValue &f : fam.toArray())
            families << string_of(f, where + QStringLiteral(".family"));
    } else if (!fam.isUndefined()) {
        families << string_of(fam, where + QStringLiteral(".family"));
    }
    families << QStringLiteral("DejaVu Sans"); // always present on the target systems
    font.setFamilies(families);
    if (o.contains(QLatin1String("size")))
        pixel_size = static_cast<int>(
            number_of(o.value(QLatin1String("size")), where + QStringLiteral(".size"), 4, 200));
    font.setPixelSize(pixel_size);
    const QJsonValue w = o.value(QLatin1String("weight"));
    if (w.isString()) {
        static constexpr std::pair<const char *, QFont::Weight> names[] = {
            {"thin", QFont::Thin},     {"light", QFont::Light},       {"normal", QFont::Normal},
            {"medium", QFont::Medium}, {"demibold", QFont::DemiBold}, {"bold", QFont::Bold},
            {"black", QFont::Black}};
        bool found = false;
        for (const auto &[name, weight] : names) {
            if (w.toString() == QLatin1String(name)) {
                font.setWeight(weight);
                found = true;
            }
        }
        if (!found)
            problem(where + QStringLiteral(".weight"),
                    QStringLiteral("unknown weight \"%1\"").arg(w.toString()));
    } else if (!w.isUndefined()) {
        font.setWeight(QFont::Weight(
            static_cast<int>(number_of(w, where + QStringLiteral(".weight"), 100, 900))));
    }
    if (o.contains(QLatin1String("italic")))
        font.setItalic(
            bool_of(o.value(QLatin1String("italic")), where + QStringLiteral(".italic")));
    if (o.contains(QLatin1String("letter_spacing")))
        font.setLetterSpacing(QFont::AbsoluteSpacing,
                              number_of(o.value(QLatin1String("letter_spacing")),
                                        where + QStringLiteral(".letter_spacing"), -20, 50));
    return font;
}

SkinStyle style_of(const QJsonObject &o, const QString &where)
{
    check_keys(o, where,
               {"background", "border", "radius", "highlight", "color", "icon_color", "font",
                "align", "valign", "padding", "icon_size", "icon_gap", "opacity", "track", "fill",
                "thumb", "focus"});
    SkinStyle s;
    // Sliders are usable without any look: grey track, blue played part, round light thumb.
    s.track.background = SkinFill::solid(QColor(0x4a, 0x50, 0x5a));
    s.track.radius = 2;
    s.fill = SkinFill::solid(QColor(0x3d, 0x8f, 0xd9));
    s.thumb.background = SkinFill::solid(QColor(0xe6, 0xe9, 0xed));
    s.thumb.radius = 1000;
    s.box = box_of(o, where, nullptr, "");
    if (o.contains(QLatin1String("highlight")))
        s.highlight =
            color_of(o.value(QLatin1String("highlight")), where + QStringLiteral(".highlight"));
    if (o.contains(QLatin1String("color")))
        s.color = color_of(o.value(QLatin1String("color")), where + QStringLiteral(".color"));
    s.icon_color =
        o.contains(QLatin1String("icon_color"))
            ? color_of(o.value(QLatin1String("icon_color")), where + QStringLiteral(".icon_color"))
            : s.color;
    s.font = font_of(o.value(QLatin1String("font")), where + QStringLiteral(".font"));

    Qt::Alignment h = Qt::AlignLeft;
    Qt::Alignment vert = Qt::AlignVCenter;
    if (o.contains(QLatin1String("align"))) {
        const QString a =
            string_of(o.value(QLatin1String("align")), where + QStringLiteral(".align"));
        if (a == QLatin1String("left"))
            h = Qt::AlignLeft;
        else if (a == QLatin1String("center"))
            h = Qt::AlignHCenter;
        else if (a == QLatin1String("right"))
            h = Qt::AlignRight;
        else
            problem(where + QStringLiteral(".align"),
                    QStringLiteral("must be \"left\", \"center\" or \"right\""));
    }
    if (o.contains(QLatin1String("valign"))) {
        const QString a =
            string_of(o.value(QLatin1String("valign")), where + QStringLiteral(".valign"));
        if (a == QLatin1String("top"))
            vert = Qt::AlignTop;
        else if (a == QLatin1String("center"))
            vert = Qt::AlignVCenter;
        else if (a == QLatin1String("bottom"))
            vert = Qt::AlignBottom;
        else
            problem(where + QStringLiteral(".valign"),
                    QStringLiteral("must be \"top\", \"center\" or \"bottom\""));
    }
    s.align = h | vert;
    if (o.contains(QLatin1String("padding"))) {
        const QJsonValue p = o.value(QLatin1String("padding"));
        if (p.isDouble()) {
            const double d = number_of(p, where + QStringLiteral(".padding"), 0, 1000);
            s.padding = QMarginsF(d, d, d, d);
        } else {
            const auto d = numbers_of(p, where + QStringLiteral(".padding"), 4, 0, 1000);
            s.padding = QMarginsF(d[0], d[1], d[2], d[3]);
        }
    }
    if (o.contains(QLatin1String("icon_size")))
        s.icon_size = number_of(o.value(QLatin1String("icon_size")),
                                where + QStringLiteral(".icon_size"), 1, 1000);
    if (o.contains(QLatin1String("icon_gap")))
        s.icon_gap = number_of(o.value(QLatin1String("icon_gap")),
                               where + QStringLiteral(".icon_gap"), 0, 1000);
    if (o.contains(QLatin1String("opacity")))
        s.opacity =
            number_of(o.value(QLatin1String("opacity")), where + QStringLiteral(".opacity"), 0, 1);
    if (o.contains(QLatin1String("track"))) {
        const QString tw = where + QStringLiteral(".track");
        const QJsonObject t = object_of(o.value(QLatin1String("track")), tw);
        check_keys(t, tw, {"background", "border", "radius", "height"});
        s.track = box_of(t, tw, &s.track_height, "height", s.track);
    }
    if (o.contains(QLatin1String("fill")))
        s.fill = fill_of(o.value(QLatin1String("fill")), where + QStringLiteral(".fill"));
    if (o.contains(QLatin1String("thumb"))) {
        const QString tw = where + QStringLiteral(".thumb");
        const QJsonObject t = object_of(o.value(QLatin1String("thumb")), tw);
        check_keys(t, tw, {"background", "border", "radius", "size"});
        s.thumb = box_of(t, tw, &s.thumb_size, "size", s.thumb);
    }
    if (o.contains(QLatin1String("focus"))) {
        const QString fw = where + QStringLiteral(".focus");
        const QJsonObject f = object_of(o.value(QLatin1String("focus")), fw);
        check_keys(f, fw, {"color", "width", "offset", "radius"});
        if (f.contains(QLatin1String("color")))
            s.focus.color =
                color_of(f.value(QLatin1String("color")), fw + QStringLiteral(".color"));
        if (f.contains(QLatin1String("width")))
            s.focus.width =
                number_of(f.value(QLatin1String("width")), fw + QStringLiteral(".width"), 0, 20);
        if (f.contains(QLatin1String("offset")))
            s.focus.offset = number_of(f.value(QLatin1String("offset")),
                                       fw + QStringLiteral(".offset"), -20, 20);
        if (f.contains(QLatin1String("radius")))
            s.focus.radius = number_of(f.value(QLatin1String("radius")),
                                       fw + QStringLiteral(".radius"), 0, 1000);
    }
    return s;
}

// The look of an element: class looks first, then its own; hover builds on
// normal, pressed on hover, disabled on normal.

} // namespace skin_json
