// Keyboard and screen readers on a skin surface: the focus moving between
// elements, keys that click and move sliders through the same events as the
// mouse, and the changes told to screen readers.
#include "skin/skin_accessible.h"
#include "skin/skin_painter.h"
#include "skin/skin_surface.h"

#include <QAccessible>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

void SkinSurface::text_changed(SkinObject *object)
{
    announce(index_of(object), false);
}

void SkinSurface::position_changed(SkinObject *object)
{
    announce(index_of(object), true);
}

void SkinSurface::announce(int index, bool value)
{
    if (index < 0 || !QAccessible::isActive())
        return;
    Announced &a = m_announced[size_t(index)];
    if (a.pending)
        return;
    const qint64 wait = a.at + 1000 - m_clock.elapsed();
    if (wait <= 0) {
        a.at = m_clock.elapsed();
        notify_skin_element_changed(this, index, value);
        return;
    }
    a.pending = true;
    QTimer::singleShot(int(wait), this, [this, index, value] {
        Announced &later = m_announced[size_t(index)];
        later.pending = false;
        later.at = m_clock.elapsed();
        notify_skin_element_changed(this, index, value);
    });
}

bool SkinSurface::takes_focus(int index) const
{
    const SkinObject &o = *m_objects[size_t(index)];
    return o.Enabled() && o.definition().focusable();
}

int SkinSurface::next_focusable(int from, bool forward) const
{
    const int n = element_count();
    for (int i = from < 0 ? (forward ? 0 : n - 1) : from + (forward ? 1 : -1); i >= 0 && i < n;
         i += forward ? 1 : -1)
        if (takes_focus(i))
            return i;
    return -1;
}

void SkinSurface::set_focus_index(int index)
{
    if (index == m_focus)
        return;
    const int old = m_focus;
    m_focus = index;
    update_element(old);
    update_element(index);
    if (hasFocus() && index >= 0)
        notify_skin_element_focus(this, index);
}

void SkinSurface::show_ring(bool shown)
{
    if (shown == m_ring)
        return;
    m_ring = shown;
    update_element(m_focus);
}

bool SkinSurface::focus_element(int index)
{
    if (index < 0 || index >= element_count() || !takes_focus(index))
        return false;
    if (!hasFocus())
        setFocus(Qt::OtherFocusReason);
    set_focus_index(index);
    return true;
}

bool SkinSurface::focusNextPrevChild(bool next)
{
    if (hasFocus()) {
        const int to = next_focusable(m_focus, next);
        if (to >= 0) {
            show_ring(true);
            set_focus_index(to);
            return true;
        }
    }
    // Past the last element: on to the window's next widget, or round again
    // when there is none.
    const bool moved = QWidget::focusNextPrevChild(next);
    if (hasFocus()) {
        show_ring(true);
        set_focus_index(next_focusable(-1, next));
        return true;
    }
    return moved;
}

void SkinSurface::focusInEvent(QFocusEvent *event)
{
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) {
        show_ring(true);
        set_focus_index(next_focusable(-1, reason == Qt::TabFocusReason));
    } else if (m_focus >= 0) {
        update_element(m_focus);
        notify_skin_element_focus(this, m_focus);
    }
    QWidget::focusInEvent(event);
}

void SkinSurface::focusOutEvent(QFocusEvent *event)
{
    update_element(m_focus);
    QWidget::focusOutEvent(event);
}

bool SkinSurface::press(int index)
{
    if (index < 0 || index >= element_count() || !takes_focus(index))
        return false;
    SkinObject *object = m_objects[size_t(index)].get();
    if (!object->definition().clickable)
        return false;
    // The pressed look for a moment, as a Qt button shows it.
    m_key_pressed = index;
    update_element(index);
    QPointer<SkinSurface> alive(this);
    QTimer::singleShot(120, this, [this, index] {
        if (m_key_pressed == index)
            m_key_pressed = -1;
        update_element(index);
    });
    emit element_click(object);
    return alive != nullptr;
}

bool SkinSurface::move_slider(int index, int position)
{
    if (index < 0 || index >= element_count() || !takes_focus(index))
        return false;
    SkinObject *object = m_objects[size_t(index)].get();
    if (object->Kind() != QLatin1String("slider"))
        return false;
    position = clamp_slider_position(position);
    // The events of a mouse that presses the thumb, drags it and lets go.
    const SliderGeometry g =
        slider_geometry(object->definition(), object->definition().style(SkinState::Pressed));
    const int y = object->definition().rect.center().y();
    QPointer<SkinSurface> alive(this);
    emit element_mouse_down(object, 1, int(g.x_of(object->GetPosition())), y);
    if (!alive || !object->Enabled())
        return false;
    emit element_scroll_track(object, position);
    if (!alive || !object->Enabled())
        return false;
    object->set_position_from_user(position);
    update_element(index);
    emit element_mouse_up(object, 1, int(g.x_of(position)), y);
    if (alive)
        position_changed(object);
    return true;
}

void SkinSurface::keyPressEvent(QKeyEvent *event)
{
    if (m_focus < 0 || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    show_ring(true);
    SkinObject *object = m_objects[size_t(m_focus)].get();
    if (object->Kind() == QLatin1String("slider")) {
        const int at = object->GetPosition();
        int to = at;
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Down:
            to = at - object->line_step();
            break;
        case Qt::Key_Right:
        case Qt::Key_Up:
            to = at + object->line_step();
            break;
        case Qt::Key_PageDown:
            to = at - object->page_step();
            break;
        case Qt::Key_PageUp:
            to = at + object->page_step();
            break;
        case Qt::Key_Home:
            to = 0;
            break;
        case Qt::Key_End:
            to = 1000;
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
        }
        to = clamp_slider_position(to);
        if (to != clamp_slider_position(at))
            move_slider(m_focus, to);
        return;
    }
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Held down, a key repeats: one command per press, not a burst of them.
        if (!event->isAutoRepeat())
            press(m_focus);
        return;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down: {
        // The arrows move along the elements too, as in a Qt button box.
        const bool forward = event->key() == Qt::Key_Right || event->key() == Qt::Key_Down;
        if (const int to = next_focusable(m_focus, forward); to >= 0)
            set_focus_index(to);
        return;
    }
    default:
        QWidget::keyPressEvent(event);
    }
}
