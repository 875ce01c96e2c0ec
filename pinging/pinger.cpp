// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "pinger.h"

#include "platform/logging.h"
#include "platform/serialcomm.h"
#include "platform/serialmessages.h"
#include "platform/tickcount.h"
#include "platform/waketimer.h"

#include <algorithm>
#include <utility>

static const QByteArray CarriageReturn(1, '\r');

// How late a running timer's tick may read the clock after its place on the
// grid: a ping due within this much after a grid point is caught by that tick.
static constexpr qint64 TimerLatenessMs = 5;

static qint64 floorDiv(qint64 value, qint64 step)
{
    return value >= 0 ? value / step : -((-value + step - 1) / step);
}

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

Pinger::Pinger(SerialComm &serial, TickCount &ticks, WakeTimer &wake)
    : m_serial(serial), m_ticks(ticks), m_wake(wake)
{
    m_reconnect.setInterval(ReconnectPeriodMs);
    connect(&m_reconnect, &QTimer::timeout, this, [this] { retry(); });
    m_wake.setHandler([this] { onWake(); });
    m_serial.setLostHandler([this](const SerialError &error) { lose(error); });
    m_serial.setDrainedHandler([this] { onDrained(); });
}

Pinger::~Pinger()
{
    m_wake.setHandler(nullptr);
    m_serial.setLostHandler(nullptr);
    m_serial.setDrainedHandler(nullptr);
    try {
        stop();
    } catch (const RuntimeError &) {
        // Ending anyway: the port goes with the serial component.
    }
}

void Pinger::selectPort(Integer port)
{
    m_serial.setCommPort(port);
}

QString Pinger::device() const
{
    return m_serial.device(m_serial.commPort());
}

void Pinger::openPort(Long intervalMs)
{
    m_intervalMs = intervalMs;
    m_serial.setPortOpen(true);
}

void Pinger::sendCarriageReturn()
{
    m_serial.setOutput(CarriageReturn);
}

void Pinger::beginCount()
{
    startCountAt(read());
    m_state = State::Pinging;
    qCInfo(lcWendrel).noquote() << "Pinging" << device() << "every" << m_intervalMs << "ms";
    Q_EMIT statusChanged(status());
    if (!m_watched)
        planWake();
}

// Reads the tick count, and the timers' clock beside it.
Long Pinger::read()
{
    m_lastReading = m_ticks.GetTickCount();
    m_lastReadingClock = m_ticks.timersClockMs();
    return m_lastReading;
}

// The count, and the grid of the timers that tick it, start from the reading.
void Pinger::startCountAt(Long tick)
{
    m_count.LastPingTick = tick;
    m_countStartClock = m_lastReadingClock;
    if (m_serial.outputPending())
        m_pendingSince = tick;
}

void Pinger::startUnattended(Long intervalMs)
{
    try {
        openPort(intervalMs);
        sendCarriageReturn();
    } catch (const SerialError &error) {
        m_firstOpen = true;
        m_state = State::Waiting;
        waitFor(error.device(), QString(), openFailureMessage(error), error.description());
        qCInfo(lcWendrel).noquote() << "Waiting for" << m_lostDevice << '(' + m_lostReason + ')'
                                    << "to ping it every" << m_intervalMs << "ms";
        return;
    }
    beginCount();
}

void Pinger::stop()
{
    const State was = m_state;
    m_reconnect.stop();
    m_wake.stop();
    m_state = State::Idle;
    m_lastReturnTick.reset();
    m_firstOpen = false;
    m_backWhenDrained = false;
    m_pendingSince.reset();
    m_noDataSaid = false;
    m_noDataTold = false;
    const QString stopped = device();
    if (m_serial.portOpen())
        m_serial.setPortOpen(false);
    if (was == State::Idle)
        return;
    qCInfo(lcWendrel).noquote() << "Stopped pinging" << stopped;
    Q_EMIT statusChanged(status());
}

const Countdown &Pinger::countdown()
{
    m_count.NowTick = read();
    m_count.ElapsedMs = elapsedTicks(m_count.LastPingTick, m_count.NowTick);
    m_count.RemainingMs = Checked::subLong(m_intervalMs, m_count.ElapsedMs);
    // The tick that pings finds the interval run out: the time left shows as
    // 00 00 00, not as the "01 59 59" the split gives for a few ms below zero.
    const CountdownTexts texts = splitRemaining(std::max<Long>(0, m_count.RemainingMs));
    m_count.HoursText = texts.hours;
    m_count.MinutesText = texts.minutes;
    m_count.SecondsText = texts.seconds;
    return m_count;
}

// A carriage return that still waits for the device is not joined by another:
// when the device takes data again, the camera gets one, not a burst.
bool Pinger::ping()
{
    const bool waitingOutput = m_serial.outputPending();
    if (!waitingOutput) {
        try {
            sendCarriageReturn();
        } catch (const SerialError &error) {
            lose(error);
            return false;
        }
        qCDebug(lcWendrel) << "Pinged";
    }
    m_count.LastPingTick = read();
    if (m_serial.outputPending() && !m_pendingSince)
        m_pendingSince = m_count.LastPingTick;
    checkNoData();
    return true;
}

// The run goes on without its device: the front end's Stop still ends it, and
// the device is tried once a second. A loose plug comes and goes all night: a
// device that was back a moment ago is not told of again, unless it stays away.
void Pinger::lose(const SerialError &error)
{
    if (m_state != State::Pinging)
        return;
    if (m_serial.portOpen())
        m_serial.setPortOpen(false);
    m_wake.stop();
    m_pendingSince.reset();
    m_backWhenDrained = false;
    m_state = State::Waiting;
    waitFor(error.device(), m_serial.lastOpenedDevice(), portLostMessage(error),
            error.description());
    qCInfo(lcWendrel).noquote() << "Lost" << m_lostDevice << '(' + m_lostReason + ')'
                                << "- waiting for it";
    if (!quietAfterReturn(m_ticks.GetTickCount()))
        tellLoss();
}

void Pinger::waitFor(const QString &device, const QString &reached, const QString &message,
                     const QString &reason)
{
    m_lostDevice = device;
    m_lostReached = reached;
    m_lostMessage = message;
    m_lostReason = reason;
    m_lossTold = false;
    m_noDataSaid = false;
    m_noDataTold = false;
    m_untoldRetries = 0;
    m_reconnect.start();
    Q_EMIT waiting(device);
    Q_EMIT statusChanged(status());
}

// Quiet while the device stays away; once it opens, pinging starts again as a
// Start would: a carriage return at once (the camera may have fallen asleep),
// and the count from now.
void Pinger::retry()
{
    if (m_state != State::Waiting)
        return;
    try {
        m_serial.setPortOpen(true);
    } catch (const SerialError &) {
        if (!m_lossTold && ++m_untoldRetries >= QuietAfterReturnMs / ReconnectPeriodMs)
            tellLoss();
        return;
    }
    m_reconnect.stop();
    m_state = State::Pinging;
    try {
        sendCarriageReturn();
    } catch (const SerialError &error) {
        lose(error);
        return;
    }
    startCountAt(read());
    Q_EMIT resumed();
    if (m_firstOpen) {
        // The device a start waited for is there at last: that is a start.
        m_firstOpen = false;
        qCInfo(lcWendrel).noquote() << "Pinging" << device() << "every" << m_intervalMs << "ms";
        if (std::exchange(m_lossTold, false))
            tellTroubleOver(portFoundMessage(m_lostDevice));
    } else {
        m_lastReturnTick = m_count.LastPingTick;
        // Back only once a byte has left: a device that opens but takes
        // nothing is not back yet.
        if (m_serial.outputPending())
            m_backWhenDrained = true;
        else
            announceBack();
    }
    Q_EMIT statusChanged(status());
    if (!m_watched)
        planWake();
}

void Pinger::announceBack()
{
    m_backWhenDrained = false;
    const QString back = portBackMessage(m_lostDevice, m_lostReached, m_serial.lastOpenedDevice());
    qCInfo(lcWendrel).noquote() << back;
    if (std::exchange(m_lossTold, false))
        tellTroubleOver(back);
}

void Pinger::onDrained()
{
    m_pendingSince.reset();
    if (m_noDataSaid) {
        m_noDataSaid = false;
        qCInfo(lcWendrel).noquote() << device() << "takes data again";
        if (std::exchange(m_noDataTold, false))
            tellTroubleOver(portTakesDataMessage(device()));
        Q_EMIT statusChanged(status());
    }
    if (m_backWhenDrained)
        announceBack();
}

// Checked at each ping: a carriage return that has waited three intervals,
// or ten seconds if that is longer, is said once.
void Pinger::checkNoData()
{
    if (!m_pendingSince || m_state != State::Pinging)
        return;
    const Long threshold = std::max<Long>(NoDataAfterMs, Checked::mulLong(m_intervalMs, 3));
    if (elapsedTicks(*m_pendingSince, m_lastReading) < threshold)
        return;
    if (!m_noDataSaid) {
        m_noDataSaid = true;
        qCInfo(lcWendrel).noquote() << device() << "takes no data";
        Q_EMIT statusChanged(status());
    }
    if (!m_noDataTold && !quietAfterReturn(m_lastReading)) {
        m_noDataTold = true;
        tellTrouble(noDataMessage(device(), threshold));
    }
}

bool Pinger::quietAfterReturn(Long now) const
{
    return m_lastReturnTick && elapsedTicks(*m_lastReturnTick, now) < QuietAfterReturnMs;
}

void Pinger::tellLoss()
{
    m_lossTold = true;
    tellTrouble(m_lostMessage);
}

void Pinger::tellTrouble(const QString &message)
{
    qCDebug(lcWendrel).noquote() << "Telling the user:" << message;
    Q_EMIT trouble(message);
}

void Pinger::tellTroubleOver(const QString &message)
{
    qCDebug(lcWendrel).noquote() << "Telling the user:" << message;
    Q_EMIT troubleOver(message);
}

void Pinger::setWatched(bool watched)
{
    if (watched == m_watched)
        return;
    m_watched = watched;
    if (watched)
        m_wake.stop();
    else if (m_state == State::Pinging)
        planWake();
}

bool Pinger::wakeOverdue()
{
    return m_wake.isActive() && m_ticks.timersClockMs() >= m_plannedWakeClock;
}

qint64 Pinger::countClockMs()
{
    return m_ticks.timersClockMs() - m_countStartClock;
}

// The countdown tick on which the window's timer would ping: the first tick of
// its grid at which the interval has run out. The interval is counted on the
// tick count and the grid lies on the timers' clock; the latest reading ties
// the two. A running timer's tick fires a little after its grid point and
// reads the clock then, so a ping due within those few milliseconds is woken
// for at that tick, that much late. No tick twice, none in the past.
void Pinger::planWake()
{
    const qint64 now = countClockMs();
    const qint64 due = (m_lastReadingClock - m_countStartClock) + m_intervalMs
            - elapsedTicks(m_count.LastPingTick, m_lastReading);
    const qint64 dueTick = gridAtOrAfter(due - TimerLatenessMs, CountdownMs);
    const qint64 nextTick = gridAfter(now, CountdownMs);
    const qint64 tick = std::max(dueTick, nextTick);
    const qint64 wakeAt = tick == dueTick ? std::max(dueTick, due) : tick;
    m_plannedWakeClock = m_countStartClock + tick;
    m_wake.start(std::max<qint64>(0, wakeAt - now));
}

void Pinger::onWake()
{
    if (m_state != State::Pinging || m_watched)
        return;
    Q_EMIT countdownDue();
    if (m_state == State::Pinging && !m_watched)
        planWake();
}

QString Pinger::status() const
{
    switch (m_state) {
    case State::Idle:
        return QStringLiteral("Stopped");
    case State::Waiting:
        return QStringLiteral("Waiting for %1: %2").arg(m_lostDevice, m_lostReason);
    case State::Pinging:
        break;
    }
    if (m_noDataSaid)
        return QStringLiteral("%1 takes no data").arg(device());
    return QStringLiteral("Pinging %1 every %2").arg(device(), describeInterval(m_intervalMs));
}
