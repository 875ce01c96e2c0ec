// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/terminationsignals.h"

#include <QSocketNotifier>

#if defined(Q_OS_UNIX)
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

// A signal handler may do next to nothing: it writes the signal's number into
// a socket, and the event loop reads it from there.
static int s_writeEnd = -1;

static void onSignal(int signal)
{
    const char number = char(signal);
    if (s_writeEnd >= 0) [[maybe_unused]]
        const ssize_t written = ::write(s_writeEnd, &number, 1);
}

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal))
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0)
        return;
    m_readEnd = ends[0];
    s_writeEnd = ends[1];
    m_notifier = new QSocketNotifier(m_readEnd, QSocketNotifier::Read);
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] {
        char number = 0;
        while (::read(m_readEnd, &number, 1) == 1) {
            if (m_onSignal)
                m_onSignal(number);
        }
    });
    struct sigaction action
    {
    };
    action.sa_handler = ::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        ::sigaction(signal, &action, nullptr);
}

TerminationSignals::~TerminationSignals()
{
    for (int signal : { SIGTERM, SIGINT, SIGHUP })
        ::signal(signal, SIG_DFL);
    delete m_notifier;
    if (m_readEnd >= 0)
        ::close(m_readEnd);
    if (s_writeEnd >= 0)
        ::close(s_writeEnd);
    s_writeEnd = -1;
}

#else

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal))
{
}

TerminationSignals::~TerminationSignals() = default;

#endif
