#pragma once
// TSkin: the skinned-window layer. It loads a skin file (JSON, see
// docs/skin-format.md), draws the whole client area of the windows it is
// applied to, and reports what the user does with the named elements.
// Child widgets placed on a skinned window stay visible above the skin.
// Coordinates are logical pixels of the client area; slider positions run
// 0..1000. User-interface thread only; nothing blocks but LoadSkin reading
// its file. Events are emitted straight from mouse input, and their handlers
// may call anything here, ApplySkinForm on the same window included. The
// keyboard reaches the same events: Space or Enter on a focused element is a
// click, a key on a focused slider is a press, track and release at the new
// position. Every element is also told to screen readers. LoadSkin
// throws EngineError with a message naming the file and the problem (the skin
// loaded before stays); element pointers live as long as their window's form.

#include "audio_types.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

class ISkinObject
{
public:
    virtual ~ISkinObject() = default;
    virtual QString Name() const = 0;
    virtual QString Kind() const = 0; // "button", "text", "slider", "image"
    virtual void SetText(const QString &text) = 0;
    virtual QString Text() const = 0;
    virtual void SetPosition(int position) = 0; // sliders: 0..1000
    virtual int GetPosition() const = 0;
    virtual void SetEnabled(bool enabled) = 0; // disabled: no mouse, no keys, no events
    virtual bool Enabled() const = 0;
    virtual void Redraw() = 0;
    // Sliders: how far one arrow key and one page key move, in positions
    // (at least 1); 10 and 100 until set.
    virtual void SetSteps(int line_step, int page_step) = 0;
    // The keys of the element's command in their shown form ("Ctrl+R"):
    // added to its tooltip and told to screen readers.
    virtual void SetShortcut(const QString &keys) = 0;
};

class ISkinForm
{
public:
    virtual ~ISkinForm() = default;
    virtual QString Name() const = 0;
    // Exact, case-sensitive name match; nullptr when there is none.
    virtual ISkinObject *FindObject(const QString &name) const = 0;
};

class TSkin : public QObject
{
    Q_OBJECT
public:
    explicit TSkin(QObject *parent = nullptr);
    ~TSkin() override;

    void LoadSkin(const QString &path);
    // The default skin compiled into the program: the fallback when the skin
    // file cannot be used, so the program always opens a usable window.
    void LoadBuiltinSkin();
    bool Loaded() const;
    // Names of the forms of the loaded skin (empty when none is loaded), so a
    // caller can check a skin file before relying on it.
    QStringList FormNames() const;
    void AttachWindow(QWidget *window);
    // Gives the window the named form's look, client size and elements; applying
    // the form a window already has is accepted. Throws EngineError for an
    // unknown form or a window not attached.
    void ApplySkinForm(QWidget *window, const QString &form_name);
    ISkinForm *GetSkinForm(QWidget *window) const;

signals:
    void OnClick(TSkin *Sender, ISkinObject *Source);
    void OnMouseDown(TSkin *Sender, ISkinObject *Source, int Button, int x, int y);
    void OnMouseUp(TSkin *Sender, ISkinObject *Source, int Button, int x, int y);
    void OnScrollTrack(TSkin *Sender, ISkinObject *Source, int NewPos);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
