// A skin file as anyone may hand it over: parsed with its images and glyphs,
// then every form drawn into a picture the way the window paints it, each
// element in each of its states, at the normal and the doubled pixel density.

#include "audio_types.h"
#include "fuzz_support.h"
#include "skin/skin_painter.h"
#include "skin/skin_parser.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>

namespace
{

void draw(const SkinFormDef &form, double dpr)
{
    QImage picture(form.size * dpr, QImage::Format_ARGB32_Premultiplied);
    if (picture.isNull())
        abort(); // the parser lets no form through that cannot be drawn
    picture.setDevicePixelRatio(dpr);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    paint_form_background(painter, form, dpr);
    for (const SkinElementDef &element : form.elements)
        for (int state = 0; state < skin_state_count; ++state) {
            painter.save();
            paint_element(painter, element, static_cast<SkinState>(state), element.text,
                          element.position, dpr);
            painter.restore();
        }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    fuzz::start_application<QGuiApplication>("fuzz_skin");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::shared_ptr<const SkinDocument> skin;
    try {
        skin = parse_skin(
            QByteArray(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)),
            QStringLiteral("fuzz.json"));
    } catch (const EngineError &e) {
        if (e.message().isEmpty())
            abort();
        return 0;
    }
    for (const auto &[name, form] : skin->forms) {
        draw(form, 1.0);
        // Twice the pixels of a large form cost more than the fuzzer gains from them.
        if (form.size.width() * form.size.height() <= 512 * 512)
            draw(form, 2.0);
    }
    return 0;
}
