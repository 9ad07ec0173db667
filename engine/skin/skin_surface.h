#pragma once
// SkinSurface: the widget that draws one skin form over a window's whole
// client area, below every other child of the window, and turns mouse and
// keyboard input on its elements into element events. Also the ISkinForm of
// that window and the owner of its ISkinObjects. Keyboard focus moves between
// its focusable elements in the form's order before it leaves the widget; the
// ring shows only once a key was used, as with Qt's own widgets. UI thread only.

#include "skin/skin.h"
#include "skin/skin_model.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QWidget>
#include <memory>
#include <vector>

class SkinSurface;

class SkinObject : public ISkinObject
{
public:
    SkinObject(const SkinElementDef &def, SkinSurface *surface);

    QString Name() const override;
    QString Kind() const override;
    void SetText(const QString &text) override;
    QString Text() const override;
    void SetPosition(int position) override;
    int GetPosition() const override;
    void SetEnabled(bool enabled) override;
    bool Enabled() const override;
    void Redraw() override;
    void SetSteps(int line_step, int page_step) override;
    void SetShortcut(const QString &keys) override;

    const SkinElementDef &definition() const { return m_def; }
    void set_position_from_user(int position) { m_position = position; }
    int line_step() const { return m_line_step; }
    int page_step() const { return m_page_step; }
    QString shortcut() const { return m_shortcut; }
    // What a screen reader calls it: the skin's accessible name, else its text, else its name.
    QString accessible_name() const;

private:
    const SkinElementDef &m_def;
    SkinSurface *m_surface;
    QString m_text;
    int m_position;
    bool m_enabled;
    int m_line_step = 10;
    int m_page_step = 100;
    QString m_shortcut;
};

class SkinSurface : public QWidget, public ISkinForm
{
    Q_OBJECT
public:
    SkinSurface(std::shared_ptr<const SkinDocument> document, const SkinFormDef &form,
                QWidget *window);
    ~SkinSurface() override;

    QString Name() const override;
    ISkinObject *FindObject(const QString &name) const override;

    const SkinDocument *document() const { return m_document.get(); }
    void keep_lowest();
    void element_changed(SkinObject *object);
    void element_disabled(SkinObject *object);
    void element_enabled(SkinObject *object);
    void text_changed(SkinObject *object);
    void position_changed(SkinObject *object);

    // For keys and screen readers: elements by their index in the form.
    int element_count() const { return static_cast<int>(m_objects.size()); }
    SkinObject *element(int index) const { return m_objects[size_t(index)].get(); }
    int element_at(const QPoint &pos) const;
    int focused_element() const { return hasFocus() ? m_focus : -1; }
    bool element_pressed(int index) const { return state_of(index) == SkinState::Pressed; }
    bool focus_element(int index);
    // A click as a key makes it; false when the element takes none.
    bool press(int index);
    // A slider moved as a drag to `position` and a release there would move it.
    bool move_slider(int index, int position);
    // The screen readers' id of an element's interface, 0 until one is made.
    QAccessible::Id &accessible_id(int index) const { return m_accessible_ids[size_t(index)]; }

signals:
    // Button: 1 left, 2 right, 3 middle; x, y in client coordinates.
    void element_mouse_down(ISkinObject *source, int button, int x, int y);
    void element_mouse_up(ISkinObject *source, int button, int x, int y);
    void element_click(ISkinObject *source);
    void element_scroll_track(ISkinObject *source, int position);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    SkinState state_of(int index) const;
    bool takes_focus(int index) const;
    // The next element that takes the focus after `from` (-1: from the start), or -1.
    int next_focusable(int from, bool forward) const;
    void set_focus_index(int index);
    void show_ring(bool shown);
    // Tells screen readers, at most once a second per element: the time
    // label changes every second and more often while the bar is dragged.
    void announce(int index, bool value);
    void set_hover(int index);
    void update_element(int index);
    int index_of(const SkinObject *object) const;

    std::shared_ptr<const SkinDocument> m_document;
    const SkinFormDef &m_form;
    std::vector<std::unique_ptr<SkinObject>> m_objects;
    int m_hover = -1;
    int m_pressed = -1;
    Qt::MouseButton m_pressed_button = Qt::NoButton;
    bool m_pressed_inside = false;
    bool m_dragging = false;
    int m_drag_position = 0;
    double m_grab_offset = 0.0;
    int m_focus = -1;
    bool m_ring = false;
    int m_key_pressed = -1; // the pressed look of a click made with a key
    QElapsedTimer m_clock;
    struct Announced {
        qint64 at = -1000;
        bool pending = false;
    };
    std::vector<Announced> m_announced;
    mutable std::vector<QAccessible::Id> m_accessible_ids;
};
