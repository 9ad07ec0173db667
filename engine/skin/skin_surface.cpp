#include "skin/skin_surface.h"

#include "skin/skin_accessible.h"
#include "skin/skin_painter.h"

#include <QAccessible>
#include <QChildEvent>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPainter>
#include <QPointer>
#include <QToolTip>

namespace
{

int button_code(Qt::MouseButton b)
{
    switch (b) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 3;
    default:
        return 0;
    }
}

} // namespace

SkinObject::SkinObject(const SkinElementDef &def, SkinSurface *surface)
    : m_def(def), m_surface(surface), m_text(def.text), m_position(def.position),
      m_enabled(def.enabled)
{
}

QString SkinObject::Name() const
{
    return m_def.name;
}
QString SkinObject::Kind() const
{
    return m_def.kind;
}
QString SkinObject::Text() const
{
    return m_text;
}
int SkinObject::GetPosition() const
{
    return m_position;
}
bool SkinObject::Enabled() const
{
    return m_enabled;
}

void SkinObject::SetText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    m_surface->element_changed(this);
    m_surface->text_changed(this);
}

void SkinObject::SetPosition(int position)
{
    if (position == m_position)
        return;
    m_position = position;
    m_surface->element_changed(this);
    m_surface->position_changed(this);
}

void SkinObject::SetEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    if (enabled)
        m_surface->element_enabled(this);
    else
        m_surface->element_disabled(this);
    m_surface->element_changed(this);
}

void SkinObject::SetSteps(int line_step, int page_step)
{
    m_line_step = std::max(1, line_step);
    m_page_step = std::max(m_line_step, page_step);
}

void SkinObject::SetShortcut(const QString &keys)
{
    m_shortcut = keys;
}

QString SkinObject::accessible_name() const
{
    if (!m_def.accessible_name.isEmpty())
        return m_def.accessible_name;
    return m_text.isEmpty() ? m_def.name : m_text;
}

void SkinObject::Redraw()
{
    // Every change above has already asked for its repaint; the clock texts
    // are set ten times a second and change once, so nothing more is needed.
}

SkinSurface::SkinSurface(std::shared_ptr<const SkinDocument> document, const SkinFormDef &form,
                         QWidget *window)
    : QWidget(window), m_document(std::move(document)), m_form(form)
{
    setObjectName(QStringLiteral("velquor_skin_surface"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    // Tab and the keys only: a click on the skin must not show a focus ring.
    setFocusPolicy(Qt::TabFocus);
    install_skin_accessibility();
    m_clock.start();
    setGeometry(QRect(QPoint(0, 0), form.size));
    for (const SkinElementDef &def : form.elements)
        m_objects.push_back(std::make_unique<SkinObject>(def, this));
    m_announced.resize(m_objects.size());
    m_accessible_ids.resize(m_objects.size(), 0);
    window->installEventFilter(this);
    for (QObject *child : window->children())
        if (child != this && child->isWidgetType())
            child->installEventFilter(this);
    keep_lowest();
}

SkinSurface::~SkinSurface()
{
    // Hidden while its elements still exist: hiding tells screen readers,
    // which would otherwise ask a half-destroyed surface about them.
    hide();
    forget_skin_element_interfaces(this);
}

QString SkinSurface::Name() const
{
    return m_form.name;
}

ISkinObject *SkinSurface::FindObject(const QString &name) const
{
    for (const auto &o : m_objects)
        if (o->Name() == name)
            return o.get();
    return nullptr;
}

void SkinSurface::keep_lowest()
{
    QWidget *window = parentWidget();
    if (window && !window->children().isEmpty() && window->children().constFirst() != this)
        lower();
}

int SkinSurface::index_of(const SkinObject *object) const
{
    for (size_t i = 0; i < m_objects.size(); ++i)
        if (m_objects[i].get() == object)
            return static_cast<int>(i);
    return -1;
}

void SkinSurface::update_element(int index)
{
    if (index < 0)
        return;
    update(element_paint_bounds(m_objects[size_t(index)]->definition()));
}

void SkinSurface::element_changed(SkinObject *object)
{
    update_element(index_of(object));
}

void SkinSurface::element_disabled(SkinObject *object)
{
    const int index = index_of(object);
    if (index == m_pressed) {
        // A disabled element raises nothing, not even the release of a press it had.
        m_pressed = -1;
        m_pressed_button = Qt::NoButton;
        m_dragging = false;
    }
    if (index == m_hover)
        unsetCursor();
    if (index == m_key_pressed)
        m_key_pressed = -1;
    // Like a disabled Qt widget, it hands the focus on.
    if (index == m_focus) {
        const int next = next_focusable(index, true);
        set_focus_index(next != index ? next : -1);
    }
    notify_skin_element_enabled(this, index);
}

void SkinSurface::element_enabled(SkinObject *object)
{
    notify_skin_element_enabled(this, index_of(object));
}

int SkinSurface::element_at(const QPoint &pos) const
{
    for (int i = static_cast<int>(m_objects.size()) - 1; i >= 0; --i)
        if (m_objects[size_t(i)]->definition().rect.contains(pos))
            return i;
    return -1;
}

SkinState SkinSurface::state_of(int index) const
{
    const SkinObject &o = *m_objects[size_t(index)];
    if (!o.Enabled())
        return SkinState::Disabled;
    if ((index == m_pressed && (m_dragging || m_pressed_inside)) || index == m_key_pressed)
        return SkinState::Pressed;
    if (index == m_hover && (m_pressed == -1 || m_pressed == index))
        return SkinState::Hover;
    return SkinState::Normal;
}

void SkinSurface::set_hover(int index)
{
    if (index == m_hover)
        return;
    const int old = m_hover;
    m_hover = index;
    update_element(old);
    update_element(index);
    const bool interactive = index >= 0 && m_objects[size_t(index)]->Enabled() &&
                             m_objects[size_t(index)]->definition().focusable();
    if (interactive)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
}

void SkinSurface::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    // The real target: a grab into a 2x image wants the 2x bitmaps even on a 1x screen.
    const QPaintDevice *target = p.paintEngine() ? p.paintEngine()->paintDevice() : nullptr;
    const double dpr = target ? target->devicePixelRatioF() : devicePixelRatioF();
    paint_form_background(p, m_form, dpr);
    for (size_t i = 0; i < m_objects.size(); ++i) {
        const SkinObject &o = *m_objects[i];
        // Text is laid out even where the clip hides it: skip what this repaint
        // does not touch (the time display changes alone every second).
        if (!event->region().intersects(o.definition().rect.adjusted(-1, -1, 1, 1)))
            continue;
        const bool dragged = m_dragging && int(i) == m_pressed;
        paint_element(p, o.definition(), state_of(int(i)), o.Text(),
                      dragged ? m_drag_position : o.GetPosition(), dpr);
    }
    if (m_ring && hasFocus() && m_focus >= 0)
        paint_focus_ring(p, m_objects[size_t(m_focus)]->definition(), state_of(m_focus));
}

void SkinSurface::mousePressEvent(QMouseEvent *event)
{
    const int code = button_code(event->button());
    if (code == 0)
        return;
    show_ring(false);
    if (m_pressed != -1) {
        // The release of the earlier press never came (a modal dialog opened from
        // a handler took it): forget that press rather than ignore the mouse for good.
        const bool stale =
            event->button() == m_pressed_button || !(event->buttons() & m_pressed_button);
        if (!stale)
            return;
        update_element(m_pressed);
        m_pressed = -1;
        m_pressed_button = Qt::NoButton;
        m_dragging = false;
    }
    const QPoint pos = event->position().toPoint();
    const int index = element_at(pos);
    if (index < 0 || !m_objects[size_t(index)]->Enabled())
        return;
    SkinObject *object = m_objects[size_t(index)].get();
    m_pressed = index;
    m_pressed_button = event->button();
    m_pressed_inside = true;
    update_element(index);

    QPointer<SkinSurface> alive(this);
    emit element_mouse_down(object, code, pos.x(), pos.y());
    // The handler may have disabled the element or replaced the whole form.
    if (!alive || m_pressed != index)
        return;
    if (object->Kind() == QLatin1String("slider") && event->button() == Qt::LeftButton) {
        const SliderGeometry g =
            slider_geometry(object->definition(), object->definition().style(SkinState::Pressed));
        const int current = clamp_slider_position(object->GetPosition());
        m_dragging = true;
        if (g.thumb_rect(current).contains(event->position())) {
            m_grab_offset = event->position().x() - g.x_of(current);
            m_drag_position = current;
        } else {
            m_grab_offset = 0.0;
            m_drag_position = g.position_at(event->position().x());
            emit element_scroll_track(object, m_drag_position);
        }
        if (alive)
            update_element(index);
    }
}

void SkinSurface::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    set_hover(element_at(pos));
    if (m_pressed < 0)
        return;
    SkinObject *object = m_objects[size_t(m_pressed)].get();
    if (m_dragging) {
        const SliderGeometry g =
            slider_geometry(object->definition(), object->definition().style(SkinState::Pressed));
        const int position = g.position_at(event->position().x() - m_grab_offset);
        if (position != m_drag_position) {
            m_drag_position = position;
            update_element(m_pressed);
            emit element_scroll_track(object, position);
        }
        return;
    }
    const bool inside = object->definition().rect.contains(pos);
    if (inside != m_pressed_inside) {
        m_pressed_inside = inside;
        update_element(m_pressed);
    }
}

void SkinSurface::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressed < 0 || event->button() != m_pressed_button)
        return;
    const int index = m_pressed;
    SkinObject *object = m_objects[size_t(index)].get();
    const bool was_dragging = m_dragging;
    m_pressed = -1;
    m_pressed_button = Qt::NoButton;
    m_dragging = false;
    const QPoint pos = event->position().toPoint();
    set_hover(element_at(pos));
    update_element(index);
    if (!object->Enabled())
        return;
    if (was_dragging)
        object->set_position_from_user(m_drag_position);

    QPointer<SkinSurface> alive(this);
    emit element_mouse_up(object, button_code(event->button()), pos.x(), pos.y());
    if (!alive)
        return;
    if (event->button() == Qt::LeftButton && object->definition().clickable && object->Enabled() &&
        object->definition().rect.contains(pos))
        emit element_click(object);
}

void SkinSurface::leaveEvent(QEvent *)
{
    if (m_pressed < 0)
        set_hover(-1);
}

bool SkinSurface::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        auto *help = static_cast<QHelpEvent *>(event);
        const int index = element_at(help->pos());
        if (index >= 0 && !(m_objects[size_t(index)]->definition().tooltip.isEmpty() &&
                            m_objects[size_t(index)]->shortcut().isEmpty())) {
            const SkinObject &o = *m_objects[size_t(index)];
            QString tip = o.definition().tooltip;
            if (tip.isEmpty())
                tip = o.accessible_name();
            if (!o.shortcut().isEmpty() && !tip.contains(o.shortcut()))
                tip += QStringLiteral(" (%1)").arg(o.shortcut());
            QToolTip::showText(help->globalPos(), tip, this, o.definition().rect);
        } else {
            QToolTip::hideText();
            event->ignore();
        }
        return true;
    }
    return QWidget::event(event);
}

bool SkinSurface::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::ChildAdded) {
        QObject *child = static_cast<QChildEvent *>(event)->child();
        if (child != this && child->isWidgetType()) {
            child->installEventFilter(this);
            keep_lowest();
            // Reparenting finishes its own stacking after this event; check again then.
            QMetaObject::invokeMethod(this, &SkinSurface::keep_lowest, Qt::QueuedConnection);
        }
    } else if (watched != parentWidget() && event->type() == QEvent::ZOrderChange) {
        keep_lowest();
    }
    return QWidget::eventFilter(watched, event);
}
