// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/terminationsignals.h"

#include "engine/logging.h"

#include <QSocketNotifier>

#include <cerrno>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

// A signal handler may do next to nothing: it writes the signal's number into
// a socket, and the event loop reads it from there. The write end is set
// before the handler is installed and cleared only after it is gone; the
// handler keeps errno as it found it, since it may come between a failed call
// and the look at its errno.
static volatile std::sig_atomic_t s_writeEnd = -1;

static void onSignal(int signal)
{
    const int savedErrno = errno;
    const char number = char(signal);
    const int writeEnd = s_writeEnd;
    if (writeEnd >= 0) [[maybe_unused]]
        const ssize_t written = ::write(writeEnd, &number, 1);
    errno = savedErrno;
}

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal)
    : m_onSignal(std::move(onSignal))
{
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0) {
        qCWarning(lcWendrel).noquote() << "Cannot catch termination signals ("
                        + qt_error_string(errno)
                        + "): a stop ends the program at once, without closing the port";
        return;
    }
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
    for (int signal : { SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2 }) {
        if (::sigaction(signal, &action, nullptr) != 0)
            qCWarning(lcWendrel).noquote()
                    << QStringLiteral("Cannot catch signal %1 (sigaction: %2): it ends the "
                                      "program at once, without closing the port")
                               .arg(signal)
                               .arg(qt_error_string(errno));
    }
}

void TerminationSignals::deliver(int signal)
{
    ::raise(signal);
}

TerminationSignals::~TerminationSignals()
{
    for (int signal : { SIGTERM, SIGINT, SIGHUP, SIGUSR1, SIGUSR2 })
        ::signal(signal, SIG_DFL);
    delete m_notifier;
    if (m_readEnd >= 0)
        ::close(m_readEnd);
    if (s_writeEnd >= 0)
        ::close(s_writeEnd);
    s_writeEnd = -1;
}
