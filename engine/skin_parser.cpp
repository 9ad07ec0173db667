#include "skin_parser.h"

#include "audio_types.h"
#include "skin_glyph.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>

namespace
{

constexpr qint64 max_skin_bytes = 32 * 1024 * 1024;
constexpr int max_form_side = 4096;

// Thrown inside the parser with the problem only; parse_skin adds the file.
struct SkinProblem {
    QString what;
};

[[noreturn]] void problem(const QString &where, const QString &what)
{
    throw SkinProblem{where.isEmpty() ? what : where + QStringLiteral(": ") + what};
}

QString type_name(const QJsonValue &v)
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

QImage png_of(const QJsonValue &v, const QString &where)
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

QJsonObject deep_merge(QJsonObject base, const QJsonObject &over)
{
    for (auto it = over.begin(); it != over.end(); ++it) {
        const QJsonValue old = base.value(it.key());
        if (old.isObject() && it.value().isObject())
            base.insert(it.key(), deep_merge(old.toObject(), it.value().toObject()));
        else
            base.insert(it.key(), it.value());
    }
    return base;
}

SkinBox box_of(const QJsonObject &o, const QString &where, double *extent, const char *extent_key,
               SkinBox b = SkinBox())
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

QFont font_of(const QJsonValue &v, const QString &where)
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
                "thumb"});
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
    return s;
}

// The look of an element: class looks first, then its own; hover builds on
// normal, pressed on hover, disabled on normal.
void resolve_styles(SkinElementDef &el, const std::vector<QJsonObject> &looks, const QString &where)
{
    const auto layer = [&](const char *state) {
        QJsonObject merged;
        for (const QJsonObject &look : looks) {
            const QJsonValue v = look.value(QLatin1String(state));
            if (!v.isUndefined())
                merged = deep_merge(
                    merged, object_of(v, where + QStringLiteral(".look.") + QLatin1String(state)));
        }
        return merged;
    };
    for (const QJsonObject &look : looks)
        check_keys(look, where + QStringLiteral(".look"),
                   {"normal", "hover", "pressed", "disabled"});
    const QJsonObject normal = layer("normal");
    const QJsonObject hover = deep_merge(normal, layer("hover"));
    const QJsonObject pressed = deep_merge(hover, layer("pressed"));
    const QJsonObject disabled = deep_merge(normal, layer("disabled"));
    el.styles[int(SkinState::Normal)] = style_of(normal, where + QStringLiteral(" (normal look)"));
    el.styles[int(SkinState::Hover)] = style_of(hover, where + QStringLiteral(" (hover look)"));
    el.styles[int(SkinState::Pressed)] =
        style_of(pressed, where + QStringLiteral(" (pressed look)"));
    el.styles[int(SkinState::Disabled)] =
        style_of(disabled, where + QStringLiteral(" (disabled look)"));
}

struct SharedParts {
    std::map<QString, std::shared_ptr<const SkinGlyph>> glyphs;
    std::map<QString, QJsonObject> classes;
};

SkinElementDef element_of(const QJsonValue &v, const QString &form_where, int index,
                          const SkinFormDef &form, const SharedParts &shared)
{
    QString where = form_where + QStringLiteral(", element %1").arg(index + 1);
    const QJsonObject o = object_of(v, where);
    check_keys(o, where,
               {"name", "kind", "rect", "text", "tooltip", "clickable", "enabled", "position",
                "icon", "class", "look"});
    SkinElementDef el;
    if (!o.contains(QLatin1String("name")))
        problem(where, QStringLiteral("missing \"name\""));
    el.name = string_of(o.value(QLatin1String("name")), where + QStringLiteral(".name"));
    if (el.name.isEmpty())
        problem(where, QStringLiteral("the name is empty"));
    where = form_where + QStringLiteral(", element \"%1\"").arg(el.name);
    if (!o.contains(QLatin1String("kind")))
        problem(where, QStringLiteral("missing \"kind\""));
    el.kind = string_of(o.value(QLatin1String("kind")), where + QStringLiteral(".kind"));
    if (el.kind != QLatin1String("button") && el.kind != QLatin1String("text") &&
        el.kind != QLatin1String("slider") && el.kind != QLatin1String("image"))
        problem(where,
                QStringLiteral("unknown kind \"%1\" (button, text, slider or image)").arg(el.kind));
    if (!o.contains(QLatin1String("rect")))
        problem(where, QStringLiteral("missing \"rect\""));
    const auto r =
        numbers_of(o.value(QLatin1String("rect")), where + QStringLiteral(".rect"), 4, -1e6, 1e6);
    for (double d : r)
        if (d != std::floor(d))
            problem(where + QStringLiteral(".rect"), QStringLiteral("must be whole pixels"));
    el.rect = QRect(int(r[0]), int(r[1]), int(r[2]), int(r[3]));
    if (el.rect.width() <= 0 || el.rect.height() <= 0)
        problem(where + QStringLiteral(".rect"),
                QStringLiteral("width and height must be positive"));
    if (!QRect(QPoint(0, 0), form.size).contains(el.rect))
        problem(where + QStringLiteral(".rect"),
                QStringLiteral("[%1, %2, %3, %4] lies outside the form's %5 x %6 client area")
                    .arg(r[0])
                    .arg(r[1])
                    .arg(r[2])
                    .arg(r[3])
                    .arg(form.size.width())
                    .arg(form.size.height()));
    if (o.contains(QLatin1String("text")))
        el.text = string_of(o.value(QLatin1String("text")), where + QStringLiteral(".text"));
    if (o.contains(QLatin1String("tooltip")))
        el.tooltip =
            string_of(o.value(QLatin1String("tooltip")), where + QStringLiteral(".tooltip"));
    el.clickable = el.kind == QLatin1String("button");
    if (o.contains(QLatin1String("clickable")))
        el.clickable =
            bool_of(o.value(QLatin1String("clickable")), where + QStringLiteral(".clickable"));
    if (o.contains(QLatin1String("enabled")))
        el.enabled = bool_of(o.value(QLatin1String("enabled")), where + QStringLiteral(".enabled"));
    if (o.contains(QLatin1String("position")))
        el.position = int(number_of(o.value(QLatin1String("position")),
                                    where + QStringLiteral(".position"), 0, 1000));
    if (o.contains(QLatin1String("icon"))) {
        const QString iw = where + QStringLiteral(".icon");
        const QJsonValue iv = o.value(QLatin1String("icon"));
        if (iv.isString()) {
            const auto it = shared.glyphs.find(iv.toString());
            if (it == shared.glyphs.end())
                problem(iw, QStringLiteral("no glyph named \"%1\"").arg(iv.toString()));
            el.glyph = it->second;
        } else {
            const QJsonObject io = object_of(iv, iw);
            if (io.contains(QLatin1String("png")))
                el.bitmap = bitmap_of(io, iw);
            else
                el.glyph = glyph_of(io, iw);
        }
    }
    std::vector<QJsonObject> looks;
    if (o.contains(QLatin1String("class"))) {
        const QJsonValue cv = o.value(QLatin1String("class"));
        QStringList names;
        if (cv.isArray()) {
            for (const QJsonValue &c : cv.toArray())
                names << string_of(c, where + QStringLiteral(".class"));
        } else {
            names << string_of(cv, where + QStringLiteral(".class"));
        }
        for (const QString &n : names) {
            const auto it = shared.classes.find(n);
            if (it == shared.classes.end())
                problem(where + QStringLiteral(".class"),
                        QStringLiteral("no class named \"%1\"").arg(n));
            looks.push_back(it->second);
        }
    }
    if (o.contains(QLatin1String("look")))
        looks.push_back(object_of(o.value(QLatin1String("look")), where + QStringLiteral(".look")));
    resolve_styles(el, looks, where);
    return el;
}

SkinFormDef form_of(const QString &name, const QJsonValue &v, const SharedParts &shared)
{
    const QString where = QStringLiteral("form \"%1\"").arg(name);
    const QJsonObject o = object_of(v, where);
    check_keys(o, where, {"size", "background", "background_image", "elements"});
    SkinFormDef form;
    form.name = name;
    if (!o.contains(QLatin1String("size")))
        problem(where, QStringLiteral("missing \"size\""));
    const auto size = numbers_of(o.value(QLatin1String("size")), where + QStringLiteral(".size"), 2,
                                 1, max_form_side);
    form.size = QSize(int(size[0]), int(size[1]));
    if (o.contains(QLatin1String("background")))
        form.background =
            fill_of(o.value(QLatin1String("background")), where + QStringLiteral(".background"));
    if (o.contains(QLatin1String("background_image")))
        form.background_image = bitmap_of(object_of(o.value(QLatin1String("background_image")),
                                                    where + QStringLiteral(".background_image")),
                                          where + QStringLiteral(".background_image"));
    const QJsonValue elements = o.value(QLatin1String("elements"));
    if (!elements.isArray())
        problem(where, QStringLiteral("missing \"elements\" array"));
    QSet<QString> names;
    int index = 0;
    for (const QJsonValue &ev : elements.toArray()) {
        SkinElementDef el = element_of(ev, where, index++, form, shared);
        if (names.contains(el.name))
            problem(where, QStringLiteral("two elements are named \"%1\"").arg(el.name));
        names.insert(el.name);
        form.elements.push_back(std::move(el));
    }
    return form;
}

QString json_error_text(const QByteArray &json, const QJsonParseError &err)
{
    int line = 1;
    int column = 1;
    for (int i = 0; i < err.offset && i < json.size(); ++i) {
        if (json[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return QStringLiteral("line %1, column %2: %3").arg(line).arg(column).arg(err.errorString());
}

} // namespace

std::shared_ptr<const SkinDocument> parse_skin(const QByteArray &json, const QString &source)
{
    try {
        QJsonParseError err{};
        const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
        if (err.error != QJsonParseError::NoError)
            problem(QString(), json_error_text(json, err));
        if (!doc.isObject())
            problem(QString(), QStringLiteral("the top level must be an object"));
        const QJsonObject root = doc.object();
        check_keys(root, QStringLiteral("top level"),
                   {"format", "version", "name", "glyphs", "classes", "forms"});
        if (root.contains(QLatin1String("format")) &&
            root.value(QLatin1String("format")).toString() != QLatin1String("velquor-skin"))
            problem(QStringLiteral("format"), QStringLiteral("must be \"velquor-skin\""));
        if (root.contains(QLatin1String("version")) &&
            number_of(root.value(QLatin1String("version")), QStringLiteral("version"), 1, 1e6) > 1)
            problem(QStringLiteral("version"),
                    QStringLiteral("this program reads skin format version 1"));

        SharedParts shared;
        if (root.contains(QLatin1String("glyphs"))) {
            const QJsonObject g =
                object_of(root.value(QLatin1String("glyphs")), QStringLiteral("glyphs"));
            for (auto it = g.begin(); it != g.end(); ++it)
                shared.glyphs[it.key()] =
                    glyph_of(object_of(it.value(), QStringLiteral("glyph \"%1\"").arg(it.key())),
                             QStringLiteral("glyph \"%1\"").arg(it.key()));
        }
        if (root.contains(QLatin1String("classes"))) {
            const QJsonObject c =
                object_of(root.value(QLatin1String("classes")), QStringLiteral("classes"));
            for (auto it = c.begin(); it != c.end(); ++it)
                shared.classes[it.key()] =
                    object_of(it.value(), QStringLiteral("class \"%1\"").arg(it.key()));
        }
        if (!root.contains(QLatin1String("forms")))
            problem(QString(), QStringLiteral("missing \"forms\""));
        const QJsonObject forms =
            object_of(root.value(QLatin1String("forms")), QStringLiteral("forms"));
        if (forms.isEmpty())
            problem(QStringLiteral("forms"), QStringLiteral("no form is defined"));
        auto result = std::make_shared<SkinDocument>();
        result->source = source;
        for (auto it = forms.begin(); it != forms.end(); ++it)
            result->forms.emplace(it.key(), form_of(it.key(), it.value(), shared));
        return result;
    } catch (const SkinProblem &p) {
        throw EngineError(QStringLiteral("The skin file %1 is not valid: %2").arg(source, p.what));
    }
}

std::shared_ptr<const SkinDocument> load_skin_file(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EngineError(
            QStringLiteral("The skin file %1 cannot be read: %2").arg(path, file.errorString()));
    if (file.size() > max_skin_bytes)
        throw EngineError(QStringLiteral("The skin file %1 is not valid: it is larger than %2 MB")
                              .arg(path)
                              .arg(max_skin_bytes / (1024 * 1024)));
    const QByteArray data = file.read(max_skin_bytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw EngineError(
            QStringLiteral("The skin file %1 cannot be read: %2").arg(path, file.errorString()));
    if (data.size() > max_skin_bytes)
        throw EngineError(QStringLiteral("The skin file %1 is not valid: it is larger than %2 MB")
                              .arg(path)
                              .arg(max_skin_bytes / (1024 * 1024)));
    return parse_skin(data, path);
}
