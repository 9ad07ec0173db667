#pragma once
// A duration in whole seconds as "hh:mm:ss" (hours may grow past 99).

#include <QString>
#include <cstdint>

inline QString clock_text(int64_t seconds)
{
    if (seconds < 0)
        seconds = 0;
    const int64_t hours = seconds / 3600;
    const int64_t minutes = (seconds - hours * 3600) / 60;
    return QStringLiteral("%1:%2:%3")
        .arg(hours, 2, 10, QLatin1Char('0'))
        .arg(minutes, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
