// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "engine/pinger.h"

#include "engine/logging.h"
#include "engine/serialcomm.h"
#include "engine/serialmessages.h"
#include "engine/tickcount.h"
#include "engine/waketimer.h"

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

// The one place the state changes. The reconnect timer runs while the run
// waits for its device; with nothing on screen, the wake is planned while
// the countdown runs. The front ends hear of a wait and of its end.
void Pinger::enter(State state)
{
    const bool wasAway = isWaiting() || m_state == State::Confirming;
    m_state = state;
    if (isWaiting()) {
        if (!m_reconnect.isActive())
            m_reconnect.start();
    } else {
        m_reconnect.stop();
    }
    if (isCounting() && !m_watched)
        planWake();
    else
        m_wake.stop();
    if (isWaiting() && !wasAway)
        Q_EMIT waiting(m_absence.device);
    else if (wasAway && m_state == State::Pinging)
        Q_EMIT resumed();
    Q_EMIT statusChanged(status());
}

void Pinger::start(Long intervalMs)
{
    m_intervalMs = intervalMs;
    m_noData.setInterval(intervalMs);
    try {
        m_serial.setPortOpen(true);
        m_serial.setOutput(CarriageReturn);
    } catch (const SerialError &) {
        if (m_serial.portOpen())
            m_serial.setPortOpen(false);
        throw;
    }
    beginCount();
    qCInfo(lcWendrel).noquote() << "Pinging" << device() << "every" << describeInterval(intervalMs);
    enter(State::Pinging);
}

void Pinger::startUnattended(Long intervalMs)
{
    try {
        start(intervalMs);
    } catch (const SerialError &error) {
        const bool tell = beginOutage(Outage::Kind::StartWait, error,
                                      error.number() == SerialErrors::PortLost);
        enter(State::Starting);
        if (tell)
            Q_EMIT trouble(m_absence.message);
    }
}

void Pinger::stop()
{
    const State was = m_state;
    const QString stopped = device();
    if (m_serial.portOpen())
        m_serial.setPortOpen(false);
    m_outage.reset();
    m_noData.reset();
    m_absence = Absence();
    if (was == State::Idle)
        return;
    qCInfo(lcWendrel).noquote() << "Stopped pinging" << stopped;
    enter(State::Idle);
}

// Reads the tick count, and the timers' clock beside it.
Long Pinger::readClocks()
{
    m_lastReading = m_ticks.GetTickCount();
    m_lastReadingClock = m_ticks.timersClockMs();
    m_outage.timePasses(m_lastReading);
    return m_lastReading;
}

// The count, and the grid of the timers that tick it, start from a reading
// taken now, once the first carriage return is on its way.
void Pinger::beginCount()
{
    m_count.LastPingTick = readClocks();
    m_countStartClock = m_lastReadingClock;
    if (m_serial.outputPending())
        m_noData.waitingSince(m_count.LastPingTick);
}

const Countdown &Pinger::countdown()
{
    m_count.NowTick = readClocks();
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

bool Pinger::tick(const ShowCountdown &show)
{
    countdown();
    if (show)
        show(m_count);
    if (!isCounting() || m_count.ElapsedMs < m_intervalMs)
        return false;
    return ping();
}

// A carriage return that still waits for the device is not joined by another:
// when the device takes data again, the camera gets one, not a burst. True
// only when this tick's carriage return has left: a beep means a ping.
bool Pinger::ping()
{
    if (!m_serial.outputPending()) {
        try {
            m_serial.setOutput(CarriageReturn);
        } catch (const SerialError &error) {
            lose(error, true);
            return false;
        }
    }
    m_count.LastPingTick = readClocks();
    const bool left = !m_serial.outputPending();
    if (left)
        qCDebug(lcWendrel) << "Pinged";
    else
        m_noData.waitingSince(m_count.LastPingTick);
    checkNoData();
    return left;
}

// The run goes on without its device: the front end's Stop still ends it, and
// the device is tried once a second. A device that fails again before a byte
// has left is the same outage, and is not said again.
void Pinger::lose(const SerialError &error, bool failedWrite)
{
    if (m_serial.portOpen())
        m_serial.setPortOpen(false);
    if (m_state == State::Confirming) {
        m_noData.reset();
        enter(m_outage.kind() == Outage::Kind::StartWait ? State::Starting : State::Waiting);
        stillAway(error, true);
        return;
    }
    if (m_state != State::Pinging)
        return;
    m_noData.reset();
    const bool tell = beginOutage(Outage::Kind::Loss, error, failedWrite);
    enter(State::Waiting);
    if (tell)
        Q_EMIT trouble(m_absence.message);
}

// The one line an outage begins with in the log. True when the user is to be
// told now.
bool Pinger::beginOutage(Outage::Kind kind, const SerialError &error, bool opens)
{
    const bool loss = kind == Outage::Kind::Loss;
    m_absence = Absence();
    m_absence.device = error.device();
    if (loss) {
        m_absence.reachedBefore = m_serial.lastOpenedDevice();
        m_absence.serialBefore = m_serial.lastOpenedSerialNumber();
    }
    const bool tell = m_outage.begin(kind, m_ticks.GetTickCount());
    noteFailure(error, opens);
    m_absence.said = awayLine(true);
    const QString line = loss
            ? QStringLiteral("Lost %1 (%2)").arg(m_absence.device, m_absence.reason)
            : awayLine(false);
    qCWarning(lcWendrel).noquote() << line + QStringLiteral(": trying it once a second");
    return tell;
}

// What the latest try found, for the status, the log and the user.
void Pinger::noteFailure(const SerialError &error, bool opens)
{
    m_absence.reason = error.description();
    m_absence.opens = opens;
    m_absence.message = m_outage.kind() == Outage::Kind::StartWait ? openFailureMessage(error)
                                                                   : portLostMessage(error);
}

// "Waiting for /dev/ttyUSB0 (No such file or directory)", or what a device
// that opens but takes no write gets instead.
QString Pinger::awayLine(bool again) const
{
    if (m_absence.opens)
        return QStringLiteral("%1 opens, but a write fails (%2)")
                .arg(m_absence.device, m_absence.reason);
    return QStringLiteral("%1 for %2 (%3)")
            .arg(again ? QStringLiteral("Still waiting") : QStringLiteral("Waiting"),
                 m_absence.device, m_absence.reason);
}

// Still away after another try. The status names what failed this time; the
// log says a new reason in one more line, at most one a minute, so a cable
// that flaps all night writes a line a minute, not one a second; and an
// outage begun in a quiet spell is told, in the latest words, once it has
// lasted.
void Pinger::stillAway(const SerialError &error, bool opens)
{
    const Long now = m_ticks.GetTickCount();
    const QString statusBefore = status();
    noteFailure(error, opens);
    const QString line = awayLine(true);
    if (line != m_absence.said && m_absence.changes.mayTell(now)) {
        qCWarning(lcWendrel).noquote() << line + QStringLiteral(": trying it once a second");
        m_absence.said = line;
    }
    if (status() != statusBefore)
        Q_EMIT statusChanged(status());
    if (m_outage.dueToTell(now))
        Q_EMIT trouble(m_absence.message);
}

// Once it opens, pinging starts again as a Start would: a carriage return at
// once (the camera may have fallen asleep), and the count from now. The
// outage ends only once a byte has left: a device that opens but takes
// nothing, or fails the write, is not back yet.
void Pinger::retry()
{
    if (!isWaiting())
        return;
    bool opened = false;
    try {
        m_serial.setPortOpen(true);
        opened = true;
        m_serial.setOutput(CarriageReturn);
    } catch (const SerialError &error) {
        if (m_serial.portOpen())
            m_serial.setPortOpen(false);
        stillAway(error, opened);
        return;
    }
    beginCount();
    if (m_serial.outputPending()) {
        enter(State::Confirming);
        return;
    }
    endOutage();
}

// A byte has left after an outage: the one line that says so, and the user
// told of the end if of the start.
void Pinger::endOutage()
{
    const bool told = m_outage.end(m_lastReading);
    if (m_noData.drained().say)
        qCInfo(lcWendrel).noquote() << device() << "takes data again";
    if (m_outage.kind() == Outage::Kind::StartWait) {
        // The device a start waited for is there at last: that is a start.
        qCInfo(lcWendrel).noquote()
                << "Pinging" << device() << "every" << describeInterval(m_intervalMs);
        if (told)
            Q_EMIT troubleOver(portFoundMessage(m_absence.device));
    } else {
        const DeviceReturn back{ m_absence.device, m_absence.reachedBefore,
                                 m_serial.lastOpenedDevice(), m_absence.serialBefore,
                                 m_serial.lastOpenedSerialNumber() };
        qCInfo(lcWendrel).noquote() << describeReturn(back) + QStringLiteral(": pinging every")
                                    << describeInterval(m_intervalMs);
        if (told)
            Q_EMIT troubleOver(portBackMessage(back));
    }
    m_absence = Absence();
    enter(State::Pinging);
}

// What waited has just left: the next carriage return comes a full interval
// after it (on the countdown's grid), not on the old count.
void Pinger::restartCount()
{
    m_count.LastPingTick = readClocks();
    if (isCounting() && !m_watched)
        planWake();
}

void Pinger::onDrained()
{
    restartCount();
    if (m_state == State::Confirming) {
        endOutage();
        return;
    }
    const NoDataWatch::News over = m_noData.drained();
    if (!over.say)
        return;
    qCInfo(lcWendrel).noquote() << device() << "takes data again";
    if (over.tell)
        Q_EMIT troubleOver(portTakesDataMessage(device()));
    Q_EMIT statusChanged(status());
}

// Looked at on each ping. While an outage is on, its trouble stands for this
// too; within a minute of a return or an unattended start, the user hears of
// it only if it lasts.
void Pinger::checkNoData()
{
    const bool mayTell = !m_outage.isOn() && !m_outage.isQuiet(m_lastReading);
    const NoDataWatch::News news = m_noData.check(m_lastReading, mayTell);
    if (news.say) {
        qCWarning(lcWendrel).noquote() << device() << "takes no data: nothing has left for"
                                       << describeInterval(m_noData.thresholdMs());
        Q_EMIT statusChanged(status());
    }
    if (news.tell)
        Q_EMIT trouble(noDataMessage(device(), m_noData.thresholdMs()));
}

void Pinger::setWatched(bool watched)
{
    if (watched == m_watched)
        return;
    m_watched = watched;
    if (watched)
        m_wake.stop();
    else if (isCounting())
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
    const qint64 wakeTick = std::max(dueTick, nextTick);
    const qint64 wakeAt = wakeTick == dueTick ? std::max(dueTick, due) : wakeTick;
    m_plannedWakeClock = m_countStartClock + wakeTick;
    m_wake.start(std::max<qint64>(0, wakeAt - now));
}

void Pinger::onWake()
{
    if (!isCounting() || m_watched)
        return;
    Q_EMIT countdownDue();
    if (isCounting() && !m_watched)
        planWake();
}

QString Pinger::status() const
{
    switch (m_state) {
    case State::Idle:
        return QStringLiteral("Stopped");
    case State::Starting:
    case State::Waiting:
        if (m_absence.opens)
            return QStringLiteral("Waiting for %1: it opens, but a write fails (%2)")
                    .arg(m_absence.device, m_absence.reason);
        return QStringLiteral("Waiting for %1: %2").arg(m_absence.device, m_absence.reason);
    case State::Confirming:
        return QStringLiteral("Waiting for %1 to take data").arg(m_absence.device);
    case State::Pinging:
        break;
    }
    if (m_noData.isSaid())
        return QStringLiteral("%1 takes no data").arg(device());
    return QStringLiteral("Pinging %1 every %2").arg(device(), describeInterval(m_intervalMs));
}
