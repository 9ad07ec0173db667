#pragma once
// The freedesktop login manager's "sleep" inhibitor over D-Bus, held as a
// file descriptor from acquire() to release(). Where no system bus or login
// manager is reachable, acquire() answers false and nothing else happens.

#include "services.h"

#include <QDBusUnixFileDescriptor>

class LoginManagerInhibitor : public SleepInhibitor
{
public:
    bool acquire(const QString &why) override;
    void release() override;
    bool held() const override { return m_fd.isValid(); }

private:
    QDBusUnixFileDescriptor m_fd;
};
