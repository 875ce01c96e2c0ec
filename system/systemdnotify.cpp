// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/systemdnotify.h"

#include <QtGlobal>

#include <algorithm>
#include <climits>

#if defined(Q_OS_UNIX)
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#endif

SystemdNotify::SystemdNotify()
{
#if defined(Q_OS_UNIX)
    m_address = qgetenv("NOTIFY_SOCKET");
    sockaddr_un unused{};
    if (m_address.isEmpty() || size_t(m_address.size()) >= sizeof unused.sun_path)
        return;
    // '@' names a socket in the abstract namespace, whose name starts with a NUL.
    if (m_address.startsWith('@'))
        m_address[0] = '\0';
    else if (!m_address.startsWith('/'))
        return;
    m_socket = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);

    // The watchdog is ours only when it names this process, or no process.
    bool isNumber = false;
    const qint64 usec = qEnvironmentVariable("WATCHDOG_USEC").toLongLong(&isNumber);
    const QByteArray pid = qgetenv("WATCHDOG_PID");
    if (m_socket < 0 || !isNumber || usec <= 0
        || (!pid.isEmpty() && pid.toLongLong() != qint64(::getpid())))
        return;
    // A timer counts milliseconds in an int: a watchdog of more than 49 days
    // is fed every 24 days, not at an interval cut to a few milliseconds.
    m_watchdog.setInterval(int(std::clamp<qint64>(usec / 2000, 1, INT_MAX)));
    QObject::connect(&m_watchdog, &QTimer::timeout, &m_watchdog,
                     [this] { send(QByteArrayLiteral("WATCHDOG=1")); });
    m_watchdog.start();
#endif
}

SystemdNotify::~SystemdNotify()
{
#if defined(Q_OS_UNIX)
    if (m_socket >= 0)
        ::close(m_socket);
#endif
}

void SystemdNotify::ready()
{
    send(QByteArrayLiteral("READY=1"));
}

void SystemdNotify::status(const QString &status)
{
    QString line = status;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    send("STATUS=" + line.toUtf8());
}

void SystemdNotify::stopping()
{
    send(QByteArrayLiteral("STOPPING=1"));
}

// A message that cannot go now (the manager is not reading) is not waited for.
void SystemdNotify::send(const QByteArray &message)
{
#if defined(Q_OS_UNIX)
    if (m_socket < 0)
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, m_address.constData(), size_t(m_address.size()));
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + size_t(m_address.size()));
    [[maybe_unused]] const ssize_t sent = ::sendto(
            m_socket, message.constData(), size_t(message.size()), MSG_DONTWAIT | MSG_NOSIGNAL,
            reinterpret_cast<const sockaddr *>(&address), length);
#else
    Q_UNUSED(message);
#endif
}
