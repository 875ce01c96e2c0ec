#include "pacer.h"

#include "windowstate.h"

#include <algorithm>
#include <cstdint>

static qint64 floorDiv(qint64 value, qint64 step)
{
    return value >= 0 ? value / step : -((-value + step - 1) / step);
}

// How late a timer's tick may read the clock after its place on the grid.
static constexpr qint64 TimerLatenessMs = 5;

// Every 500 ms a countdown tick and a chaser tick fall together.
static constexpr qint64 GridsMeetMs = 500;

// The first grid point strictly after the position.
static qint64 gridAfter(qint64 position, qint64 step)
{
    return (floorDiv(position, step) + 1) * step;
}

// The first grid point at or after the position.
static qint64 gridAtOrAfter(qint64 position, qint64 step)
{
    return floorDiv(position + step - 1, step) * step;
}

Pacer::Pacer(QTimer *countdown, QTimer *chaser, const WindowState &state, Handlers handlers)
    : m_countdown(countdown), m_chaser(chaser), m_state(state), m_handlers(std::move(handlers))
{
    for (QTimer *timer : { &m_wake, &m_countdownAlign, &m_chaserAlign }) {
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
    }
    QObject::connect(&m_wake, &QTimer::timeout, &m_wake, [this] { wake(); });
    QObject::connect(&m_countdownAlign, &QTimer::timeout, &m_countdownAlign,
                     [this] { countdownDue(); });
    QObject::connect(&m_chaserAlign, &QTimer::timeout, &m_chaserAlign, [this] { chaserDue(); });
}

void Pacer::start()
{
    m_running = true;
    m_originKnown = false;
    m_lastCountdown = 0;
    m_chaserTicks = 0;
    m_chaserTicksAtOrigin = 0;
    if (m_onScreen) {
        m_countdown->start();
        m_chaser->start();
    } else {
        m_plannedWake = CountdownMs;
        m_wake.start(int(CountdownMs));
    }
}

void Pacer::stop()
{
    m_running = false;
    m_countdown->stop();
    m_chaser->stop();
    m_wake.stop();
    m_countdownAlign.stop();
    m_chaserAlign.stop();
}

void Pacer::setOnScreen(bool onScreen)
{
    if (onScreen == m_onScreen)
        return;
    m_onScreen = onScreen;
    if (!m_running)
        return;
    if (onScreen) {
        comeOnScreen();
        return;
    }
    // The first wake is the countdown tick that was due next anyway; the
    // running timer knows how far off that is.
    takeOrigin();
    const QTimer *next = m_countdown->isActive() ? m_countdown : &m_countdownAlign;
    const int untilNext = std::max(0, next->remainingTime());
    m_countdown->stop();
    m_chaser->stop();
    m_countdownAlign.stop();
    m_chaserAlign.stop();
    m_plannedWake = m_lastCountdown + CountdownMs;
    m_wake.start(untilNext);
}

void Pacer::countdownDue()
{
    if (!m_running || !m_onScreen)
        return;
    takeOrigin();
    if (!m_countdown->isActive())
        m_countdown->start(); // from the grid point at which the aligning shot fired
    const qint64 planned = m_lastCountdown + CountdownMs;
    m_handlers.countdownTick();
    if (m_running)
        observeCountdown(planned);
}

void Pacer::chaserDue()
{
    if (!m_running || !m_onScreen)
        return;
    if (!m_chaser->isActive())
        m_chaser->start();
    ++m_chaserTicks;
    m_handlers.chaserTick();
}

void Pacer::wake()
{
    if (!m_running || m_onScreen)
        return;
    takeOrigin();
    const qint64 planned = m_plannedWake;
    m_handlers.countdownTick();
    if (!m_running || m_onScreen) // the tick lost the device, or ended the program
        return;
    observeCountdown(planned);
    planWake();
}

std::optional<Long> Pacer::wakeAt() const
{
    if (!m_running || m_onScreen || !m_wake.isActive())
        return std::nullopt;
    // Before the first wake the origin is the tick count Start took.
    const Long origin = m_originKnown ? m_origin : m_state.LastPingTick;
    return Long(std::uint32_t(origin) + std::uint32_t(m_plannedWake));
}

// Milliseconds after the origin, across the tick count's sign change and wrap.
qint64 Pacer::position(Long tick) const
{
    return std::int32_t(std::uint32_t(tick) - std::uint32_t(m_origin));
}

// Start takes the tick count right after it has enabled the timers.
void Pacer::takeOrigin()
{
    if (m_originKnown)
        return;
    m_origin = m_state.LastPingTick;
    m_originKnown = true;
}

// A countdown tick read the clock (NowTick). One that came a whole interval or
// more after its place on the grid slept through a suspend, in which Qt's timers
// stand still while the tick count runs on: the grid moves by that much, as the
// timers' own did. A tick never comes early, so one that seems to come well
// before its place slept longer than the tick count's sign change (24.86 days)
// and its lateness wrapped round: that too is a suspend.
void Pacer::observeCountdown(qint64 planned)
{
    const qint64 late = position(m_state.NowTick) - planned;
    if (late >= CountdownMs || late <= -CountdownMs)
        m_origin = Long(std::uint32_t(m_state.NowTick) - std::uint32_t(planned));
    m_lastCountdown = planned;

    const qint64 shift = floorDiv(m_lastCountdown, GridsMeetMs) * GridsMeetMs;
    if (shift <= 0)
        return;
    m_origin = Long(std::uint32_t(m_origin) + std::uint32_t(shift));
    m_lastCountdown -= shift;
    m_plannedWake -= shift;
    m_chaserTicksAtOrigin += shift / ChaserMs;
}

// The first countdown tick at which the interval will have run out, or the
// one two seconds on, whichever comes first. A running timer's tick fires a
// little after its place on the grid and reads the clock then; a ping due
// within those few milliseconds is woken for at that tick, that much late.
void Pacer::planWake()
{
    const qint64 due = position(m_state.LastPingTick) + m_state.PingIntervalMs;
    const qint64 firstDue = std::max(gridAtOrAfter(due - TimerLatenessMs, CountdownMs),
                                     m_lastCountdown + CountdownMs);
    m_plannedWake = std::min(firstDue, m_lastCountdown + LongestSleepMs);
    const qint64 wakeTime = m_plannedWake == firstDue ? std::max(firstDue, due) : m_plannedWake;
    const qint64 now = position(m_state.NowTick);
    m_wake.start(int(std::max<qint64>(0, wakeTime - now)));
}

void Pacer::comeOnScreen()
{
    m_wake.stop();
    takeOrigin();
    m_handlers.countdownDisplay();
    if (position(m_state.NowTick) >= m_plannedWake) {
        // The wake is overdue (the machine slept, or was busy): that tick first.
        const qint64 planned = m_plannedWake;
        m_handlers.countdownTick();
        if (!m_running)
            return;
        observeCountdown(planned);
    }
    const qint64 now = position(m_state.NowTick);
    catchUpChaser(now);
    m_lastCountdown = gridAfter(now, CountdownMs) - CountdownMs;
    m_countdownAlign.start(int(gridAfter(now, CountdownMs) - now));
    m_chaserAlign.start(int(gridAfter(now, ChaserMs) - now));
}

// The chaser goes round in twelve ticks and only the first tick of a run is
// different (it starts with every lamp dark), so at most twelve are replayed.
void Pacer::catchUpChaser(qint64 now)
{
    const qint64 target = m_chaserTicksAtOrigin + floorDiv(now, ChaserMs);
    const qint64 missed = target - m_chaserTicks;
    if (missed <= 0)
        return;
    const qint64 replay = m_chaserTicks == 0 ? 1 + (missed - 1) % 12 : missed % 12;
    for (qint64 i = 0; i < replay; ++i)
        m_handlers.chaserTick();
    m_chaserTicks = target;
}
