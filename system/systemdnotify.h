// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Telling systemd how the service is doing, by its notify protocol: one
// datagram a message to the socket $NOTIFY_SOCKET names, sent without
// waiting, so a service manager that does not read cannot hold anything up.
// Where the variable is not set (not started by systemd with Type=notify)
// nothing is sent.
#pragma once

#include <QString>
#include <QTimer>

class SystemdNotify
{
public:
    // Reads the environment. When the unit sets WatchdogSec=, WATCHDOG=1 goes
    // out every half of WATCHDOG_USEC while the event loop turns.
    SystemdNotify();
    ~SystemdNotify();
    SystemdNotify(const SystemdNotify &) = delete;
    SystemdNotify &operator=(const SystemdNotify &) = delete;

    void ready();                       // READY=1
    void status(const QString &status); // STATUS=..., one line
    void stopping();                    // STOPPING=1

private:
    void send(const QByteArray &message);

    QByteArray m_address;
    int m_socket = -1;
    QTimer m_watchdog;
};
