#include "skin/skin_glyph.h"

#include <QPainter>
#include <cmath>
#include <numbers>

namespace
{

class PathScanner
{
public:
    explicit PathScanner(const QString &data) : m_data(data) {}

    void skip_separators()
    {
        while (m_pos < m_data.size() && (m_data[m_pos].isSpace() || m_data[m_pos] == u','))
            ++m_pos;
    }
    bool at_end()
    {
        skip_separators();
        return m_pos >= m_data.size();
    }
    bool at_number()
    {
        skip_separators();
        if (m_pos >= m_data.size())
            return false;
        const QChar c = m_data[m_pos];
        return c.isDigit() || c == u'-' || c == u'+' || c == u'.';
    }
    QChar take_command()
    {
        skip_separators();
        return m_data[m_pos++];
    }
    qsizetype pos() const { return m_pos; }

    bool number(double &out)
    {
        skip_separators();
        const qsizetype start = m_pos;
        if (m_pos < m_data.size() && (m_data[m_pos] == u'-' || m_data[m_pos] == u'+'))
            ++m_pos;
        bool digits = false;
        while (m_pos < m_data.size() && m_data[m_pos].isDigit()) {
            ++m_pos;
            digits = true;
        }
        if (m_pos < m_data.size() && m_data[m_pos] == u'.') {
            ++m_pos;
            while (m_pos < m_data.size() && m_data[m_pos].isDigit()) {
                ++m_pos;
                digits = true;
            }
        }
        if (digits && m_pos < m_data.size() && (m_data[m_pos] == u'e' || m_data[m_pos] == u'E')) {
            qsizetype save = m_pos++;
            if (m_pos < m_data.size() && (m_data[m_pos] == u'-' || m_data[m_pos] == u'+'))
                ++m_pos;
            bool exp_digits = false;
            while (m_pos < m_data.size() && m_data[m_pos].isDigit()) {
                ++m_pos;
                exp_digits = true;
            }
            if (!exp_digits)
                m_pos = save;
        }
        if (!digits) {
            m_pos = start;
            return false;
        }
        bool ok = false;
        out = m_data.mid(start, m_pos - start).toDouble(&ok);
        return ok && std::isfinite(out);
    }
    // Arc flags may be written without separators ("a1 1 0 00 1 1").
    bool flag(bool &out)
    {
        skip_separators();
        if (m_pos < m_data.size() && (m_data[m_pos] == u'0' || m_data[m_pos] == u'1')) {
            out = m_data[m_pos++] == u'1';
            return true;
        }
        return false;
    }

private:
    const QString &m_data;
    qsizetype m_pos = 0;
};

double vector_angle(double ux, double uy, double vx, double vy)
{
    const double a = std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
    return a;
}

// SVG endpoint arc to cubic segments through QPainterPath::arcTo, which
// takes an axis-aligned ellipse; rotation is applied with a transform.
void arc_to(QPainterPath &path, QPointF from, double rx, double ry, double rotation_deg, bool large,
            bool sweep, QPointF to)
{
    if (from == to)
        return;
    rx = std::abs(rx);
    ry = std::abs(ry);
    if (rx == 0.0 || ry == 0.0) {
        path.lineTo(to);
        return;
    }
    const double phi = rotation_deg * std::numbers::pi / 180.0;
    const double cos_phi = std::cos(phi);
    const double sin_phi = std::sin(phi);
    const double dx = (from.x() - to.x()) / 2.0;
    const double dy = (from.y() - to.y()) / 2.0;
    const double x1 = cos_phi * dx + sin_phi * dy;
    const double y1 = -sin_phi * dx + cos_phi * dy;
    const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (lambda > 1.0) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
    }
    double num = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
    const double den = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    num = std::max(0.0, num);
    double coef = den == 0.0 ? 0.0 : std::sqrt(num / den);
    if (large == sweep)
        coef = -coef;
    const double cx1 = coef * rx * y1 / ry;
    const double cy1 = -coef * ry * x1 / rx;
    const double cx = cos_phi * cx1 - sin_phi * cy1 + (from.x() + to.x()) / 2.0;
    const double cy = sin_phi * cx1 + cos_phi * cy1 + (from.y() + to.y()) / 2.0;
    const double theta1 = vector_angle(1, 0, (x1 - cx1) / rx, (y1 - cy1) / ry);
    double dtheta =
        vector_angle((x1 - cx1) / rx, (y1 - cy1) / ry, (-x1 - cx1) / rx, (-y1 - cy1) / ry);
    if (!sweep && dtheta > 0)
        dtheta -= 2 * std::numbers::pi;
    else if (sweep && dtheta < 0)
        dtheta += 2 * std::numbers::pi;

    // Build the arc around the origin, unrotated, then place it.
    QPainterPath arc;
    const QRectF box(-rx, -ry, 2 * rx, 2 * ry);
    const double start_deg = -theta1 * 180.0 / std::numbers::pi; // Qt angles run counter-clockwise
    const double span_deg = -dtheta * 180.0 / std::numbers::pi;
    arc.arcMoveTo(box, start_deg);
    arc.arcTo(box, start_deg, span_deg);
    QTransform t;
    t.translate(cx, cy);
    t.rotateRadians(phi);
    const QPainterPath placed = t.map(arc);
    for (int i = 1; i < placed.elementCount(); ++i) {
        const QPainterPath::Element e = placed.elementAt(i);
        if (e.type == QPainterPath::CurveToElement && i + 2 < placed.elementCount()) {
            path.cubicTo(QPointF(e), QPointF(placed.elementAt(i + 1)),
                         QPointF(placed.elementAt(i + 2)));
            i += 2;
        } else {
            path.lineTo(QPointF(e));
        }
    }
    path.lineTo(to); // land exactly on the end point
}

} // namespace

std::optional<QPainterPath> parse_svg_path(const QString &data, QString *error)
{
    PathScanner scan(data);
    QPainterPath path;
    QPointF cur, start, last_ctrl;
    QChar prev_cmd;
    QChar cmd;
    const auto fail = [&](const QString &what) -> std::optional<QPainterPath> {
        if (error)
            *error = QStringLiteral("path data at character %1: %2").arg(scan.pos() + 1).arg(what);
        return std::nullopt;
    };

    while (!scan.at_end()) {
        if (!scan.at_number()) {
            cmd = scan.take_command();
            if (!QStringLiteral("MmLlHhVvCcSsQqTtAaZz").contains(cmd))
                return fail(QStringLiteral("unknown command '%1'").arg(cmd));
        } else if (cmd.isNull()) {
            return fail(QStringLiteral("a number before the first command"));
        } else if (cmd == u'M') {
            cmd = u'L'; // further pairs after a move are lines
        } else if (cmd == u'm') {
            cmd = u'l';
        } else if (cmd == u'Z' || cmd == u'z') {
            return fail(QStringLiteral("a number after close path"));
        }
        if (path.elementCount() == 0 && cmd != u'M' && cmd != u'm')
            return fail(QStringLiteral("the path must start with a move"));

        const bool rel = cmd.isLower();
        const QPointF base = rel ? cur : QPointF(0, 0);
        double v[7];
        const auto read = [&](int n) {
            for (int i = 0; i < n; ++i)
                if (!scan.number(v[i]))
                    return false;
            return true;
        };
        const QChar up = cmd.toUpper();
        if (up == u'Z') {
            path.closeSubpath();
            cur = start;
        } else if (up == u'M') {
            if (!read(2))
                return fail(QStringLiteral("move needs two numbers"));
            cur = base + QPointF(v[0], v[1]);
            start = cur;
            path.moveTo(cur);
        } else if (up == u'L') {
            if (!read(2))
                return fail(QStringLiteral("line needs two numbers"));
            cur = base + QPointF(v[0], v[1]);
            path.lineTo(cur);
        } else if (up == u'H') {
            if (!read(1))
                return fail(QStringLiteral("horizontal line needs a number"));
            cur.setX(rel ? cur.x() + v[0] : v[0]);
            path.lineTo(cur);
        } else if (up == u'V') {
            if (!read(1))
                return fail(QStringLiteral("vertical line needs a number"));
            cur.setY(rel ? cur.y() + v[0] : v[0]);
            path.lineTo(cur);
        } else if (up == u'C' || up == u'S') {
            QPointF c1, c2, end;
            if (up == u'C') {
                if (!read(6))
                    return fail(QStringLiteral("curve needs six numbers"));
                c1 = base + QPointF(v[0], v[1]);
                c2 = base + QPointF(v[2], v[3]);
                end = base + QPointF(v[4], v[5]);
            } else {
                if (!read(4))
                    return fail(QStringLiteral("smooth curve needs four numbers"));
                const bool follows = QStringLiteral("CcSs").contains(prev_cmd);
                c1 = follows ? 2 * cur - last_ctrl : cur;
                c2 = base + QPointF(v[0], v[1]);
                end = base + QPointF(v[2], v[3]);
            }
            path.cubicTo(c1, c2, end);
            last_ctrl = c2;
            cur = end;
        } else if (up == u'Q' || up == u'T') {
            QPointF c, end;
            if (up == u'Q') {
                if (!read(4))
                    return fail(QStringLiteral("quadratic curve needs four numbers"));
                c = base + QPointF(v[0], v[1]);
                end = base + QPointF(v[2], v[3]);
            } else {
                if (!read(2))
                    return fail(QStringLiteral("smooth quadratic curve needs two numbers"));
                const bool follows = QStringLiteral("QqTt").contains(prev_cmd);
                c = follows ? 2 * cur - last_ctrl : cur;
                end = base + QPointF(v[0], v[1]);
            }
            path.quadTo(c, end);
            last_ctrl = c;
            cur = end;
        } else if (up == u'A') {
            bool large = false, sweep = false;
            if (!scan.number(v[0]) || !scan.number(v[1]) || !scan.number(v[2]) ||
                !scan.flag(large) || !scan.flag(sweep) || !scan.number(v[3]) || !scan.number(v[4]))
                return fail(QStringLiteral("arc needs rx ry rotation large-arc sweep x y"));
            const QPointF end = base + QPointF(v[3], v[4]);
            arc_to(path, cur, v[0], v[1], v[2], large, sweep, end);
            cur = end;
        }
        prev_cmd = cmd;
    }
    if (path.elementCount() == 0)
        return fail(QStringLiteral("the path is empty"));
    return path;
}

void draw_glyph(QPainter &painter, const SkinGlyph &glyph, const QRectF &target,
                const QColor &color)
{
    if (glyph.viewbox.width() <= 0 || glyph.viewbox.height() <= 0)
        return;
    const double scale =
        std::min(target.width() / glyph.viewbox.width(), target.height() / glyph.viewbox.height());
    const QPointF offset(target.center().x() - glyph.viewbox.center().x() * scale,
                         target.center().y() - glyph.viewbox.center().y() * scale);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(offset);
    painter.scale(scale, scale);
    for (const SkinGlyphShape &shape : glyph.shapes) {
        const QColor c = shape.color.value_or(color);
        if (shape.stroke_width > 0.0) {
            QPen pen(c, shape.stroke_width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
        } else {
            painter.setPen(Qt::NoPen);
            painter.setBrush(c);
        }
        painter.drawPath(shape.path);
    }
    painter.restore();
}
