// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// SIGTERM, SIGINT, SIGHUP, SIGUSR1 and SIGUSR2 (a desktop logout sends
// SIGTERM; the user signals, unused here, would end the program too) turned into an
// ordinary event on the UI thread, so the program can close its window as if
// the user had, instead of dying with the port held and the icon left behind.
// SIGQUIT keeps its default, a core dump, which is what it is sent for.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

class TerminationSignals
{
public:
    // Calls onSignal (on the UI thread) when one of the signals arrives.
    explicit TerminationSignals(std::function<void(int signal)> onSignal);
    ~TerminationSignals();
    // Hands a signal to the program as if it had come from outside: Windows'
    // service manager stops a service this way. Any thread may call it.
    static void deliver(int signal);
    TerminationSignals(const TerminationSignals &) = delete;
    TerminationSignals &operator=(const TerminationSignals &) = delete;

private:
    std::function<void(int)> m_onSignal;
    QSocketNotifier *m_notifier = nullptr;
    int m_readEnd = -1;
};
