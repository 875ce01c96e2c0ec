// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Windows' termination signals: the console's Ctrl+C and Ctrl+Break, its
// window closing, a logoff and a shutdown. Windows calls the handler on a
// thread of its own; it hands the event to the UI thread and returns. For a
// close, logoff or shutdown the process ends when the handler returns, so
// there it waits (a few seconds at most) for the program to have closed its
// port.
#include "system/terminationsignals.h"

#include "engine/logging.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <windows.h>

static std::function<void(int)> *s_onSignal = nullptr;
static HANDLE s_ended = nullptr;

// Linux's numbers, so a handler reads the same on both: Ctrl+C is SIGINT,
// everything else SIGTERM.
static int signalFor(DWORD event)
{
    return event == CTRL_C_EVENT ? 2 : 15;
}

void TerminationSignals::deliver(int signal)
{
    if (QCoreApplication *app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
                app,
                [signal] {
                    if (s_onSignal)
                        (*s_onSignal)(signal);
                },
                Qt::QueuedConnection);
}

static BOOL WINAPI onConsoleEvent(DWORD event)
{
    if (!QCoreApplication::instance() || !s_onSignal)
        return FALSE;
    TerminationSignals::deliver(signalFor(event));
    if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
        ::WaitForSingleObject(s_ended, 4000);
    return TRUE;
}

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal))
{
    s_onSignal = &m_onSignal;
    s_ended = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!::SetConsoleCtrlHandler(onConsoleEvent, TRUE))
        qCWarning(lcWendrel).noquote() << "Cannot catch Ctrl+C ("
                        + qt_error_string(int(::GetLastError()))
                        + "): a stop ends the program at once, without closing the port";
}

TerminationSignals::~TerminationSignals()
{
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
    s_onSignal = nullptr;
    if (s_ended) {
        ::SetEvent(s_ended);
        ::CloseHandle(s_ended);
        s_ended = nullptr;
    }
}
