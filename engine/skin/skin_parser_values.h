#pragma once
// The typed readers behind the skin parser: each takes a JSON value and a
// description of where it is ("form \"List\", element \"Add\".rect") and
// returns the value, or throws SkinProblem naming the place and what is
// wrong. parse_skin turns a SkinProblem into an EngineError naming the file.

#include "skin/skin_model.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <initializer_list>
#include <memory>
#include <vector>

namespace skin_json
{

struct SkinProblem {
    QString what;
};

[[noreturn]] void problem(const QString &where, const QString &what);

// Unknown keys are errors: a misspelt key must not be silently ignored.
void check_keys(const QJsonObject &o, const QString &where,
                std::initializer_list<const char *> allowed);

QJsonObject object_of(const QJsonValue &v, const QString &where);
QString string_of(const QJsonValue &v, const QString &where);
double number_of(const QJsonValue &v, const QString &where, double lo, double hi);
bool bool_of(const QJsonValue &v, const QString &where);
std::vector<double> numbers_of(const QJsonValue &v, const QString &where, int count, double lo,
                               double hi);
QColor color_of(const QJsonValue &v, const QString &where);
SkinFill fill_of(const QJsonValue &v, const QString &where);
SkinBitmap bitmap_of(const QJsonObject &o, const QString &where);
std::shared_ptr<const SkinGlyph> glyph_of(const QJsonObject &o, const QString &where);
// A box (background, border, radius) over base; extent_key names an extra size key.
SkinBox box_of(const QJsonObject &o, const QString &where, double *extent, const char *extent_key,
               SkinBox base = SkinBox());
// One fully resolved state look.
SkinStyle style_of(const QJsonObject &o, const QString &where);

} // namespace skin_json
