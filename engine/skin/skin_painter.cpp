#include "skin/skin_painter.h"

#include "skin/skin_glyph.h"

#include <QFontMetricsF>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <algorithm>
#include <cmath>

namespace
{

QBrush brush_of(const SkinFill &fill, const QRectF &r)
{
    switch (fill.type) {
    case SkinFill::Type::Solid:
        return QBrush(fill.color);
    case SkinFill::Type::Linear: {
        QLinearGradient g(r.left() + fill.from.x() * r.width(),
                          r.top() + fill.from.y() * r.height(), r.left() + fill.to.x() * r.width(),
                          r.top() + fill.to.y() * r.height());
        g.setStops(fill.stops);
        return QBrush(g);
    }
    case SkinFill::Type::Radial: {
        QRadialGradient g(r.left() + fill.center.x() * r.width(),
                          r.top() + fill.center.y() * r.height(),
                          fill.radius * std::max(r.width(), r.height()));
        g.setStops(fill.stops);
        return QBrush(g);
    }
    case SkinFill::Type::None:
        break;
    }
    return QBrush(Qt::NoBrush);
}

void paint_box(QPainter &p, const QRectF &r, const SkinBox &box, const QColor &highlight = QColor())
{
    const double radius = std::min(box.radius, std::min(r.width(), r.height()) / 2.0);
    if (box.background.visible()) {
        p.setPen(Qt::NoPen);
        p.setBrush(brush_of(box.background, r));
        p.drawRoundedRect(r, radius, radius);
    }
    if (highlight.isValid()) {
        // A soft light along the top edge that fades out halfway down.
        const double inset = box.border.width + 0.5;
        const QRectF hr = r.adjusted(inset, inset, -inset, -inset);
        QLinearGradient g(hr.topLeft(), QPointF(hr.left(), hr.top() + hr.height() / 2));
        QColor end = highlight;
        end.setAlpha(0);
        g.setColorAt(0, highlight);
        g.setColorAt(1, end);
        p.setPen(QPen(QBrush(g), 1.0));
        p.setBrush(Qt::NoBrush);
        const double hr_radius = std::max(0.0, radius - inset);
        p.drawRoundedRect(hr, hr_radius, hr_radius);
    }
    if (box.border.width > 0.0 && box.border.color.alpha() > 0) {
        const double half = box.border.width / 2.0;
        const QRectF br = r.adjusted(half, half, -half, -half);
        p.setPen(QPen(box.border.color, box.border.width));
        p.setBrush(Qt::NoBrush);
        const double br_radius = std::max(0.0, radius - half);
        p.drawRoundedRect(br, br_radius, br_radius);
    }
}

const QImage &pick_bitmap(const SkinBitmap &b, double dpr)
{
    // Any scale above 1x: the 2x picture made smaller stays sharper than the 1x one made larger.
    return dpr > 1.0 && !b.image_2x.isNull() ? b.image_2x : b.image;
}

void draw_bitmap(QPainter &p, const SkinBitmap &b, const QRectF &target, double dpr)
{
    const QImage &img = pick_bitmap(b, dpr);
    if (img.isNull())
        return;
    QSizeF size = img.size();
    size.scale(target.size(), Qt::KeepAspectRatio);
    const QRectF dest(target.center().x() - size.width() / 2,
                      target.center().y() - size.height() / 2, size.width(), size.height());
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, true);
    p.drawImage(dest, img);
    p.restore();
}

void draw_icon(QPainter &p, const SkinElementDef &el, const SkinStyle &s, const QRectF &target,
               double dpr)
{
    if (el.glyph)
        draw_glyph(p, *el.glyph, target, s.icon_color);
    else if (!el.bitmap.empty())
        draw_bitmap(p, el.bitmap, target, dpr);
}

bool has_icon(const SkinElementDef &el)
{
    return el.glyph || !el.bitmap.empty();
}

void paint_content(QPainter &p, const SkinElementDef &el, const SkinStyle &s, const QString &text,
                   double dpr)
{
    const QRectF content = QRectF(el.rect).marginsRemoved(s.padding);
    if (content.width() <= 0 || content.height() <= 0)
        return;
    if (el.kind == QLatin1String("image")) {
        draw_icon(p, el, s, content, dpr);
        return;
    }
    const QFontMetricsF fm(s.font);
    const double icon = has_icon(el) ? s.icon_size : 0.0;
    const double gap = icon > 0 && !text.isEmpty() ? s.icon_gap : 0.0;
    const QString shown =
        fm.elidedText(text, Qt::ElideRight, std::max(0.0, content.width() - icon - gap));
    const double text_w = shown.isEmpty() ? 0.0 : fm.horizontalAdvance(shown);
    const double total = icon + gap + text_w;
    double x = content.left();
    if (s.align & Qt::AlignHCenter)
        x = content.left() + (content.width() - total) / 2.0;
    else if (s.align & Qt::AlignRight)
        x = content.right() - total;
    if (icon > 0) {
        double y = content.top() + (content.height() - icon) / 2.0;
        if (s.align & Qt::AlignTop)
            y = content.top();
        else if (s.align & Qt::AlignBottom)
            y = content.bottom() - icon;
        // Whole pixels keep vector icons sharp at 1x.
        draw_icon(p, el, s, QRectF(std::round(x), std::round(y), icon, icon), dpr);
    }
    if (!shown.isEmpty()) {
        p.setFont(s.font);
        p.setPen(s.color);
        const QRectF tr(x + icon + gap, content.top(), text_w + 1.0, content.height());
        p.drawText(tr, int(Qt::AlignLeft | (s.align & Qt::AlignVertical_Mask)) | Qt::TextSingleLine,
                   shown);
    }
}

void paint_slider(QPainter &p, const SkinElementDef &el, const SkinStyle &s, int position)
{
    const SliderGeometry g = slider_geometry(el, s);
    paint_box(p, g.track, s.track);
    const double x = g.x_of(position);
    if (s.fill.visible() && x > g.track.left()) {
        SkinBox played = s.track;
        played.background = s.fill;
        played.border = {};
        QRectF fr = g.track;
        fr.setRight(x);
        // Keep the rounded left end whole even at position 0 under the thumb.
        if (fr.width() < fr.height())
            fr.setWidth(std::min(g.track.width(), fr.height()));
        paint_box(p, fr, played);
    }
    if (s.thumb_size > 0)
        paint_box(p, g.thumb_rect(position), s.thumb);
}

} // namespace

int clamp_slider_position(int position)
{
    return std::clamp(position, 0, 1000);
}

double SliderGeometry::x_of(int position) const
{
    return x_min + (x_max - x_min) * clamp_slider_position(position) / 1000.0;
}

QRectF SliderGeometry::thumb_rect(int position) const
{
    const double x = x_of(position);
    const double cy = track.center().y();
    return QRectF(x - thumb_size / 2.0, cy - thumb_size / 2.0, thumb_size, thumb_size);
}

int SliderGeometry::position_at(double x) const
{
    if (x_max <= x_min)
        return 0;
    return clamp_slider_position(
        static_cast<int>(std::lround((x - x_min) * 1000.0 / (x_max - x_min))));
}

SliderGeometry slider_geometry(const SkinElementDef &element, const SkinStyle &style)
{
    const QRectF content = QRectF(element.rect).marginsRemoved(style.padding);
    SliderGeometry g;
    g.thumb_size = std::min(style.thumb_size, content.height());
    const double th = std::min(style.track_height, content.height());
    g.track = QRectF(content.left(), content.center().y() - th / 2.0, content.width(), th);
    g.x_min = content.left() + g.thumb_size / 2.0;
    g.x_max = content.right() - g.thumb_size / 2.0;
    if (g.x_max < g.x_min)
        g.x_max = g.x_min;
    return g;
}

void paint_form_background(QPainter &painter, const SkinFormDef &form, double dpr)
{
    const QRectF r(QPointF(0, 0), QSizeF(form.size));
    if (form.background.visible())
        painter.fillRect(r, brush_of(form.background, r));
    else
        painter.fillRect(r, Qt::black);
    if (!form.background_image.empty()) {
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(r, pick_bitmap(form.background_image, dpr));
        painter.restore();
    }
}

void paint_element(QPainter &painter, const SkinElementDef &element, SkinState state,
                   const QString &text, int position, double dpr)
{
    const SkinStyle &s = element.style(state);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setOpacity(s.opacity);
    if (element.kind == QLatin1String("slider")) {
        paint_box(painter, QRectF(element.rect), s.box, s.highlight);
        paint_slider(painter, element, s, position);
    } else {
        paint_box(painter, QRectF(element.rect), s.box, s.highlight);
        paint_content(painter, element, s, text, dpr);
    }
    painter.restore();
}

void paint_focus_ring(QPainter &painter, const SkinElementDef &element, SkinState state)
{
    const SkinStyle &s = element.style(state);
    if (s.focus.width <= 0 || s.focus.color.alpha() == 0)
        return;
    const double grow = s.focus.offset + s.focus.width / 2.0;
    const QRectF r = QRectF(element.rect).adjusted(-grow, -grow, grow, grow);
    const double radius = s.focus.radius >= 0
                              ? s.focus.radius
                              : std::max(0.0, s.box.radius + s.focus.offset + s.focus.width / 2.0);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(s.focus.color, s.focus.width));
    painter.setBrush(Qt::NoBrush);
    const double corner = std::min(radius, std::min(r.width(), r.height()) / 2.0);
    painter.drawRoundedRect(r, corner, corner);
    painter.restore();
}

QRect element_paint_bounds(const SkinElementDef &element)
{
    // A little margin: antialiased borders reach half a pixel outside.
    double reach = 1.0;
    for (const SkinStyle &s : element.styles)
        reach = std::max(reach, s.focus.offset + s.focus.width + 1.0);
    const int m = static_cast<int>(std::ceil(reach));
    return element.rect.adjusted(-m, -m, m, m);
}
