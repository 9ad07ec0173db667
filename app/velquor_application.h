#pragma once
// The application object: every exception that no handler caught ends here
// and becomes the main window's restart question.

#include <QApplication>
#include <QPointer>

#include "main.h"

class VelquorApplication : public QApplication
{
    Q_OBJECT
public:
    VelquorApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;
    void set_main_window(Tfm_main *main) { m_main = main; }

private:
    QPointer<Tfm_main> m_main;
};
