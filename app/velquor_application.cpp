#include "velquor_application.h"

#include "main.h"

#include <cstdio>
#include <exception>

VelquorApplication::VelquorApplication(int &argc, char **argv) : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Velquor"));
    setDesktopFileName(QStringLiteral("velquor"));
}

bool VelquorApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "velquor: %s\n", e.what());
        if (m_main)
            m_main->ApplicationEventsException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        if (m_main)
            m_main->ApplicationEventsException(QStringLiteral("unknown error"));
    }
    return false;
}
