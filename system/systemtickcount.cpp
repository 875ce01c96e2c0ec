// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/systemtickcount.h"

#include <QDeadlineTimer>

#if defined(Q_OS_LINUX)
#include <ctime>
#elif defined(Q_OS_WIN)
#include <windows.h>
#else
#include <QElapsedTimer>
#endif

#include <cstdint>

Long SystemTickCount::GetTickCount()
{
    std::uint64_t ms = 0;
#if defined(Q_OS_LINUX)
    // The monotonic clock stops while suspended; the boot-time clock does not.
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    ms = std::uint64_t(now.tv_sec) * 1000u + std::uint64_t(now.tv_nsec) / 1000000u;
#elif defined(Q_OS_WIN)
    ms = ::GetTickCount64();
#else
    ms = std::uint64_t(QElapsedTimer::msecsSinceReference());
#endif
    // Keep the low 32 bits: the count passes 2147483647 to -2147483648 and -1 to 0.
    return static_cast<Long>(static_cast<std::uint32_t>(ms));
}

qint64 SystemTickCount::timersClockMs()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadline();
}
