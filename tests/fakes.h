// Test doubles for the window's outside things. Each one writes what it is
// asked to do into one shared log, so a test can check the order of effects.
#pragma once

#include "platform/lifetime.h"
#include "platform/messagebox.h"
#include "platform/notifyicon.h"
#include "platform/qtserialcomm.h"
#include "platform/serialcomm.h"
#include "platform/tickcount.h"
#include "window/frmwendrel.h"

#include "ptypair.h"

#include <QLabel>
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
        if (open && failOpenWith) {
            throw SerialError(*failOpenWith, QStringLiteral("refused by the test"), device());
        }
        if (open && m_open)
            throw SerialError(SerialErrors::PortInUse, QStringLiteral("already open"), device());
        m_open = open;
        ++(open ? opens : closes);
    }
    bool portOpen() const override { return m_open; }
    void setOutput(const QByteArray &bytes) override
    {
        m_log.add(QStringLiteral("output:%1").arg(QString::fromLatin1(bytes.toHex())));
        if (!m_open)
            throw SerialError(SerialErrors::PortNotOpen, QStringLiteral("not open"), device());
        if (failOutputWith) {
            m_open = false;
            throw SerialError(*failOutputWith, QStringLiteral("write failed"), device());
        }
        sent += bytes;
    }
    QString lastOpenedDevice() const override { return reached.isEmpty() ? device() : reached; }
    void setLostHandler(LostHandler handler) override { m_lostHandler = std::move(handler); }

    // The device fails on its own while open, as an unplugged adapter does.
    void loseDevice()
    {
        m_open = false;
        if (m_lostHandler)
            m_lostHandler(SerialError(SerialErrors::PortLost, QStringLiteral("gone"), device()));
    }
    QString device() const { return device(m_port); }

    std::optional<int> failOpenWith;
    std::optional<int> failOutputWith;
    QByteArray sent;
    QString reached; // the system device an open reaches; the port's own when empty
    QList<SerialDevice> devices;
    int opens = 0;
    int closes = 0;

private:
    EventLog &m_log;
    Integer m_port = 0;
    bool m_open = false;
    QMap<Integer, QString> m_devices;
    LostHandler m_lostHandler;
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
    void advance(std::int64_t ms) { now = Long(std::uint32_t(now) + std::uint32_t(ms)); }

    Long now = 0;
    Long stepPerReading = 0; // lets a test make every reading later than the last
private:
    EventLog &m_log;
};

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
        return true;
    }
    void setMouseHandler(MouseHandler handler) override { m_mouseHandler = std::move(handler); }
    void mouse(std::int32_t message)
    {
        if (m_mouseHandler)
            m_mouseHandler(message);
    }

    bool trayAvailable = true;
    bool minimiseAvailable = true;
    bool shown = false;
    QList<QByteArray> records;
    std::function<bool()> windowVisible;

private:
    EventLog &m_log;
    MouseHandler m_mouseHandler;
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
    RecordingMessageBox box{ log };
    RecordingBeep beep{ log };
    FakeNotifyIcon tray{ log };
    FakeLifetime lifetime{ log };
    std::unique_ptr<frmWendrel> window;

    Rig()
    {
        window = std::make_unique<frmWendrel>(Platform{ serial, ticks, box, beep, tray, lifetime });
        tray.windowVisible = [this] { return window->isVisible(); };
        log.entries.clear();
    }
    frmWendrel &form() { return *window; }
    const frmWendrel::Controls &c() const { return window->controls(); }
    WindowState &s() { return window->state(); }
};

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
    RecordingMessageBox box{ log };
    RecordingBeep beep{ log };
    QtMessageBox realBox;
    QtBeep realBeep;
    FakeNotifyIcon tray{ log };
    FakeLifetime lifetime{ log };
    std::unique_ptr<frmWendrel> window;

    explicit RealPortRig(const QString &port1Device, Dialogs dialogs = Dialogs::Recorded)
    {
        serial.setDevice(1, port1Device);
        serial.setDevice(2, port2.slaveName());
        const bool real = dialogs == Dialogs::Real;
        window = std::make_unique<frmWendrel>(
                Platform{ serial, ticks, real ? static_cast<MessageBox &>(realBox) : box,
                          real ? static_cast<Beep &>(realBeep) : beep, tray, lifetime });
        realBox.setParentWindow(window.get());
    }
    const frmWendrel::Controls &c() const { return window->controls(); }
};
