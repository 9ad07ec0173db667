#pragma once
// SkinSurface: the widget that draws one skin form over a window's whole
// client area, below every other child of the window, and turns mouse input
// on its elements into element events. Also the ISkinForm of that window and
// the owner of its ISkinObjects. UI thread only.

#include "skin/skin.h"
#include "skin/skin_model.h"

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

    const SkinElementDef &definition() const { return m_def; }
    void set_position_from_user(int position) { m_position = position; }

private:
    const SkinElementDef &m_def;
    SkinSurface *m_surface;
    QString m_text;
    int m_position;
    bool m_enabled;
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
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int element_at(const QPoint &pos) const;
    SkinState state_of(int index) const;
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
};
