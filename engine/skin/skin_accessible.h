#pragma once
// What screen readers see of a skinned window: the surface as a plain client
// area whose children are its elements, each with the role of its kind
// (button, slider with its value, static text, graphic), its name, its
// state and its actions, so a reader can press, move and read them. The
// surface keeps the ids of the element interfaces it handed out and has
// them deleted with it. UI thread only.

#include <QAccessible>

class SkinSurface;

// Makes skin surfaces ask this file for their interfaces; once is enough.
void install_skin_accessibility();
void forget_skin_element_interfaces(SkinSurface *surface);

// Events for readers that listen (nothing happens when none does).
void notify_skin_element_changed(SkinSurface *surface, int index, bool value);
void notify_skin_element_enabled(SkinSurface *surface, int index);
void notify_skin_element_focus(SkinSurface *surface, int index);
