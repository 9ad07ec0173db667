#pragma once
// Helpers for the skin tests: skin files written into a temporary folder.

#include "skin/skin.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

namespace skin_test
{

inline QString write_file(const QTemporaryDir &dir, const QString &name, const QByteArray &content)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
}

inline QByteArray png_base64(const QImage &img)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    img.save(&buffer, "PNG");
    return bytes.toBase64();
}

inline QImage solid_image(int w, int h, QColor c)
{
    QImage img(w, h, QImage::Format_ARGB32);
    img.fill(c);
    return img;
}

// A 200 x 100 form "Main" whose looks use plain, distinct colours, so pixel
// checks can tell the states apart.
inline QByteArray test_skin()
{
    return R"({"forms": {
      "Main": {"size": [200, 100], "background": "#000000", "elements": [
        {"name": "Go", "kind": "button", "rect": [10, 10, 60, 30], "tooltip": "Go now",
         "look": {"normal": {"background": "#ff0000", "focus": {"color": "#ff00ff", "offset": 2}},
                  "hover": {"background": "#00ff00"},
                  "pressed": {"background": "#0000ff"}, "disabled": {"background": "#808080"}}},
        {"name": "Label", "kind": "text", "rect": [80, 10, 110, 30], "text": "",
         "look": {"normal": {"color": "#ffffff", "font": {"size": 20, "weight": "bold"}}}},
        {"name": "Bar", "kind": "slider", "rect": [10, 50, 180, 20],
         "look": {"normal": {"track": {"height": 4, "background": "#333333"}, "fill": "#00ffff",
                             "thumb": {"size": 10, "background": "#ffffff"}}}},
        {"name": "Picture", "kind": "image", "rect": [10, 80, 30, 15], "clickable": true,
         "accessible_name": "Snapshot"}
      ]},
      "Other": {"size": [120, 60], "background": "#123456", "elements": [
        {"name": "Go", "kind": "button", "rect": [0, 0, 50, 20]}
      ]}
    }})";
}

// The slider above: thumb centres run from x 15 (0) to x 185 (1000).
inline int bar_x(int position)
{
    return 15 + position * 170 / 1000;
}

inline QImage grab_image(QWidget &w, double dpr = 1.0)
{
    QImage img(w.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::magenta);
    w.render(&img);
    img.setDevicePixelRatio(1);
    return img;
}

} // namespace skin_test
