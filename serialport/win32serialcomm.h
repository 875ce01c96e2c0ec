// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// MSComm1 on Windows, over the Win32 communications API: port 1 and 2 are
// COM1 and COM2 unless the command line named other ports for them. The port
// is opened for overlapped I/O, so a write that the device does not take at
// once waits in the system, not in the event loop, and a read kept pending on
// it tells at once when an adapter is pulled.
#pragma once

#include "engine/serialcomm.h"

#include <QMap>

#include <memory>
#include <optional>

class Win32SerialComm : public SerialComm
{
public:
    Win32SerialComm();
    ~Win32SerialComm() override;
    Win32SerialComm(const Win32SerialComm &) = delete;
    Win32SerialComm &operator=(const Win32SerialComm &) = delete;

    // Numbers with no device give 8002.
    void setDevice(Integer port, const QString &device) override;
    QString device(Integer port) const override;
    QList<SerialDevice> availableDevices() const override;

    void setCommPort(Integer port) override;
    Integer commPort() const override { return m_commPort; }
    void setPortOpen(bool open) override;
    bool portOpen() const override;
    QString lastOpenedDevice() const override { return m_reachedDevice; }
    // Windows tells no adapter's serial number through its COM port.
    QString lastOpenedSerialNumber() const override { return {}; }
    void setOutput(const QByteArray &bytes) override;
    bool outputPending() const override { return !m_pending.isEmpty(); }
    void setDrainedHandler(DrainedHandler handler) override
    {
        m_drainedHandler = std::move(handler);
    }
    void setLostHandler(LostHandler handler) override { m_lostHandler = std::move(handler); }

private:
    struct Port;
    void open();
    void close();
    QString watch();
    void onWriteDone();
    void onWatchDone();
    void lose(const QString &why);

    std::unique_ptr<Port> m_port;
    QMap<Integer, QString> m_devices;
    Integer m_commPort = 1;
    QString m_openDevice;
    QString m_reachedDevice;
    QByteArray m_pending; // what the device has not taken yet
    // Why the port closed itself, until the run closes it or opens it again.
    std::optional<SerialError> m_lost;
    LostHandler m_lostHandler;
    DrainedHandler m_drainedHandler;
};

// The name Windows opens a port by: "COM12" is "\\.\COM12", which also
// reaches the ports from COM10 on; a name that starts with "\\" stays.
QString win32DevicePath(const QString &device);
