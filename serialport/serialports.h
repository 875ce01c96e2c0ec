// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The serial port of the system Wendrel is built for, as the programs use it:
// MSComm1 itself, the names of port 1 and 2, the devices there are. Linux has
// it over Qt Serial Port (qtserialcomm.cpp), Windows over the Win32
// communications API (win32serialcomm.cpp); the build file picks the file.
#pragma once

#include "engine/serialcomm.h"

#include <QtGlobal>

#if defined(Q_OS_WIN)
#include "serialport/win32serialcomm.h"
using SystemSerialComm = Win32SerialComm;
#else
#include "serialport/qtserialcomm.h"
using SystemSerialComm = QtSerialComm;
#endif

// The serial devices the system reports, sorted: on Linux each under its
// stable /dev/serial/by-id link where it has one, on Windows the COM ports.
QList<SerialDevice> availableSerialDevices();

// The device as opened: on Linux "ttyUSB0" is "/dev/ttyUSB0", and "cams/left"
// and "./cam" are made absolute from the working directory; on Windows the
// name stays as given ("COM7", "\\.\COM12").
QString fullDevicePath(const QString &device);

// The system's default names for port 1 and port 2: /dev/ttyS0 and
// /dev/ttyS1, COM1 and COM2.
QString defaultSerialDevice(Integer port);
