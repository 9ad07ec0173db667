#include "skin/skin_accessible.h"

#include "skin/skin_surface.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QWindow>

namespace
{

const QString surface_class = QStringLiteral("SkinSurface");

class SkinElementAccessible : public QAccessibleInterface,
                              public QAccessibleActionInterface,
                              public QAccessibleValueInterface,
                              public QAccessibleTextInterface
{
public:
    SkinElementAccessible(SkinSurface *surface, int index) : m_surface(surface), m_index(index) {}

    bool isValid() const override { return m_surface && m_index < m_surface->element_count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        return m_surface ? m_surface->window()->windowHandle() : nullptr;
    }
    QAccessibleInterface *parent() const override
    {
        return m_surface ? QAccessible::queryAccessibleInterface(m_surface.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return {};
        const SkinObject &o = *m_surface->element(m_index);
        switch (t) {
        case QAccessible::Name:
            return o.accessible_name();
        case QAccessible::Description:
            return o.definition().tooltip;
        case QAccessible::Accelerator:
            return o.shortcut();
        case QAccessible::Value:
            return is_slider() ? QString::number(o.GetPosition()) : QString();
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect r = m_surface->element(m_index)->definition().rect;
        return QRect(m_surface->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::Role role() const override
    {
        if (!isValid())
            return QAccessible::NoRole;
        const SkinElementDef &def = m_surface->element(m_index)->definition();
        if (def.kind == QLatin1String("slider"))
            return QAccessible::Slider;
        if (def.clickable)
            return QAccessible::Button;
        if (def.kind == QLatin1String("text"))
            return QAccessible::StaticText;
        if (def.kind == QLatin1String("image"))
            return QAccessible::Graphic;
        return QAccessible::Button;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!isValid()) {
            s.invalid = true;
            return s;
        }
        const SkinObject &o = *m_surface->element(m_index);
        s.invisible = !m_surface->isVisible();
        s.disabled = !o.Enabled();
        s.focusable = o.definition().focusable() && o.Enabled();
        s.focused = m_surface->focused_element() == m_index;
        s.pressed = m_surface->element_pressed(m_index);
        s.readOnly = o.definition().kind == QLatin1String("text");
        return s;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (!isValid())
            return nullptr;
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        if (type == QAccessible::ValueInterface && is_slider())
            return static_cast<QAccessibleValueInterface *>(this);
        if (type == QAccessible::TextInterface && role() == QAccessible::StaticText)
            return static_cast<QAccessibleTextInterface *>(this);
        return nullptr;
    }

    // actions
    QStringList actionNames() const override
    {
        if (!isValid() || !state().focusable)
            return {};
        if (is_slider())
            return {increaseAction(), decreaseAction(), setFocusAction()};
        return {pressAction(), setFocusAction()};
    }
    void doAction(const QString &name) override
    {
        if (!isValid())
            return;
        const SkinObject &o = *m_surface->element(m_index);
        if (name == pressAction())
            m_surface->press(m_index);
        else if (name == setFocusAction())
            m_surface->focus_element(m_index);
        else if (name == increaseAction())
            m_surface->move_slider(m_index, o.GetPosition() + o.line_step());
        else if (name == decreaseAction())
            m_surface->move_slider(m_index, o.GetPosition() - o.line_step());
    }
    QStringList keyBindingsForAction(const QString &name) const override
    {
        if (!isValid() || name != pressAction() ||
            m_surface->element(m_index)->shortcut().isEmpty())
            return {};
        return {m_surface->element(m_index)->shortcut()};
    }

    // value
    QVariant currentValue() const override
    {
        return isValid() ? m_surface->element(m_index)->GetPosition() : 0;
    }
    void setCurrentValue(const QVariant &value) override
    {
        if (isValid())
            m_surface->move_slider(m_index, qRound(value.toDouble()));
    }
    QVariant maximumValue() const override { return 1000; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override
    {
        return isValid() ? m_surface->element(m_index)->line_step() : 1;
    }

    // text, read only
    QString text(int start, int end) const override
    {
        return shown().mid(start, end < 0 ? -1 : end - start);
    }
    int characterCount() const override { return int(shown().size()); }
    void selection(int, int *start, int *end) const override { *start = *end = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int *start, int *end) const override
    {
        *start = *end = offset;
        return {};
    }

private:
    bool is_slider() const
    {
        return m_surface->element(m_index)->definition().kind == QLatin1String("slider");
    }
    QString shown() const { return isValid() ? m_surface->element(m_index)->Text() : QString(); }

    QPointer<SkinSurface> m_surface;
    int m_index;
};

class SkinSurfaceAccessible : public QAccessibleWidget
{
public:
    explicit SkinSurfaceAccessible(SkinSurface *surface)
        : QAccessibleWidget(surface, QAccessible::Client)
    {
    }
    SkinSurface *surface() const { return static_cast<SkinSurface *>(widget()); }

    int childCount() const override { return surface()->element_count(); }
    QAccessibleInterface *child(int index) const override
    {
        if (index < 0 || index >= childCount())
            return nullptr;
        QAccessible::Id &id = surface()->accessible_id(index);
        if (id == 0)
            id = QAccessible::registerAccessibleInterface(
                new SkinElementAccessible(surface(), index));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        for (int i = 0; i < childCount(); ++i)
            if (surface()->accessible_id(i) != 0 &&
                QAccessible::accessibleInterface(surface()->accessible_id(i)) == child)
                return i;
        return -1;
    }
    QAccessibleInterface *childAt(int x, int y) const override
    {
        const int index = surface()->element_at(surface()->mapFromGlobal(QPoint(x, y)));
        return index >= 0 ? child(index) : nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        const int index = surface()->focused_element();
        return index >= 0 ? child(index) : nullptr;
    }
};

QAccessibleInterface *factory(const QString &class_name, QObject *object)
{
    if (class_name == surface_class && object && object->isWidgetType())
        return new SkinSurfaceAccessible(static_cast<SkinSurface *>(object));
    return nullptr;
}

QAccessibleInterface *element_interface(SkinSurface *surface, int index)
{
    if (index < 0 || index >= surface->element_count())
        return nullptr;
    QAccessibleInterface *s = QAccessible::queryAccessibleInterface(surface);
    return s ? s->child(index) : nullptr;
}

} // namespace

void install_skin_accessibility()
{
    static const bool installed = (QAccessible::installFactory(factory), true);
    Q_UNUSED(installed);
}

void forget_skin_element_interfaces(SkinSurface *surface)
{
    for (int i = 0; i < surface->element_count(); ++i)
        if (QAccessible::Id &id = surface->accessible_id(i); id != 0) {
            QAccessible::deleteAccessibleInterface(id);
            id = 0;
        }
}

void notify_skin_element_changed(SkinSurface *surface, int index, bool value)
{
    QAccessibleInterface *iface = element_interface(surface, index);
    if (!iface)
        return;
    const SkinObject &o = *surface->element(index);
    if (value) {
        QAccessibleValueChangeEvent event(iface, o.GetPosition());
        QAccessible::updateAccessibility(&event);
        return;
    }
    if (o.definition().accessible_name.isEmpty()) {
        QAccessibleEvent event(iface, QAccessible::NameChanged);
        QAccessible::updateAccessibility(&event);
    }
    if (iface->textInterface()) {
        QAccessibleTextUpdateEvent event(iface, 0, QString(), o.Text());
        QAccessible::updateAccessibility(&event);
    }
}

void notify_skin_element_enabled(SkinSurface *surface, int index)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *iface = element_interface(surface, index);
    if (!iface)
        return;
    QAccessible::State changed;
    changed.disabled = true;
    QAccessibleStateChangeEvent event(iface, changed);
    QAccessible::updateAccessibility(&event);
}

void notify_skin_element_focus(SkinSurface *surface, int index)
{
    if (!QAccessible::isActive())
        return;
    if (QAccessibleInterface *iface = element_interface(surface, index)) {
        QAccessibleEvent event(iface, QAccessible::Focus);
        QAccessible::updateAccessibility(&event);
    }
}
