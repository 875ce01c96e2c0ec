// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/systemwaketimer.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>

#if defined(Q_OS_LINUX)
#include <sys/timerfd.h>
#include <unistd.h>

#include <cstdint>

class BootTimeWakeTimer : public WakeTimer
{
public:
    BootTimeWakeTimer()
        : m_fd(::timerfd_create(CLOCK_BOOTTIME, TFD_NONBLOCK | TFD_CLOEXEC)),
          m_notifier(m_fd, QSocketNotifier::Read)
    {
        QObject::connect(&m_notifier, &QSocketNotifier::activated, &m_notifier, [this] {
            std::uint64_t expirations = 0;
            // Read, or the descriptor stays readable and the loop spins.
            if (::read(m_fd, &expirations, sizeof expirations) != sizeof expirations)
                return;
            m_active = false;
            if (m_handler)
                m_handler();
        });
    }
    ~BootTimeWakeTimer() override
    {
        m_notifier.setEnabled(false);
        ::close(m_fd);
    }
    BootTimeWakeTimer(const BootTimeWakeTimer &) = delete;
    BootTimeWakeTimer &operator=(const BootTimeWakeTimer &) = delete;

    void start(qint64 milliseconds) override
    {
        // A zero time would disarm the timer; the shortest wait is a nanosecond.
        const qint64 nanoseconds = std::max<qint64>(1, milliseconds * 1000000);
        itimerspec once{};
        once.it_value.tv_sec = time_t(nanoseconds / 1000000000);
        once.it_value.tv_nsec = long(nanoseconds % 1000000000);
        m_active = ::timerfd_settime(m_fd, 0, &once, nullptr) == 0;
    }
    void stop() override
    {
        const itimerspec disarmed{};
        ::timerfd_settime(m_fd, 0, &disarmed, nullptr);
        m_active = false;
    }
    bool isActive() const override { return m_active; }
    void setHandler(Handler handler) override { m_handler = std::move(handler); }

private:
    int m_fd;
    QSocketNotifier m_notifier;
    bool m_active = false;
    Handler m_handler;
};

std::unique_ptr<WakeTimer> makeSystemWakeTimer()
{
    return std::make_unique<BootTimeWakeTimer>();
}

#else

class GuardedWakeTimer : public WakeTimer
{
public:
    // Qt's timers stand still in a suspend: a wake two seconds on at the
    // latest sees the tick count jump soon after a resume.
    static constexpr qint64 LongestSleepMs = 2000;

    GuardedWakeTimer()
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] {
            if (m_handler)
                m_handler();
        });
    }
    void start(qint64 milliseconds) override
    {
        m_timer.start(int(std::clamp<qint64>(milliseconds, 0, LongestSleepMs)));
    }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }
    void setHandler(Handler handler) override { m_handler = std::move(handler); }

private:
    QTimer m_timer;
    Handler m_handler;
};

std::unique_ptr<WakeTimer> makeSystemWakeTimer()
{
    return std::make_unique<GuardedWakeTimer>();
}

#endif
