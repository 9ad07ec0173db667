#include "tray.h"

#include "main.h"
#include "settings_file.h"

#include <QAction>
#include <QPainter>
#include <QPainterPath>

namespace
{

using Activity = DesktopState::Activity;

Tray::Look look_of(Activity activity)
{
    switch (activity) {
    case Activity::waiting:
    case Activity::recording:
        return Tray::Look::recording;
    case Activity::record_paused:
        return Tray::Look::paused;
    default:
        return Tray::Look::idle;
    }
}

// The badge covers the icon's own red dot and reaches beyond it, with a
// light ring, so that the state reads at 16 pixels against any panel.
QPixmap badged(const QImage &base, int size, Tray::Look look)
{
    QPixmap pixmap =
        QPixmap::fromImage(base.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    if (look == Tray::Look::idle)
        return pixmap;
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal d = size * 0.62;
    const QRectF badge(size - d, size - d, d, d);
    const qreal ring = std::max(1.0, size / 16.0);
    p.setPen(QPen(QColor(0xff, 0xff, 0xff), ring));
    p.setBrush(look == Tray::Look::recording ? QColor(0xe5, 0x1c, 0x23) : QColor(0xf0, 0xa0, 0x10));
    p.drawEllipse(badge.adjusted(ring / 2, ring / 2, -ring / 2, -ring / 2));
    if (look == Tray::Look::paused) {
        const qreal bar_w = d * 0.16, bar_h = d * 0.46;
        const QPointF c = badge.center();
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xff, 0xff, 0xff));
        p.drawRect(QRectF(c.x() - bar_w * 1.5, c.y() - bar_h / 2, bar_w, bar_h));
        p.drawRect(QRectF(c.x() + bar_w * 0.5, c.y() - bar_h / 2, bar_w, bar_h));
    }
    return pixmap;
}

} // namespace

QIcon Tray::icon(Look look)
{
    const QImage base(QStringLiteral(":/icons/velquor-256.png"));
    QIcon icon;
    for (int size : {16, 22, 24, 32, 44, 48, 64, 128})
        icon.addPixmap(badged(base, size, look));
    return icon;
}

Tray::Tray(Tfm_main &main, QObject *parent) : QObject(parent), m_main(main)
{
    const auto command = [this](const char *name) {
        QAction *action = m_menu.addAction(QString::fromLatin1(name));
        const QString element = QString::fromLatin1(name);
        connect(action, &QAction::triggered, this,
                [this, element] { m_main.run_command(element); });
        return action;
    };
    m_record = command("Record");
    m_pause = command("Pause");
    m_stop = command("Stop");
    m_menu.addSeparator();
    connect(m_menu.addAction(QStringLiteral("Show Velquor")), &QAction::triggered, this,
            [this] { m_main.bring_to_front(); });
    connect(m_menu.addAction(QStringLiteral("Quit")), &QAction::triggered, this,
            [this] { m_main.close(); });
    update(m_main.desktop_state());
}

Tray::~Tray() = default;

void Tray::apply_setting()
{
    const bool wanted = m_main.settings_file && m_main.settings_file->boolean(keys::basic::tray);
    if (wanted == shown())
        return;
    if (!wanted) {
        m_icon.reset();
        return;
    }
    m_icon = std::make_unique<QSystemTrayIcon>(icon(m_look));
    m_icon->setContextMenu(&m_menu);
    m_icon->setToolTip(tray_tooltip(m_state));
    connect(m_icon.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
                    m_main.bring_to_front();
            });
    m_icon->show();
}

void Tray::update(const DesktopState &state)
{
    const bool recording =
        state.activity == Activity::recording || state.activity == Activity::waiting;
    m_record->setEnabled(!recording && state.activity != Activity::playing &&
                         state.activity != Activity::play_paused);
    m_pause->setEnabled(state.activity == Activity::recording ||
                        state.activity == Activity::playing);
    m_stop->setEnabled(state.activity != Activity::idle);
    const Look look = look_of(state.activity);
    const bool new_look = look != m_look;
    const bool new_tip = tray_tooltip(state) != tray_tooltip(m_state);
    m_look = look;
    m_state = state;
    if (!m_icon)
        return;
    if (new_look)
        m_icon->setIcon(icon(look));
    if (new_tip)
        m_icon->setToolTip(tray_tooltip(state));
}
