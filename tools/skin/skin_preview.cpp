// Renders the skin forms to PNG at 1x and 2x, with sample texts, a running
// level display and a list, plus a picture of the hover and pressed looks;
// and draws the application icon's PNGs. A developer's tool for looking at
// a skin while writing it.
//
//   skin_preview OUT_DIR [SKIN_FILE]    forms (built-in skin when no file)
//   skin_preview --icon OUT_DIR         velquor-48/128/256.png

#include "skin/audio_visualization.h"
#include "skin/skin.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QImage>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTreeWidget>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace
{

// A skin under test may lack elements; the preview shows what there is.
void set_text(ISkinForm *form, const QString &name, const QString &text)
{
    if (ISkinObject *o = form->FindObject(name))
        o->SetText(text);
}

class NullObject : public ISkinObject
{
public:
    QString Name() const override { return {}; }
    QString Kind() const override { return {}; }
    void SetText(const QString &) override {}
    QString Text() const override { return {}; }
    void SetPosition(int) override {}
    int GetPosition() const override { return 0; }
    void SetEnabled(bool) override {}
    bool Enabled() const override { return false; }
    void Redraw() override {}
};

QImage render(QWidget &w, double dpr)
{
    QImage img(w.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::transparent);
    w.render(&img);
    return img;
}

bool save(const QImage &img, const QString &path)
{
    if (!img.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

void send_mouse(QWidget *target, QEvent::Type type, QPoint pos, Qt::MouseButton button,
                Qt::MouseButtons buttons)
{
    QWidget *w = target->childAt(pos) ? target->childAt(pos) : target;
    const QPoint local = w->mapFrom(target, pos);
    QMouseEvent ev(type, QPointF(local), QPointF(w->mapToGlobal(local)), button, buttons,
                   Qt::NoModifier);
    QApplication::sendEvent(w, &ev);
}

SampleArray music(int frames)
{
    SampleArray s(size_t(frames) * 2);
    const double freqs[] = {110, 220, 330, 880, 1760, 3520, 7040};
    const double amps[] = {0.30, 0.22, 0.15, 0.08, 0.05, 0.03, 0.015};
    for (int i = 0; i < frames; ++i) {
        double v = 0;
        for (int k = 0; k < 7; ++k)
            v += amps[k] * std::sin(2 * std::numbers::pi * freqs[k] * i / 44100.0);
        s[size_t(i) * 2] = s[size_t(i) * 2 + 1] = static_cast<int16_t>(v * 32767 * 0.9);
    }
    return s;
}

int forms(const QString &out, const QString &skin_file)
{
    TSkin skin;
    if (skin_file.isEmpty())
        skin.LoadBuiltinSkin();
    else
        skin.LoadSkin(skin_file);

    QWidget main_window;
    skin.AttachWindow(&main_window);
    skin.ApplySkinForm(&main_window, QStringLiteral("ZI3Ruzerudi"));
    auto *level = new TAudioVisualizationEx2(&main_window);
    level->move(11, 46);
    level->setChannels(2);
    level->ShowArray(music(1024));
    ISkinForm *form = skin.GetSkinForm(&main_window);
    set_text(form, QStringLiteral("File Name"), QStringLiteral("2026-12-08_21;14;05.mp3"));
    set_text(form, QStringLiteral("Time"), QStringLiteral("00:01:05/00:03:12"));
    set_text(form, QStringLiteral("Format"), QStringLiteral("MP3  44100 Hz  Stereo  128 KBPS"));
    NullObject no_bar;
    ISkinObject *bar = form->FindObject(QStringLiteral("Play Bar"));
    if (!bar)
        bar = &no_bar;
    bar->SetEnabled(true);
    bar->SetPosition(339);
    main_window.show();

    // Idle: what the user sees first, the level display hidden and the bar disabled.
    level->hide();
    const QString idle_texts[][2] = {
        {QStringLiteral("File Name"), QStringLiteral("Ready to record")},
        {QStringLiteral("Time"), QStringLiteral("00:00:00")},
        {QStringLiteral("Format"), QString()}};
    for (const auto &t : idle_texts)
        set_text(form, t[0], t[1]);
    bar->SetEnabled(false);
    bar->SetPosition(0);
    const QImage idle = render(main_window, 2);
    level->show();
    set_text(form, QStringLiteral("File Name"), QStringLiteral("2026-12-08_21;14;05.mp3"));
    set_text(form, QStringLiteral("Time"), QStringLiteral("00:01:05/00:03:12"));
    set_text(form, QStringLiteral("Format"), QStringLiteral("MP3  44100 Hz  Stereo  128 KBPS"));
    bar->SetEnabled(true);
    bar->SetPosition(339);

    QWidget list_window;
    skin.AttachWindow(&list_window);
    skin.ApplySkinForm(&list_window, QStringLiteral("List"));
    auto *lv = new QTreeWidget(&list_window);
    lv->setGeometry(11, 43, 311, 157);
    lv->setHeaderHidden(true);
    lv->setRootIsDecorated(false);
    lv->setFrameShape(QFrame::NoFrame);
    lv->setColumnCount(2);
    QFont list_font(QStringLiteral("DejaVu Sans"));
    list_font.setPixelSize(10);
    lv->setFont(list_font);
    lv->setStyleSheet(
        QStringLiteral("QTreeWidget { background: black; color: rgb(226,229,231); }"));
    lv->header()->setStretchLastSection(false);
    lv->header()->resizeSection(0, 255);
    lv->header()->resizeSection(1, 55);
    lv->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const char *rows[][2] = {{"2026-12-08_21;14;05.mp3", "00:03:12"},
                             {"2026-12-08_20;00;00.ogg", "01:00:00"},
                             {"interview.wav", "00:12:41"},
                             {"2026-12-07_07;30;00.wma", "__:__:__"}};
    for (const auto &r : rows)
        lv->addTopLevelItem(
            new QTreeWidgetItem({QString::fromUtf8(r[0]), QString::fromUtf8(r[1])}));
    lv->setCurrentItem(lv->topLevelItem(1));
    list_window.show();
    QApplication::processEvents();

    bool ok = save(idle, out + QStringLiteral("/skin-idle@2x.png")) &&
              save(render(main_window, 1), out + QStringLiteral("/skin-main.png")) &&
              save(render(main_window, 2), out + QStringLiteral("/skin-main@2x.png")) &&
              save(render(list_window, 1), out + QStringLiteral("/skin-list.png")) &&
              save(render(list_window, 2), out + QStringLiteral("/skin-list@2x.png"));

    // Hover on Pause, Stop held down, thumb hovered: the interactive looks.
    send_mouse(&main_window, QEvent::MouseMove, QPoint(120, 149), Qt::NoButton, Qt::NoButton);
    QImage hover = render(main_window, 2);
    send_mouse(&main_window, QEvent::MouseMove, QPoint(210, 149), Qt::NoButton, Qt::NoButton);
    send_mouse(&main_window, QEvent::MouseButtonPress, QPoint(210, 149), Qt::LeftButton,
               Qt::LeftButton);
    QImage pressed = render(main_window, 2);
    send_mouse(&main_window, QEvent::MouseButtonRelease, QPoint(210, 149), Qt::LeftButton,
               Qt::NoButton);
    send_mouse(&main_window, QEvent::MouseMove, QPoint(45, 149), Qt::NoButton, Qt::NoButton);
    QImage rec_hover = render(main_window, 2);
    send_mouse(&main_window, QEvent::MouseMove, QPoint(252, 20), Qt::NoButton, Qt::NoButton);
    QImage tool_hover = render(main_window, 2);
    bar->SetEnabled(false);
    bar->SetPosition(0);
    if (ISkinObject *pause = form->FindObject(QStringLiteral("Pause")))
        pause->SetEnabled(false);
    QImage disabled = render(main_window, 2);
    QImage states(hover.width(), hover.height() * 5, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&states);
        const QImage parts[] = {hover, pressed, rec_hover, tool_hover, disabled};
        for (int i = 0; i < 5; ++i) {
            QImage part = parts[i];
            part.setDevicePixelRatio(1);
            p.drawImage(QPoint(0, i * hover.height()), part);
        }
    }
    ok = ok && save(states, out + QStringLiteral("/skin-states@2x.png"));
    return ok ? 0 : 1;
}

// The icon, drawn from the same geometry as data/icons/velquor.svg (256 x 256).
QImage icon(int size)
{
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 256.0, size / 256.0);

    QLinearGradient bg(0, 16, 0, 240);
    bg.setColorAt(0, QColor(0x2d, 0x35, 0x42));
    bg.setColorAt(1, QColor(0x10, 0x13, 0x18));
    p.setPen(QPen(QColor(0x44, 0x4d, 0x5b), 3));
    p.setBrush(bg);
    p.drawRoundedRect(QRectF(17.5, 17.5, 221, 221), 52, 52);

    QLinearGradient wave(0, 48, 0, 176);
    wave.setColorAt(0, QColor(0x7f, 0xd8, 0xff));
    wave.setColorAt(1, QColor(0x2f, 0x8f, 0xe8));
    p.setPen(Qt::NoPen);
    p.setBrush(wave);
    const double xs[] = {52, 80, 108, 136, 164};
    const double hs[] = {44, 96, 136, 88, 52};
    for (int i = 0; i < 5; ++i)
        p.drawRoundedRect(QRectF(xs[i], 112 - hs[i] / 2, 16, hs[i]), 8, 8);

    p.setBrush(QColor(0x10, 0x13, 0x18));
    p.drawEllipse(QPointF(180, 180), 46, 46);
    QLinearGradient dot(0, 142, 0, 218);
    dot.setColorAt(0, QColor(0xff, 0x6a, 0x60));
    dot.setColorAt(1, QColor(0xe0, 0x30, 0x26));
    p.setBrush(dot);
    p.drawEllipse(QPointF(180, 180), 36, 36);
    return img;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    try {
        if (args.size() == 3 && args[1] == QLatin1String("--icon")) {
            QDir().mkpath(args[2]);
            for (int size : {48, 128, 256})
                if (!save(icon(size), args[2] + QStringLiteral("/velquor-%1.png").arg(size)))
                    return 1;
            return 0;
        }
        if (args.size() == 2 || args.size() == 3) {
            QDir().mkpath(args[1]);
            return forms(args[1], args.size() == 3 ? args[2] : QString());
        }
    } catch (const EngineError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "usage: skin_preview OUT_DIR [SKIN_FILE] | skin_preview --icon OUT_DIR\n");
    return 2;
}
