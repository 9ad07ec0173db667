#pragma once
// The outer size of a window, frame included, also before its first showing:
// until then the window system has not told Qt its frame, so the frame of an
// already shown window of the program stands in for it.

#include <QWidget>
#include <QWindow>

inline QSize frame_size(const QWidget *window, const QWidget *shown_window)
{
    if (window->windowHandle() || !shown_window)
        return window->frameGeometry().size();
    return window->size() + (shown_window->frameGeometry().size() - shown_window->size());
}
