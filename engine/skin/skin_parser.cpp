#include "skin/skin_parser.h"

#include "audio_types.h"
#include "skin/skin_parser_values.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>

using namespace skin_json;

namespace
{

constexpr qint64 max_skin_bytes = 32 * 1024 * 1024;
constexpr int max_form_side = 4096;

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
               {"name", "kind", "rect", "text", "tooltip", "accessible_name", "clickable",
                "enabled", "position", "icon", "class", "look"});
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
    if (o.contains(QLatin1String("accessible_name")))
        el.accessible_name = string_of(o.value(QLatin1String("accessible_name")),
                                       where + QStringLiteral(".accessible_name"));
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
            else
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
            else
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
