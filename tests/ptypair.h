// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// A real pseudo-terminal for tests: the program opens the slave side by name as
// its serial port, and the test reads what arrives at the master side.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

class Pty
{
public:
    Pty()
    {
        char name[256] = {};
        if (::openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0) {
            m_slaveName = QString::fromLocal8Bit(name);
            termios raw{};
            ::tcgetattr(m_slave, &raw);
            ::cfmakeraw(&raw);
            ::tcsetattr(m_slave, TCSANOW, &raw);
            ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
            // A program the test starts must not inherit the line: it would
            // keep the device alive after the test pulls it.
            ::fcntl(m_master, F_SETFD, FD_CLOEXEC);
            ::fcntl(m_slave, F_SETFD, FD_CLOEXEC);
        }
    }
    ~Pty()
    {
        closeMaster();
        if (m_slave >= 0)
            ::close(m_slave);
    }
    Pty(const Pty &) = delete;
    Pty &operator=(const Pty &) = delete;

    bool isValid() const { return !m_slaveName.isEmpty(); }
    QString slaveName() const { return m_slaveName; }
    int slaveFd() const { return m_slave; }

    // Everything that arrives within the time given.
    QByteArray readFor(int milliseconds) { return read(-1, milliseconds); }
    // Stops as soon as count bytes have come, or when the time is up.
    QByteArray readUpTo(int count, int milliseconds) { return read(count, milliseconds); }

    // As readUpTo, but the event loop keeps turning meanwhile, so the program
    // under test can go on ticking in this same process.
    QByteArray readWhileRunning(int count, int milliseconds)
    {
        QByteArray received;
        QElapsedTimer clock;
        clock.start();
        while (received.size() < count && clock.elapsed() < milliseconds) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            received += readUpTo(count - int(received.size()), 5);
        }
        return received;
    }

    // Hangs up the line: the program's side sees the device go away.
    void closeMaster()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    QByteArray read(int count, int milliseconds)
    {
        QByteArray received;
        QElapsedTimer clock;
        clock.start();
        while (m_master >= 0 && (count < 0 || received.size() < count)) {
            const qint64 left = milliseconds - clock.elapsed();
            if (left <= 0)
                break;
            pollfd waiting{ m_master, POLLIN, 0 };
            if (::poll(&waiting, 1, int(left)) <= 0)
                continue;
            char buffer[256];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                received.append(buffer, int(n));
            else if (n < 0 && errno != EAGAIN && errno != EINTR)
                ::usleep(10000); // no slave open just now: nothing to read
        }
        return received;
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_slaveName;
};

#include "openerror.h"
#include "serialport/qtserialcomm.h"

// CPU time this process has used so far, user and system, in milliseconds.
#include <sys/resource.h>
inline qint64 processCpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// Time the host gave this virtual machine's cores to other guests, since boot.
inline qint64 stolenMs()
{
    QFile stat(QStringLiteral("/proc/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = stat.readLine().simplified().split(' ');
    return fields.size() > 8 ? fields.at(8).toLongLong() * 1000 / ::sysconf(_SC_CLK_TCK) : 0;
}

// The CPU this process uses while the event loop runs for `ms`. Time the host
// takes away lands on whoever was running then (one burst here made a timer
// program look eight times busier), so a wait in which it took more than 50 ms
// is measured again, at most twice.
inline qint64 cpuMsWhileWaiting(int ms)
{
    qint64 used = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const qint64 cpuBefore = processCpuMs();
        const qint64 stolenBefore = stolenMs();
        QTest::qWait(ms);
        used = processCpuMs() - cpuBefore;
        if (stolenMs() - stolenBefore <= 50)
            break;
    }
    return used;
}

// The environment of a program the test starts, with no display of any kind.
#include <QProcessEnvironment>
inline QProcessEnvironment withoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    return environment;
}
