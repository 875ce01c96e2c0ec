// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// MSComm1 on Linux, on top of Qt SerialPort. Port 1 and 2 are the machine's
// first and second serial port unless the command line named other devices
// for them. The programs reach it through serialports.h.
#pragma once

#include "engine/serialcomm.h"

#include <QMap>
#include <QSerialPort>

#include <memory>
#include <optional>

class QSocketNotifier;

class QtSerialComm : public SerialComm
{
public:
    QtSerialComm();
    ~QtSerialComm() override;

    // Numbers with no device give 8002.
    void setDevice(Integer port, const QString &device) override;
    QString device(Integer port) const override;
    QList<SerialDevice> availableDevices() const override;

    // Where the system keeps stable names for USB adapters. Once a port has
    // been opened, it is opened through its stable name until it is closed, so
    // an adapter that is lost and comes back as ttyUSB1 instead of ttyUSB0 is
    // found again; the next run opens what the user named.
    void setStableLinkDirectory(const QString &directory) { m_stableLinkDirectory = directory; }
    // Where the kernel tells what each device is (/sys): an adapter's serial
    // number comes from there.
    void setSystemDirectory(const QString &directory) { m_systemDirectory = directory; }
    QString openedThrough(Integer port) const;

    void setCommPort(Integer port) override;
    Integer commPort() const override { return m_commPort; }
    void setPortOpen(bool open) override;
    bool portOpen() const override { return m_port.isOpen(); }
    QString lastOpenedDevice() const override { return m_reachedDevice; }
    QString lastOpenedSerialNumber() const override { return m_reachedSerialNumber; }
    void setOutput(const QByteArray &bytes) override;
    bool outputPending() const override { return !m_pending.isEmpty(); }
    void setDrainedHandler(DrainedHandler handler) override
    {
        m_drainedHandler = std::move(handler);
    }
    void setLostHandler(LostHandler handler) override { m_lostHandler = std::move(handler); }

private:
    void open();
    void close();
    void onPortError(QSerialPort::SerialPortError error);
    void writePending();
    void onWritable();
    void reportLost(const SerialError &lost);
    SerialError openError(const QString &device) const;
    QString stableLinkFor(const QString &device) const;

    QSerialPort m_port;
    QMap<Integer, QString> m_devices;
    QMap<Integer, QString> m_stableLinks; // learnt at the first successful open
    QString m_stableLinkDirectory = QStringLiteral("/dev/serial/by-id");
    QString m_systemDirectory = QStringLiteral("/sys");
    Integer m_commPort = 1;
    QString m_openDevice;
    QString m_reachedDevice;
    QString m_reachedSerialNumber;
    QByteArray m_pending; // what the device has not taken yet
    // Why the port closed itself, until the run closes it or opens it again:
    // a write in the same turn of the event loop as the loss gets this, not
    // "the port is not open".
    std::optional<SerialError> m_lost;
    std::unique_ptr<QSocketNotifier> m_writable;
    LostHandler m_lostHandler;
    DrainedHandler m_drainedHandler;
};

// The serial devices the system reports, each under its stable link in the
// directory where it has one.
QList<SerialDevice> availableSerialDevices(const QString &stableLinkDirectory);

// True when the device exists but this user is not allowed to open it.
bool serialDeviceAccessDenied(const QString &device);

// True when the system refuses to open the device whatever its permissions
// say (EPERM: a service's device filter, a security module).
bool serialDeviceOpenRefused(const QString &device);

// The UUCP lock file's name for a device: "LCK..ttyUSB0" for /dev/ttyUSB0.
QString lockFileName(QString device);

// The process ID of another living process that holds a UUCP lock file
// (LCK..name) for the device, under its own name or its system device's; 0
// when none does. Qt reads such files, written by minicom and friends with the
// pid in ASCII padded with spaces, as stale and would take the port from under
// them.
qint64 serialDeviceLockedElsewhere(const QString &device);
