// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The window over fakes, for handler tests (a fake clock instead of waiting,
// a fake port instead of a device, recording boxes, beeps and tray), and over
// the real serial component on a pseudo-terminal.
#pragma once

#include "fakes.h"

#include "desktop/messagebox.h"
#include "desktop/notifyicon.h"
#include "engine/lifetime.h"
#include "system/soundbeep.h"
#include "system/systemtickcount.h"
#include "system/systemwaketimer.h"
#include "window/frmwendrel.h"

#if defined(Q_OS_UNIX)
#include "ptypair.h"
#include "serialport/qtserialcomm.h"
#endif

#include <QLabel>

#include <functional>
#include <memory>

class RecordingMessageBox : public MessageBox
{
public:
    explicit RecordingMessageBox(EventLog &log) : m_log(log) { }
    void show(const QString &text, const QString &title) override
    {
        m_log.add(QStringLiteral("box:%1:%2").arg(title, text));
        texts << text;
        titles << title;
        if (whileShown)
            whileShown();
    }
    void showNotice(const QString &text, const QString &title) override
    {
        m_log.add(QStringLiteral("notice:%1:%2").arg(title, text));
        noticeOpen = true;
    }
    void closeNotice() override
    {
        if (noticeOpen)
            m_log.add(QStringLiteral("notice closed"));
        noticeOpen = false;
    }
    QStringList texts;
    QStringList titles;
    bool noticeOpen = false;
    std::function<void()> whileShown;

private:
    EventLog &m_log;
};

class FakeNotifyIcon : public NotifyIcon
{
public:
    explicit FakeNotifyIcon(EventLog &log) : m_log(log) { }
    std::int32_t Shell_NotifyIconA(std::int32_t message, QByteArray &record) override
    {
        const QString visibility = windowVisible ? (windowVisible() ? "visible" : "hidden") : "?";
        m_log.add(QStringLiteral("shell:%1:%2").arg(message).arg(visibility));
        records << record;
        if (message == NotifyIconMessage::Add && !shown) {
            shown = true;
            return 1;
        }
        if (message == NotifyIconMessage::Delete && shown) {
            shown = false;
            return 1;
        }
        return 0;
    }
    bool available() const override { return trayAvailable; }
    bool canMinimise() const override { return minimiseAvailable; }
    bool showMessage(const QString &title, const QString &text) override
    {
        m_log.add(QStringLiteral("notify:%1:%2").arg(title, text));
        return notificationsShow;
    }
    void setUndeliveredHandler(UndeliveredHandler handler) override
    {
        m_undeliveredHandler = std::move(handler);
    }
    // The notification service turns a message away after it was sent.
    void turnAway(const QString &title, const QString &text)
    {
        if (m_undeliveredHandler)
            m_undeliveredHandler(title, text);
    }
    void setMouseHandler(MouseHandler handler) override { m_mouseHandler = std::move(handler); }
    void mouse(std::int32_t message)
    {
        if (m_mouseHandler)
            m_mouseHandler(message);
    }

    bool trayAvailable = true;
    bool notificationsShow = true; // false: no notification can be shown
    bool minimiseAvailable = true;
    bool shown = false;
    QList<QByteArray> records;
    std::function<bool()> windowVisible;

private:
    EventLog &m_log;
    MouseHandler m_mouseHandler;
    UndeliveredHandler m_undeliveredHandler;
};

class FakeLifetime : public Lifetime
{
public:
    explicit FakeLifetime(EventLog &log) : m_log(log) { }
    void endProgram(int status) override
    {
        m_log.add(QStringLiteral("end:%1").arg(status));
        statuses << status;
    }
    QList<int> statuses;

private:
    EventLog &m_log;
};

// The lamps of the row that show the lit picture.
inline QList<int> litLamps(const frmWendrel &form)
{
    const qint64 lit = form.controls().LightOn->pixmap().cacheKey();
    QList<int> indexes;
    for (int i = 0; i < 12; ++i)
        if (form.controls().Image1[i]->pixmap().cacheKey() == lit)
            indexes << i;
    return indexes;
}

// A window over fakes, ready for handler tests.
struct Rig
{
    EventLog log;
    FakeSerialComm serial{ log };
    FakeTickCount ticks{ log };
    FakeWakeTimer wake{ ticks };
    Pinger run{ serial, ticks, wake };
    RecordingMessageBox box{ log };
    RecordingBeep beep{ log };
    FakeNotifyIcon tray{ log };
    FakeLifetime lifetime{ log };
    std::unique_ptr<frmWendrel> window;

    Rig()
    {
        window = std::make_unique<frmWendrel>(Platform{ serial, box, beep, tray, lifetime }, run);
        tray.windowVisible = [this] { return window->isVisible(); };
        log.entries.clear();
    }
    frmWendrel &form() { return *window; }
    const Controls &c() const { return window->controls(); }
    WindowState &s() { return window->state(); }
    const Countdown &count() const { return run.count(); }
};

#if defined(Q_OS_UNIX)
// A window over the real serial component on a given device and the system's
// clock. Port 2 is a pseudo-terminal of its own, never the machine's port. The boxes and the beep
// are recorded, or, for the end-to-end tests, the program's own (a helper then answers the real
// modal boxes).
struct RealPortRig
{
    enum class Dialogs { Recorded, Real };

    EventLog log;
    Pty port2;
    QtSerialComm serial;
    SystemTickCount ticks;
    std::unique_ptr<WakeTimer> wake = makeSystemWakeTimer();
    Pinger run{ serial, ticks, *wake };
    RecordingMessageBox box{ log };
    RecordingBeep beep{ log };
    QtMessageBox realBox;
    SoundBeep realBeep;
    FakeNotifyIcon tray{ log };
    FakeLifetime lifetime{ log };
    std::unique_ptr<frmWendrel> window;

    explicit RealPortRig(const QString &port1Device, Dialogs dialogs = Dialogs::Recorded)
    {
        serial.setDevice(1, port1Device);
        serial.setDevice(2, port2.slaveName());
        const bool real = dialogs == Dialogs::Real;
        window = std::make_unique<frmWendrel>(
                Platform{ serial, real ? static_cast<MessageBox &>(realBox) : box,
                          real ? static_cast<Beep &>(realBeep) : beep, tray, lifetime },
                run);
        realBox.setParentWindow(window.get());
    }
    const Controls &c() const { return window->controls(); }
};
#endif
