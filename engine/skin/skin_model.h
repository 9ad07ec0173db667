#pragma once
// The parsed form of a skin file: forms, their elements and the resolved look
// of every element state. Built once by parse_skin (skin_parser.h) and shared,
// read-only, by every surface that draws it. Sizes are logical pixels.

#include <QColor>
#include <QFont>
#include <QGradientStops>
#include <QImage>
#include <QMarginsF>
#include <QPainterPath>
#include <QPointF>
#include <QRect>
#include <QString>
#include <map>
#include <memory>
#include <optional>
#include <vector>

struct SkinFill {
    enum class Type { None, Solid, Linear, Radial };
    Type type = Type::None;
    QColor color;
    // Gradient geometry as fractions of the filled rectangle.
    QPointF from{0, 0};
    QPointF to{0, 1};
    QPointF center{0.5, 0.5};
    double radius = 0.5;
    QGradientStops stops;

    bool visible() const { return type != Type::None; }
    static SkinFill solid(const QColor &c)
    {
        SkinFill f;
        f.type = Type::Solid;
        f.color = c;
        return f;
    }
};

struct SkinBorder {
    double width = 0.0;
    QColor color;
};

// A picture given as embedded PNGs; the 2x variant is used on high-density screens.
struct SkinBitmap {
    QImage image;
    QImage image_2x;

    bool empty() const { return image.isNull(); }
};

struct SkinGlyphShape {
    QPainterPath path;
    double stroke_width = 0.0; // 0: filled
    std::optional<QColor> color;
};

// A vector icon drawn in its own view box, scaled to the icon size.
struct SkinGlyph {
    QRectF viewbox{0, 0, 24, 24};
    std::vector<SkinGlyphShape> shapes;
};

struct SkinBox {
    SkinFill background;
    SkinBorder border;
    double radius = 0.0;
};

// The ring around the element that has the keyboard focus; offset is how far
// outside the element's box it lies (negative: inside), radius < 0 follows
// the box's own corners.
struct SkinFocusRing {
    QColor color{0x4a, 0xa8, 0xff};
    double width = 2.0;
    double offset = 1.0;
    double radius = -1.0;
};

// The look of one element in one state.
struct SkinStyle {
    SkinBox box;
    QColor highlight; // 1 px inner line along the top edge when valid
    QColor color{226, 229, 231};
    QColor icon_color;
    QFont font;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    QMarginsF padding{0, 0, 0, 0};
    double icon_size = 16.0;
    double icon_gap = 6.0;
    double opacity = 1.0;
    // Sliders.
    SkinBox track;
    double track_height = 4.0;
    SkinFill fill;
    SkinBox thumb;
    double thumb_size = 12.0;
    SkinFocusRing focus;
};

enum class SkinState { Normal = 0, Hover = 1, Pressed = 2, Disabled = 3 };
constexpr int skin_state_count = 4;

struct SkinElementDef {
    QString name;
    QString kind; // button, text, slider, image
    QRect rect;
    QString text;
    QString tooltip;
    QString accessible_name; // what a screen reader calls it; empty: from its text or name
    bool clickable = false;
    bool enabled = true;
    int position = 0;
    std::shared_ptr<const SkinGlyph> glyph;
    SkinBitmap bitmap; // icon of a button, picture of an image element
    SkinStyle styles[skin_state_count];

    const SkinStyle &style(SkinState s) const { return styles[static_cast<int>(s)]; }
    // Buttons, sliders and whatever else reports clicks take the keyboard focus.
    bool focusable() const { return clickable || kind == QLatin1String("slider"); }
};

struct SkinFormDef {
    QString name;
    QSize size;
    SkinFill background;
    SkinBitmap background_image;
    std::vector<SkinElementDef> elements;
};

struct SkinDocument {
    QString source; // the file it came from, for messages
    std::map<QString, SkinFormDef> forms;
};
