// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The service manager that runs the service, and what the service tells it:
// ready, a line of status, stopping. On Linux that is systemd's notify
// protocol (systemdnotify.cpp); on Windows the Service Control Manager
// (servicemanager_win.cpp), which starts wendreld.exe --service and whose
// Stop reaches the run as a termination signal.
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

#if defined(Q_OS_WIN)
class WindowsServiceStatus
{
public:
    void ready(); // running
    void status(const QString &) { }
    void stopping(); // stop pending
};
using ServiceManager = WindowsServiceStatus;
#else
#include "system/systemdnotify.h"
using ServiceManager = SystemdNotify;
#endif

// Runs the service as the service manager starts it and returns its exit
// status. Windows' manager calls the run on a thread of its own, with
// standard error in a log file (%ProgramData%\Wendrel\NAME.log), and is told
// the status at the end: a status of 2, a mistake in the settings, fails the
// start once, with no restart. systemd needs nothing of the kind.
#if defined(Q_OS_WIN)
int runUnderServiceManager(const std::function<int()> &run);
#else
inline int runUnderServiceManager(const std::function<int()> &run)
{
    return run();
}
#endif
