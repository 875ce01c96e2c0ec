// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Test doubles for the run's outside things: the port, the clocks, the wake
// and the beep. Each one writes what it is asked to do into one shared log, so
// a test can check the order of effects. Qt Core alone: the pinger's tests
// run with no display.
#pragma once

#include "engine/beep.h"
#include "engine/countdown.h"
#include "engine/pinger.h"
#include "engine/serialcomm.h"
#include "engine/tickcount.h"
#include "engine/waketimer.h"

#include <QCoreApplication>
#include <QMap>
#include <QRegularExpression>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

struct EventLog
{
    QStringList entries;
    void add(const QString &entry) { entries << entry; }
    // The entries that start with the prefix, in order.
    QStringList only(const QString &prefix) const
    {
        return entries.filter(QRegularExpression("^" + QRegularExpression::escape(prefix)));
    }
};

// The words a failure of each number comes with, as the system says them.
inline QString describeFailure(int number)
{
    switch (number) {
    case SerialErrors::InvalidPortNumber:
        return QStringLiteral("No such file or directory");
    case SerialErrors::PermissionDenied:
        return QStringLiteral("Permission denied");
    case SerialErrors::PortLost:
        return QStringLiteral("Input/output error");
    default:
        return QStringLiteral("refused by the test");
    }
}

class FakeSerialComm : public SerialComm
{
public:
    explicit FakeSerialComm(EventLog &log) : m_log(log) { }

    void setCommPort(Integer port) override
    {
        m_log.add(QStringLiteral("port:%1").arg(port));
        if (m_open)
            throw SerialError(8000, QStringLiteral("Operation not valid while open"), device());
        m_port = port;
    }
    Integer commPort() const override { return m_port; }
    void setDevice(Integer port, const QString &device) override
    {
        m_log.add(QStringLiteral("device:%1:%2").arg(port).arg(device));
        m_devices[port] = device;
    }
    QString device(Integer port) const override
    {
        return m_devices.value(port, QStringLiteral("/dev/fake%1").arg(port));
    }
    QList<SerialDevice> availableDevices() const override { return devices; }
    void setPortOpen(bool open) override
    {
        m_log.add(open ? QStringLiteral("open") : QStringLiteral("close"));
        if (!open)
            pending.clear();
        m_lost.reset();
        if (open && failOpenWith)
            throw SerialError(*failOpenWith, describeFailure(*failOpenWith), device(), owningGroup);
        if (open && m_open)
            throw SerialError(SerialErrors::PortInUse, QStringLiteral("already open"), device());
        m_open = open;
        ++(open ? opens : closes);
    }
    bool portOpen() const override { return m_open; }
    void setOutput(const QByteArray &bytes) override
    {
        m_log.add(QStringLiteral("output:%1").arg(QString::fromLatin1(bytes.toHex())));
        if (!m_open && m_lost)
            throw *m_lost; // the port closed itself: its own loss, not "not open"
        if (!m_open)
            throw SerialError(SerialErrors::PortNotOpen, QStringLiteral("not open"), device());
        if (failOutputWith) {
            m_open = false;
            throw SerialError(*failOutputWith, describeFailure(*failOutputWith), device());
        }
        if (!pending.isEmpty())
            return;
        if (holdOutput)
            pending = bytes;
        else
            sent += bytes;
    }
    bool outputPending() const override { return !pending.isEmpty(); }
    void setDrainedHandler(DrainedHandler handler) override
    {
        m_drainedHandler = std::move(handler);
    }
    // The device takes data again: what waited leaves.
    void releaseOutput()
    {
        holdOutput = false;
        sent += pending;
        const bool drained = !pending.isEmpty();
        pending.clear();
        if (drained && m_drainedHandler)
            m_drainedHandler();
    }
    QString lastOpenedDevice() const override { return reached.isEmpty() ? device() : reached; }
    QString lastOpenedSerialNumber() const override { return serialNumber; }
    void setLostHandler(LostHandler handler) override { m_lostHandler = std::move(handler); }

    // The device fails on its own while open, as an unplugged adapter does:
    // the port closes at once, and the loss is told from the event loop, as
    // the real port tells it.
    void loseDeviceLater()
    {
        m_open = false;
        pending.clear();
        m_lost = SerialError(SerialErrors::PortLost, QStringLiteral("gone"), device());
        QMetaObject::invokeMethod(
                &m_context,
                [this, lost = *m_lost] {
                    if (m_lostHandler)
                        m_lostHandler(lost);
                },
                Qt::QueuedConnection);
    }
    // ... and the event loop turns.
    void loseDevice()
    {
        loseDeviceLater();
        QCoreApplication::sendPostedEvents();
    }
    QString device() const { return device(m_port); }

    std::optional<int> failOpenWith;
    std::optional<int> failOutputWith;
    bool holdOutput = false; // the device takes nothing, as with its output suspended
    QByteArray pending;
    QByteArray sent;
    QString reached;      // the system device an open reaches; the port's own when empty
    QString serialNumber; // of the adapter an open reaches
    QString owningGroup;  // a refused open's
    QList<SerialDevice> devices;
    int opens = 0;
    int closes = 0;

private:
    EventLog &m_log;
    Integer m_port = 0;
    bool m_open = false;
    QMap<Integer, QString> m_devices;
    std::optional<SerialError> m_lost;
    QObject m_context; // a loss on its way goes with the fake
    LostHandler m_lostHandler;
    DrainedHandler m_drainedHandler;
};

class FakeTickCount : public TickCount
{
public:
    explicit FakeTickCount(EventLog &log) : m_log(log) { }
    Long GetTickCount() override
    {
        m_log.add(QStringLiteral("tick:%1").arg(now));
        const Long reading = now;
        now = Long(std::uint32_t(now) + std::uint32_t(stepPerReading));
        return reading;
    }
    qint64 timersClockMs() override { return timersClock; }
    // Both clocks move on; in a suspend only the tick count would.
    void advance(std::int64_t ms)
    {
        now = Long(std::uint32_t(now) + std::uint32_t(ms));
        timersClock += ms;
    }

    Long now = 0;
    qint64 timersClock = 0;  // the clock Qt's timers run on
    Long stepPerReading = 0; // lets a test make every reading later than the last
private:
    EventLog &m_log;
};

class RecordingBeep : public Beep
{
public:
    explicit RecordingBeep(EventLog &log) : m_log(log) { }
    void beep() override
    {
        m_log.add(QStringLiteral("beep"));
        ++count;
    }
    int count = 0;

private:
    EventLog &m_log;
};

// The one wake of an unwatched run, armed on the fake boot-time clock: it is
// due once the tick count has come as far as it was armed for, suspends
// included. Fires only when the test says.
class FakeWakeTimer : public WakeTimer
{
public:
    explicit FakeWakeTimer(FakeTickCount &ticks) : m_ticks(ticks) { }
    void start(qint64 milliseconds) override
    {
        active = true;
        armedAt = m_ticks.now;
        armedFor = milliseconds;
        ++starts;
    }
    void stop() override { active = false; }
    bool isActive() const override { return active; }
    void setHandler(Handler handler) override { m_handler = std::move(handler); }

    // The tick count at which it is due.
    Long dueTick() const { return Long(std::uint32_t(armedAt) + std::uint32_t(armedFor)); }
    bool isDue() const { return active && elapsedTicks(armedAt, m_ticks.now) >= armedFor; }
    // Wakes the run if the wake is due now.
    bool fireIfDue()
    {
        if (!isDue())
            return false;
        active = false;
        if (m_handler)
            m_handler();
        return true;
    }

    bool active = false;
    Long armedAt = 0;
    qint64 armedFor = 0;
    int starts = 0; // how often the run asked to be woken

private:
    FakeTickCount &m_ticks;
    Handler m_handler;
};

// The pinger over fakes, with nothing on screen.
struct PingerRig
{
    EventLog log;
    FakeSerialComm serial{ log };
    FakeTickCount ticks{ log };
    FakeWakeTimer wake{ ticks };
    Pinger run{ serial, ticks, wake };
};
