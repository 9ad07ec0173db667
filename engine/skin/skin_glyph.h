#pragma once
// Vector icons of skin files: SVG path data ("d" attribute syntax, all
// commands M L H V C S Q T A Z in both cases) turned into a QPainterPath, and
// the drawing of a glyph scaled into a target rectangle. Pure functions;
// parse errors come back as a message, never as an exception.

#include "skin/skin_model.h"

#include <QColor>
#include <QPainterPath>
#include <QString>
#include <optional>

class QPainter;

// nullopt and *error set when the data is malformed.
std::optional<QPainterPath> parse_svg_path(const QString &data, QString *error);

// Draws the glyph into target (keeping its aspect ratio, centred), filling or
// stroking each shape with its own colour or with color.
void draw_glyph(QPainter &painter, const SkinGlyph &glyph, const QRectF &target,
                const QColor &color);
