#include "skin/skin.h"

#include "skin/skin_parser.h"
#include "skin/skin_surface.h"

#include <QPointer>
#include <QWidget>
#include <vector>

namespace
{

const QString builtin_skin_path = QStringLiteral(":/velquor/default_skin.json");

} // namespace

struct TSkin::Impl {
    struct Attached {
        QPointer<QWidget> window;
        QPointer<SkinSurface> surface;
    };

    std::shared_ptr<const SkinDocument> m_document;
    std::vector<Attached> m_windows;

    Attached *find(const QWidget *window)
    {
        // Windows that have been destroyed drop out here.
        std::erase_if(m_windows, [](const Attached &a) { return a.window.isNull(); });
        for (Attached &a : m_windows)
            if (a.window == window)
                return &a;
        return nullptr;
    }
};

TSkin::TSkin(QObject *parent) : QObject(parent), m_impl(std::make_unique<Impl>()) {}

// Surfaces belong to their windows and keep their document alive, so the
// windows stay drawn (and element pointers valid) even after the skin is gone.
TSkin::~TSkin() = default;

void TSkin::LoadSkin(const QString &path)
{
    m_impl->m_document = load_skin_file(path);
}

void TSkin::LoadBuiltinSkin()
{
    m_impl->m_document = load_skin_file(builtin_skin_path);
}

bool TSkin::Loaded() const
{
    return m_impl->m_document != nullptr;
}

QStringList TSkin::FormNames() const
{
    QStringList names;
    if (m_impl->m_document)
        for (const auto &[name, form] : m_impl->m_document->forms)
            names << name;
    return names;
}

void TSkin::AttachWindow(QWidget *window)
{
    if (!window)
        throw EngineError(
            QStringLiteral("The skin cannot be attached to a window that does not exist."));
    if (!m_impl->find(window))
        m_impl->m_windows.push_back({window, nullptr});
}

void TSkin::ApplySkinForm(QWidget *window, const QString &form_name)
{
    if (!m_impl->m_document)
        throw EngineError(QStringLiteral("No skin is loaded, so the form \"%1\" cannot be applied.")
                              .arg(form_name));
    Impl::Attached *attached = window ? m_impl->find(window) : nullptr;
    if (!attached)
        throw EngineError(QStringLiteral("The skin form \"%1\" cannot be applied to a window that "
                                         "is not attached to the skin.")
                              .arg(form_name));
    const auto it = m_impl->m_document->forms.find(form_name);
    if (it == m_impl->m_document->forms.end())
        throw EngineError(QStringLiteral("The skin file %1 has no form named \"%2\".")
                              .arg(m_impl->m_document->source, form_name));
    const SkinFormDef &form = it->second;

    SkinSurface *surface = attached->surface;
    if (surface && surface->document() == m_impl->m_document.get() &&
        surface->Name() == form_name) {
        window->setFixedSize(form.size);
        surface->keep_lowest();
        return;
    }
    if (surface) {
        // Later, not now: we may be inside one of the old surface's own events.
        surface->disconnect(this); // the old form reports nothing more
        surface->hide();
        surface->setParent(nullptr);
        surface->deleteLater();
    }
    surface = new SkinSurface(m_impl->m_document, form, window);
    connect(surface, &SkinSurface::element_click, this,
            [this](ISkinObject *source) { emit OnClick(this, source); });
    connect(surface, &SkinSurface::element_mouse_down, this,
            [this](ISkinObject *source, int button, int x, int y) {
                emit OnMouseDown(this, source, button, x, y);
            });
    connect(surface, &SkinSurface::element_mouse_up, this,
            [this](ISkinObject *source, int button, int x, int y) {
                emit OnMouseUp(this, source, button, x, y);
            });
    connect(
        surface, &SkinSurface::element_scroll_track, this,
        [this](ISkinObject *source, int position) { emit OnScrollTrack(this, source, position); });
    attached->surface = surface;
    window->setFixedSize(form.size);
    surface->show();
    surface->keep_lowest();
}

ISkinForm *TSkin::GetSkinForm(QWidget *window) const
{
    Impl::Attached *attached = window ? m_impl->find(window) : nullptr;
    return attached ? attached->surface.data() : nullptr;
}
