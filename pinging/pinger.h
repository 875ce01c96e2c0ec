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

#include "countdown.h"

#include "platform/checked.h"

#include <QObject>
#include <QTimer>

#include <optional>

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
    enum class State { Idle, Pinging, Waiting };

    Pinger(SerialComm &serial, TickCount &ticks, WakeTimer &wake);
    ~Pinger() override; // a run still going ends, and the log says so

    // The port the next run opens, 1 or 2: the serial component holds it.
    void selectPort(Integer port);
    // The device the selected port opens.
    QString device() const;

    // A start as a user's Start takes it, step by step. A step that fails
    // throws SerialError; the run has not begun, and stop() closes the port.
    void openPort(Long intervalMs);
    void sendCarriageReturn();
    void beginCount();

    // A start with nobody there to answer a box: a device that is missing,
    // busy or not permitted yet is waited for, tried once a second, and
    // pinged at once when it opens.
    void startUnattended(Long intervalMs);

    // Ends the run, whatever its state: the port closed if it is open, a wait
    // given up. What the quiet rule remembers ends with it.
    void stop();

    // The countdown tick, up to its ping decision: the tick count, the time
    // since the last ping and the time left, in the three texts shown.
    const Countdown &countdown();
    bool isDue() const { return m_count.ElapsedMs >= m_intervalMs; }
    // The carriage return at a due tick, and the count restarted from a fresh
    // reading of the tick count. False when the device failed: the run then
    // waits for it.
    bool ping();

    // Tries the device a waiting run waits for, as the reconnect timer does
    // once a second.
    void retry();

    const Countdown &count() const { return m_count; }
    State state() const { return m_state; }
    bool isWaiting() const { return m_state == State::Waiting; }
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
    // A device lost again within this time of coming back is not told again,
    // nor one that has stayed away for less than this since an untold loss.
    static constexpr Long QuietAfterReturnMs = 60000;
    // A device that has taken nothing for this long, or three intervals if
    // that is longer, is told of.
    static constexpr Long NoDataAfterMs = 10000;

Q_SIGNALS:
    // Not watched: the countdown tick at which the next ping falls due. The
    // front end runs its countdown tick, which pings.
    void countdownDue();
    // The run has no device: it was lost, or was not there at an unattended
    // start. The pinger tries it once a second.
    void waiting(const QString &device);
    // The device opened again: a carriage return went out and the count
    // started afresh.
    void resumed();
    // Something the user should hear of now: the device is lost, or takes
    // no data. Told once, and not for a cable that came back a moment ago.
    void trouble(const QString &message);
    // What trouble was told is over: the device is back, or takes data again.
    void troubleOver(const QString &message);
    void statusChanged(const QString &status);

private:
    Long read();
    void startCountAt(Long tick);
    void lose(const SerialError &error);
    void waitFor(const QString &device, const QString &reached, const QString &message,
                 const QString &reason);
    void announceBack();
    void onDrained();
    void checkNoData();
    bool quietAfterReturn(Long now) const;
    void tellLoss();
    void tellTrouble(const QString &message);
    void tellTroubleOver(const QString &message);
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

    // Waiting for a device.
    QTimer m_reconnect;
    QString m_lostDevice;
    QString m_lostReached; // the system device the run reached before the loss
    QString m_lostMessage;
    QString m_lostReason;
    bool m_lossTold = false;
    int m_untoldRetries = 0;
    bool m_firstOpen = false; // the wait of an unattended start: its open is a start
    bool m_backWhenDrained = false;
    std::optional<Long> m_lastReturnTick;

    // A device that takes no data.
    std::optional<Long> m_pendingSince;
    bool m_noDataSaid = false;
    bool m_noDataTold = false;
};
