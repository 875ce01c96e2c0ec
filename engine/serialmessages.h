// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Plain words for the serial failures that have no fixed message of their own.
#pragma once

#include "engine/serialcomm.h"

// "Wendrel cannot open /dev/ttyS0: ..." with what the user can do about it.
QString openFailureMessage(const SerialError &error);
// The port failed while pinging ran; Wendrel waits for it to come back.
QString portLostMessage(const SerialError &error);
// How a device that was away came back, as the log and the window say it:
// "/dev/ttyUSB0 is back". One reached before as one system device and now as
// another (an adapter re-enumerated behind its link) is named both ways; one
// whose adapter tells another serial number than before is another adapter.
struct DeviceReturn
{
    QString device; // as the user named it
    QString reachedBefore;
    QString reachedNow;
    QString serialBefore;
    QString serialNow;
};
QString describeReturn(const DeviceReturn &back);
// The device came back and pinging goes on.
QString portBackMessage(const DeviceReturn &back);
// A device an unattended start waited for has opened at last.
QString portFoundMessage(const QString &device);
// The device has taken nothing for the time given (flow control holding its
// output back, or a camera that is off), and takes data again.
QString noDataMessage(const QString &device, qint64 forMs);
QString portTakesDataMessage(const QString &device);
