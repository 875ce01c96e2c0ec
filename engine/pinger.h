// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// A pinging run, apart from any window: it opens the device, sends a carriage
// return at the start and each time the interval has run out, waits for a
// device that is lost or late and pings it again the moment it is back, and
// says so in the log. Its front ends (the window, the service) show what it
// tells them through its signals and turn a user's press into a call.
//
//   Pinger ── SerialComm (the port: open, a carriage return, close)
//          ├─ TickCount (the tick count, and the clock Qt's timers run on)
//          └─ WakeTimer (one wake for the next ping, when nothing ticks)
//
// On screen the window's own countdown timer ticks, and each tick asks the
// pinger for the time left and pings when it has run out. With nothing on
// screen (the window hidden or minimised, or no window at all) the pinger
// wakes its front end once per ping, at the very tick on which the window's
// timer would have pinged.
#pragma once

#include "engine/countdown.h"
#include "engine/nodatawatch.h"
#include "engine/outage.h"

#include "engine/checked.h"

#include <QObject>
#include <QTimer>

#include <functional>

class SerialComm;
class SerialError;
class TickCount;
class WakeTimer;

// What a countdown tick works out, under the names the window's state record
// gives them.
struct Countdown
{
    Long NowTick = 0;
    Long LastPingTick = 0; // when pinging started or last pinged
    Long ElapsedMs = 0;
    Long RemainingMs = 0;
    QString HoursText;
    QString MinutesText;
    QString SecondsText;
};

class Pinger : public QObject
{
    Q_OBJECT

public:
    // What the run is doing. Every change of state goes through enter().
    //
    //   Idle ── start(), startUnattended() with its device ──▶ Pinging
    //   Idle ── startUnattended(), no device ────────────────▶ Starting
    //   Starting, Waiting ── retry(): opens, the byte leaves ─▶ Pinging
    //   Starting, Waiting ── retry(): opens, the byte waits ──▶ Confirming
    //   Starting, Waiting ── retry(): fails to open or write ─▶ (stays)
    //   Confirming ── the byte leaves ───────────────────────▶ Pinging
    //   Confirming ── the device fails ─────────────────────▶ Starting or Waiting
    //   Pinging ── the device fails ────────────────────────▶ Waiting
    //   any ── stop() ──────────────────────────────────────▶ Idle
    //
    // From a loss (or a start that finds no device) until a byte leaves again
    // is one outage: one line in the log, and at most one trouble told.
    enum class State {
        Idle,       // no run
        Starting,   // an unattended start waits for its device to open
        Pinging,    // a carriage return at the interval
        Confirming, // the device opened again; its first carriage return waits
        Waiting,    // the device is lost, and tried once a second
    };

    Pinger(SerialComm &serial, TickCount &ticks, WakeTimer &wake);
    ~Pinger() override; // a run still going ends, and the log says so

    // The port the next run opens, 1 or 2: the serial component holds it.
    void selectPort(Integer port);
    // The device the selected port opens.
    QString device() const;

    // A start as a user's Start takes it: the port opened, the first carriage
    // return sent and the count begun. A step that fails throws SerialError
    // and leaves the run as it was, Idle with the port closed.
    void start(Long intervalMs);
    // A start with nobody there to answer a box: a device that is missing,
    // busy or not permitted yet is waited for, tried once a second, and
    // pinged at once when it opens.
    void startUnattended(Long intervalMs);
    // Ends the run, whatever its state: the port closed if it is open, a wait
    // given up, and nothing of it remembered.
    void stop();

    // The countdown tick, which both front ends run: the time left worked out
    // and handed to show, then at a due tick the carriage return and the count
    // restarted from a fresh reading of the tick count. True when the tick
    // pinged; a device that fails makes the run wait for it instead.
    using ShowCountdown = std::function<void(const Countdown &)>;
    bool tick(const ShowCountdown &show = {});
    // The countdown alone, without its ping: what a tick would show now.
    const Countdown &countdown();

    // Tries the device a waiting run waits for, as the reconnect timer does
    // once a second.
    void retry();

    const Countdown &count() const { return m_count; }
    State state() const { return m_state; }
    bool isRunning() const { return m_state != State::Idle; }
    // Without a device: the window's timers rest.
    bool isWaiting() const { return m_state == State::Starting || m_state == State::Waiting; }
    // The countdown runs: the window's timers tick.
    bool isCounting() const { return m_state == State::Pinging || m_state == State::Confirming; }
    Long intervalMs() const { return m_intervalMs; }
    // One line on what the run is doing: "Pinging /dev/ttyUSB0 every 5 min".
    QString status() const;

    // Whether a front end's own timer ticks the countdown (a window on
    // screen). Not watched, the pinger wakes the front end itself.
    void setWatched(bool watched);
    // True when a wake planned for now or earlier has not come yet (the
    // machine slept, or the event loop was busy).
    bool wakeOverdue();
    // Milliseconds on the timers' clock since the count began: where the
    // grid of the window's two timers stands.
    qint64 countClockMs();

    static constexpr qint64 CountdownMs = 250;
    static constexpr int ReconnectPeriodMs = 1000;

Q_SIGNALS:
    // Not watched: the countdown tick at which the next ping falls due. The
    // front end runs its countdown tick, which pings.
    void countdownDue();
    // The run has no device: it was lost, or was not there at an unattended
    // start. The pinger tries it once a second.
    void waiting(const QString &device);
    // The device is back: a carriage return has left, and the count runs.
    void resumed();
    // Something the user should hear of now, in the window's words: the
    // device is lost, or takes no data. Once an outage.
    void trouble(const QString &message);
    // What trouble was told is over: the device is back, or takes data again.
    void troubleOver(const QString &message);
    void statusChanged(const QString &status);

private:
    // What the run knows of a device while it is away. The reason and the
    // message are the latest try's: a device that was missing may be there
    // now and refuse every write.
    struct Absence
    {
        QString device;        // as the user named it
        QString reachedBefore; // the system device the run reached before the loss
        QString serialBefore;  // and its adapter's serial number
        QString reason;        // why it is away: the failed call's own words
        bool opens = false;    // the latest try opened it, and the write failed
        QString message;       // what the user is told, if told
        QString said;          // the latest reason the log gave
        OncePerMinute changes; // the log's lines on a change of the reason
    };

    void enter(State state);
    Long readClocks();
    void beginCount();
    bool ping();
    // failedWrite: the device was open and refused a write, as a device that
    // opens again and refuses the next one would: the same reason, said once.
    void lose(const SerialError &error, bool failedWrite = false);
    bool beginOutage(Outage::Kind kind, const SerialError &error, bool opens);
    void noteFailure(const SerialError &error, bool opens);
    QString awayLine(bool again) const;
    void stillAway(const SerialError &error, bool opens);
    void endOutage();
    void restartCount();
    void onDrained();
    void checkNoData();
    void planWake();
    void onWake();

    SerialComm &m_serial;
    TickCount &m_ticks;
    WakeTimer &m_wake;

    State m_state = State::Idle;
    Long m_intervalMs = 0;
    Countdown m_count;
    bool m_watched = false;

    // The latest reading of the tick count, and the timers' clock then: how
    // the one maps to the other until the next reading.
    Long m_lastReading = 0;
    qint64 m_lastReadingClock = 0;
    qint64 m_countStartClock = 0; // the timers' grid starts here
    qint64 m_plannedWakeClock = 0;

    QTimer m_reconnect;
    Absence m_absence;
    Outage m_outage;
    NoDataWatch m_noData;
};
