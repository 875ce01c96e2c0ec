// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The serial communications component the window calls MSComm1: a port number,
// an open state and an output, nothing more. Failures throw SerialError with a
// number; 8002 and 8005 are the two the user is told about by name.
#pragma once

#include "engine/checked.h"
#include "engine/runtimeerror.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

namespace SerialErrors {
enum : int {
    PortChangeWhileOpen = 8000, // the port number changes only while closed
    InvalidPortNumber = 8002,   // the number names no usable port
    PortInUse = 8005,           // another program (or another Wendrel) holds it
    PermissionDenied = 8010,    // the device exists but this user may not open it
    CannotConfigure = 8015,     // opened, but 9600 8N1 could not be applied
    PortNotOpen = 8018,         // output or a setting needs an open port
    PortLost = 8020,            // the device failed or vanished while open
    OpenFailed = 8021,          // any other failure to open
};
}

class SerialError : public RuntimeError
{
public:
    SerialError(int number, QString description, QString device, QString owningGroup = {})
        : RuntimeError(number, std::move(description)), m_device(std::move(device)),
          m_owningGroup(std::move(owningGroup))
    {
    }
    // The system name of the device concerned ("/dev/ttyS0"), for plain messages.
    const QString &device() const { return m_device; }
    // For a device this user may not open: the group that owns it ("dialout"),
    // where the system tells it.
    const QString &owningGroup() const { return m_owningGroup; }

private:
    QString m_device;
    QString m_owningGroup;
};

// A serial device the machine offers: its path (the stable /dev/serial/by-id
// link where there is one, else the kernel's name), and what the system says
// it is.
struct SerialDevice
{
    QString path;
    QString systemLocation;
    QString description;
    QString manufacturer;

    // "/dev/serial/by-id/usb-FTDI... (/dev/ttyUSB0): FT232R USB UART, FTDI"
    QString describe() const;
};

class SerialComm
{
public:
    virtual ~SerialComm() = default;

    // Selects the port the next open uses; throws while the port is open.
    virtual void setCommPort(Integer port) = 0;
    virtual Integer commPort() const = 0;

    // The device each port number opens, and the devices there are to choose
    // one from. Nothing is stored: a choice lasts for this session.
    virtual void setDevice(Integer port, const QString &device) = 0;
    virtual QString device(Integer port) const = 0;
    virtual QList<SerialDevice> availableDevices() const = 0;

    // true opens the selected port at 9600 baud, no parity, 8 data bits, 1 stop bit.
    // false closes it, and ends what the opens since the last close learnt about
    // the device (the stable link it was followed through).
    virtual void setPortOpen(bool open) = 0;
    virtual bool portOpen() const = 0;

    // The system device the last successful open reached ("/dev/ttyUSB1" for a
    // link that leads there); it stays known after the port is closed or lost.
    virtual QString lastOpenedDevice() const = 0;
    // The serial number the system tells for the adapter of that device, or
    // empty where it tells none; kept likewise.
    virtual QString lastOpenedSerialNumber() const = 0;

    // Hands the bytes to the device without waiting for them to leave. A
    // device that takes nothing just now (its output held back, as flow control
    // does) keeps them pending: one write's worth at the most, and a write
    // while they wait is dropped. A write that fails is a lost device: the
    // port is closed and PortLost thrown.
    virtual void setOutput(const QByteArray &bytes) = 0;
    // True while bytes wait for the device to take them.
    virtual bool outputPending() const = 0;
    // Called when bytes that had to wait have left.
    using DrainedHandler = std::function<void()>;
    virtual void setDrainedHandler(DrainedHandler handler) = 0;

    // Called once when an open port fails on its own (unplugged, hung up, write
    // error). The port is already closed when it runs.
    using LostHandler = std::function<void(const SerialError &)>;
    virtual void setLostHandler(LostHandler handler) = 0;
};
