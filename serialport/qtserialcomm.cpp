// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "serialport/serialports.h"

#include "engine/logging.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>
#include <QSocketNotifier>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <csignal>
#include <climits>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#endif

QString defaultSerialDevice(Integer port)
{
    return QStringLiteral("/dev/ttyS%1").arg(port - 1);
}

// The group that owns a device ("dialout"), where joining it would let a user
// open the device; empty when it cannot be told, when the group may not read
// and write it either, and for root's group, which is no group to join.
static QString deviceGroup(const QString &device)
{
#if defined(Q_OS_UNIX)
    struct stat info
    {
    };
    if (::stat(device.toLocal8Bit().constData(), &info) != 0)
        return {};
    if (info.st_gid == 0 || (info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return {};
    if (const group *owner = ::getgrgid(info.st_gid))
        return QString::fromLocal8Bit(owner->gr_name);
#else
    Q_UNUSED(device);
#endif
    return {};
}

bool serialDeviceAccessDenied(const QString &device)
{
#if defined(Q_OS_UNIX)
    const QByteArray path = device.toLocal8Bit();
    return ::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES;
#else
    Q_UNUSED(device);
    return false;
#endif
}

bool serialDeviceOpenRefused(const QString &device)
{
    const int fd
            = ::open(device.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return errno == EPERM;
}

QString lockFileName(QString device)
{
    if (device.startsWith(QLatin1String("/dev/")))
        device.remove(0, 5);
    return QStringLiteral("LCK..") + device.replace(QLatin1Char('/'), QLatin1Char('_'));
}

qint64 serialDeviceLockedElsewhere(const QString &device)
{
#if defined(Q_OS_UNIX)
    QStringList names{ lockFileName(device) };
    const QString canonical = QFileInfo(device).canonicalFilePath();
    if (!canonical.isEmpty() && canonical != device)
        names << lockFileName(canonical);
    for (const QString &directory : { QStringLiteral("/var/lock"), QStringLiteral("/run/lock") }) {
        for (const QString &name : names) {
            QFile lock(directory + QLatin1Char('/') + name);
            if (!lock.open(QIODevice::ReadOnly))
                continue;
            bool isNumber = false;
            const qint64 pid = lock.readLine(64).trimmed().toLongLong(&isNumber);
            if (!isNumber || pid <= 0 || pid == ::getpid())
                continue;
            if (::kill(pid_t(pid), 0) == 0 || errno == EPERM)
                return pid;
        }
    }
#else
    Q_UNUSED(device);
#endif
    return 0;
}

// Where Qt keeps the lock of a system device, by Qt's own rule: the first of
// these folders that may be read and holds the lock already or may be
// written. Empty when none will do: Qt then refuses the port, and writes a
// warning of eleven lines at every try.
static QString qtLockFilePath(const QString &system)
{
#if defined(Q_OS_UNIX)
    static const QStringList directories{
        QStringLiteral("/var/lock"),
        QStringLiteral("/etc/locks"),
        QStringLiteral("/var/spool/locks"),
        QStringLiteral("/var/spool/uucp"),
        QStringLiteral("/tmp"),
        QStringLiteral("/var/tmp"),
        QStringLiteral("/var/lock/lockdev"),
        QStringLiteral("/run/lock"),
        QStandardPaths::writableLocation(QStandardPaths::TempLocation),
    };
    const QString name = QLatin1Char('/') + lockFileName(system);
    for (const QString &directory : directories) {
        const QFileInfo folder(directory);
        if (folder.isReadable() && (QFile::exists(directory + name) || folder.isWritable()))
            return directory + name;
    }
#else
    Q_UNUSED(system);
#endif
    return {};
}

QtSerialComm::QtSerialComm()
{
    for (const Integer port : { Integer(1), Integer(2) }) {
        if (const QString path = defaultSerialDevice(port); !path.isEmpty())
            m_devices.insert(port, path);
    }
    // A failing device is reported once and closed at once: Qt keeps signalling a
    // vanished device in a tight loop for as long as it stays open.
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) { onPortError(error); });
    // Nothing is ever read, but the port is opened for reading so that a hang-up
    // is noticed at once; whatever a camera sends is dropped.
    QObject::connect(&m_port, &QSerialPort::readyRead, &m_port, [this] { m_port.readAll(); });
}

QtSerialComm::~QtSerialComm()
{
    m_lostHandler = nullptr;
    close();
}

// A bare name ("ttyUSB0") is the one in /dev, as Qt takes it; a name with a
// folder in it ("cams/left", "./cam") is a path from the working directory.
// The lock file, the permission message and the stable link must look at the
// same file, so the name is made that full path once.
QString fullDevicePath(const QString &device)
{
#if defined(Q_OS_UNIX)
    if (device.isEmpty() || device.startsWith(QLatin1Char('/')))
        return device;
    if (device.contains(QLatin1Char('/')))
        return QFileInfo(device).absoluteFilePath();
    return QStringLiteral("/dev/") + device;
#else
    return device;
#endif
}

void QtSerialComm::setDevice(Integer port, const QString &device)
{
    m_stableLinks.remove(port);
    if (device.isEmpty())
        m_devices.remove(port);
    else
        m_devices.insert(port, fullDevicePath(device));
}

QString QtSerialComm::device(Integer port) const
{
    return m_devices.value(port);
}

QList<SerialDevice> QtSerialComm::availableDevices() const
{
    return availableSerialDevices(m_stableLinkDirectory);
}

// The link in the directory that leads to the same device as the path, if any;
// none for a path that is itself such a link.
static QString stableLinkIn(const QString &directory, const QString &path)
{
    const QString target = QFileInfo(path).canonicalFilePath();
    const QDir links(directory);
    if (target.isEmpty() || QFileInfo(path).absolutePath() == links.absolutePath())
        return {};
    const QFileInfoList entries = links.entryInfoList(QDir::System | QDir::Files, QDir::Name);
    const auto link
            = std::find_if(entries.begin(), entries.end(), [&target](const QFileInfo &entry) {
                  return entry.isSymLink() && entry.canonicalFilePath() == target;
              });
    return link == entries.end() ? QString() : link->absoluteFilePath();
}

QList<SerialDevice> availableSerialDevices()
{
    return availableSerialDevices(QStringLiteral("/dev/serial/by-id"));
}

QList<SerialDevice> availableSerialDevices(const QString &stableLinkDirectory)
{
    QList<SerialDevice> devices;
    for (const QSerialPortInfo &port : QSerialPortInfo::availablePorts()) {
        const QString link = stableLinkIn(stableLinkDirectory, port.systemLocation());
        devices << SerialDevice{ link.isEmpty() ? port.systemLocation() : link,
                                 port.systemLocation(), port.description(), port.manufacturer() };
    }
    std::sort(devices.begin(), devices.end(),
              [](const SerialDevice &a, const SerialDevice &b) { return a.path < b.path; });
    return devices;
}

// The adapter's serial number, where the system tells one (USB adapters do),
// read from the kernel's own record of the device that opened: the USB
// device above its tty in sysfs. udev's database, which Qt's port list reads,
// may not have the new adapter yet when it is opened a moment after it came.
static QString serialNumberOf(const QString &sysfs, const QString &systemLocation)
{
#if defined(Q_OS_LINUX)
    const QString tty = QFileInfo(systemLocation).fileName();
    QDir device(QFileInfo(sysfs + QStringLiteral("/class/tty/") + tty + QStringLiteral("/device"))
                        .canonicalFilePath());
    const QString devices = QDir(sysfs + QStringLiteral("/devices")).canonicalPath();
    if (device.path().isEmpty() || device.path() == QLatin1String("."))
        return {};
    for (; device.path().startsWith(devices) && device.path() != devices; device.cdUp()) {
        if (!device.exists(QStringLiteral("idVendor")))
            continue;
        QFile serial(device.filePath(QStringLiteral("serial")));
        if (!serial.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(serial.readAll()).trimmed();
    }
#else
    Q_UNUSED(sysfs);
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    const auto port = std::find_if(ports.begin(), ports.end(), [&](const QSerialPortInfo &info) {
        return info.systemLocation() == systemLocation;
    });
    if (port != ports.end())
        return port->serialNumber();
#endif
    return {};
}

QString QtSerialComm::openedThrough(Integer port) const
{
    return m_stableLinks.value(port, m_devices.value(port));
}

QString QtSerialComm::stableLinkFor(const QString &device) const
{
    return stableLinkIn(m_stableLinkDirectory, device);
}

void QtSerialComm::setCommPort(Integer port)
{
    if (m_port.isOpen())
        throw SerialError(SerialErrors::PortChangeWhileOpen,
                          QStringLiteral("Operation not valid while the port is opened"),
                          m_openDevice);
    m_commPort = port;
}

void QtSerialComm::setPortOpen(bool open)
{
    m_lost.reset();
    if (open) {
        this->open();
    } else {
        close();
        m_stableLinks.clear();
    }
}

void QtSerialComm::open()
{
    // Errors name the device as the user named it; the open itself may go
    // through the adapter's stable link.
    const QString named = m_devices.value(m_commPort);
    QString path = openedThrough(m_commPort);
    // A learnt link that leads nowhere while the name given leads somewhere:
    // the adapter is gone and another one has its name. That one is opened;
    // the first adapter's link still comes first whenever it is back.
    if (path != named && !QFileInfo::exists(path) && QFileInfo::exists(named))
        path = named;
    if (m_port.isOpen())
        throw SerialError(SerialErrors::PortInUse, QStringLiteral("Port already open"),
                          m_openDevice);
    if (path.isEmpty())
        throw SerialError(SerialErrors::InvalidPortNumber, QStringLiteral("Invalid port number"),
                          QStringLiteral("port %1").arg(m_commPort));

        // Opened under the system device's own name, so that the lock file is the
        // one minicom, cu or tio look for ("LCK..ttyUSB0", not a link's name), and
        // one whose name fits in a directory: a missing device is said to be
        // missing, not "in use" because its lock could not be made.
#if defined(Q_OS_UNIX)
    struct stat node
    {
    };
    if (::stat(path.toLocal8Bit().constData(), &node) != 0)
        throw SerialError(SerialErrors::InvalidPortNumber, qt_error_string(errno), named);
    const QString system = QFileInfo(path).canonicalFilePath();
    if (lockFileName(system).toLocal8Bit().size() > NAME_MAX)
        throw SerialError(SerialErrors::OpenFailed,
                          QStringLiteral("its name is too long for a lock file"), named);
#else
    const QString system = path;
#endif
    if (const qint64 holder = serialDeviceLockedElsewhere(path))
        throw SerialError(
                SerialErrors::PortInUse,
                QStringLiteral("the program with process ID %1 holds its lock").arg(holder), named);
    // Only where Qt keeps lock files at all: Windows has none.
    const QString lock = qtLockFilePath(system);
#if defined(Q_OS_UNIX)
    if (lock.isEmpty())
        throw SerialError(
                SerialErrors::OpenFailed,
                QStringLiteral("no folder for its lock file may be written, such as /run/lock"),
                named);
#endif

    m_port.setPortName(system);
    m_port.setReadBufferSize(1024);
    if (!m_port.open(QIODevice::ReadWrite))
        throw openError(named);

    const bool configured = m_port.setBaudRate(QSerialPort::Baud9600)
            && m_port.setParity(QSerialPort::NoParity) && m_port.setDataBits(QSerialPort::Data8)
            && m_port.setStopBits(QSerialPort::OneStop);
    if (!configured) {
        const QString why = m_port.errorString();
        m_port.close();
        throw SerialError(SerialErrors::CannotConfigure, why, named);
    }
    m_openDevice = named;
    // Others read the lock to learn who holds the device, whatever the umask.
    if (!lock.isEmpty())
        QFile::setPermissions(
                lock, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    // Written to the device directly, without Qt's buffer, so that a device
    // that takes nothing for a while is not mistaken for a lost one.
    m_writable
            = std::make_unique<QSocketNotifier>(qintptr(m_port.handle()), QSocketNotifier::Write);
    m_writable->setEnabled(false);
    QObject::connect(m_writable.get(), &QSocketNotifier::activated, m_writable.get(),
                     [this] { onWritable(); });
    m_reachedDevice = system;
    m_reachedSerialNumber = serialNumberOf(m_systemDirectory, m_reachedDevice);
    if (!m_stableLinks.contains(m_commPort)) {
        if (const QString link = stableLinkFor(path); !link.isEmpty())
            m_stableLinks.insert(m_commPort, link);
    }
}

SerialError QtSerialComm::openError(const QString &device) const
{
    const QString why = m_port.errorString();
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::UnsupportedOperationError: // exists, but is no serial port
    case QSerialPort::ResourceError:             // a node with no hardware behind it (EIO)
        return { SerialErrors::InvalidPortNumber, why, device };
    case QSerialPort::PermissionError:
        // Qt says the same for a lock held elsewhere, a busy device and a refusal
        // by the file's permissions; only the last is the user's to mend.
        if (serialDeviceAccessDenied(device))
            return { SerialErrors::PermissionDenied, why, device, deviceGroup(device) };
        // A refusal by the system, not by the file (a service's device filter):
        // no group helps, and the port is not in use.
        if (serialDeviceOpenRefused(device))
            return { SerialErrors::PermissionDenied, qt_error_string(EPERM), device };
        return { SerialErrors::PortInUse, why, device };
    case QSerialPort::OpenError:
        return { SerialErrors::PortInUse, why, device };
    default:
        return { SerialErrors::OpenFailed, why, device };
    }
}

void QtSerialComm::close()
{
    m_writable.reset();
    m_pending.clear();
    if (m_port.isOpen()) {
        // Output that waits in the kernel for the device (held back by flow
        // control, a camera that takes nothing) would hold the close there for
        // up to the port's closing_wait, 30 s by default, and the event loop
        // with it: it is thrown away first. What has reached the device, as
        // everything written to a pty has, is left alone.
        const int fd = int(m_port.handle());
        int waiting = 0;
        if (::ioctl(fd, TIOCOUTQ, &waiting) == 0 && waiting > 0 && ::tcflush(fd, TCOFLUSH) != 0)
            qCDebug(lcWendrel).noquote()
                    << "tcflush of" << m_openDevice << "failed:" << qt_error_string(errno);
        m_port.close();
    }
    m_port.clearError();
}

void QtSerialComm::setOutput(const QByteArray &bytes)
{
    if (!m_port.isOpen() && m_lost)
        throw *m_lost;
    if (!m_port.isOpen())
        throw SerialError(SerialErrors::PortNotOpen, QStringLiteral("The port is not open"),
                          m_devices.value(m_commPort));
    if (!m_pending.isEmpty())
        return; // the last write still waits: the device gets one, not a burst
    m_pending = bytes;
    writePending();
}

// How many bytes the device took at once: 0 when it takes nothing just now,
// -1 when the write failed.
static qint64 writeNow(QSerialPort &port, const QByteArray &bytes)
{
#if defined(Q_OS_UNIX)
    for (;;) {
        const ssize_t written = ::write(port.handle(), bytes.constData(), size_t(bytes.size()));
        if (written >= 0)
            return written;
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return 0;
        if (errno != EINTR)
            return -1;
    }
#else
    const qint64 written = port.write(bytes);
    port.flush();
    return written;
#endif
}

// Writes what waits until the device takes no more; throws PortLost, with the
// port closed, when a write fails.
void QtSerialComm::writePending()
{
    while (!m_pending.isEmpty()) {
        const qint64 written = writeNow(m_port, m_pending);
        if (written < 0) {
#if defined(Q_OS_UNIX)
            const QString why = qt_error_string(errno);
#else
            const QString why = m_port.errorString();
#endif
            const SerialError lost(SerialErrors::PortLost, why, m_openDevice);
            close();
            throw lost;
        }
        if (written == 0)
            break;
        m_pending.remove(0, written);
    }
    if (m_writable)
        m_writable->setEnabled(!m_pending.isEmpty());
}

void QtSerialComm::onWritable()
{
    try {
        writePending();
    } catch (const SerialError &lost) {
        reportLost(lost);
        return;
    }
    if (m_pending.isEmpty() && m_drainedHandler)
        m_drainedHandler();
}

// Why the open device failed, from calls made now. Qt's error string cannot
// say it: a read that ends in a hang-up's end of file leaves errno as the last
// failed call left it (a lock file looked for, a link read, a write that
// would block), and Qt reports that.
static QString lossReason(QSerialPort &port)
{
#if defined(Q_OS_UNIX)
    const int fd = int(port.handle());
    pollfd probe{ fd, POLLIN | POLLOUT, 0 };
    if (::poll(&probe, 1, 0) < 0)
        return qt_error_string(errno);
    if (probe.revents & POLLNVAL)
        return qt_error_string(EBADF);
    char byte = 0;
    const ssize_t read = ::read(fd, &byte, 1); // whatever a camera sends is dropped anyway
    if (read < 0 && errno != EAGAIN && errno != EINTR)
        return qt_error_string(errno);
    if (read == 0 || (probe.revents & (POLLHUP | POLLERR)))
        return QStringLiteral("the device hung up");
    return QStringLiteral("the device reported an error");
#else
    return port.errorString();
#endif
}

void QtSerialComm::onPortError(QSerialPort::SerialPortError error)
{
    const bool fatal = error == QSerialPort::ResourceError || error == QSerialPort::ReadError
            || error == QSerialPort::WriteError;
    if (!fatal || !m_port.isOpen())
        return;
    const SerialError lost(SerialErrors::PortLost, lossReason(m_port), m_openDevice);
    close();
    reportLost(lost);
}

// Told from the event loop, not from inside Qt's own signal.
void QtSerialComm::reportLost(const SerialError &lost)
{
    m_lost = lost;
    QTimer::singleShot(0, &m_port, [this, lost] {
        if (m_lostHandler)
            m_lostHandler(lost);
    });
}
