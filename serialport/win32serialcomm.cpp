// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "serialport/serialports.h"

#include <QCollator>
#include <QTimer>
#include <QWinEventNotifier>

#include <algorithm>

// clang-format off: windows.h first, the others lean on it.
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>
// clang-format on

QString defaultSerialDevice(Integer port)
{
    return QStringLiteral("COM%1").arg(port);
}

QString fullDevicePath(const QString &device)
{
    return device;
}

QString win32DevicePath(const QString &device)
{
    if (device.startsWith(QLatin1String("\\\\")))
        return device;
    return QStringLiteral("\\\\.\\") + device;
}

static QString systemMessage(DWORD error)
{
    return qt_error_string(int(error)).trimmed();
}

// A string value of a registry key, or empty.
static QString registryString(HKEY key, const wchar_t *name)
{
    wchar_t value[256] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(value), &size)
                != ERROR_SUCCESS
        || (type != REG_SZ && type != REG_EXPAND_SZ))
        return {};
    return QString::fromWCharArray(value, int(::wcsnlen(value, size / sizeof(wchar_t))));
}

static QString deviceProperty(HDEVINFO set, SP_DEVINFO_DATA &device, DWORD property)
{
    wchar_t value[256] = {};
    if (!::SetupDiGetDeviceRegistryPropertyW(set, &device, property, nullptr,
                                             reinterpret_cast<BYTE *>(value),
                                             sizeof value - sizeof(wchar_t), nullptr))
        return {};
    return QString::fromWCharArray(value);
}

// What Windows says of each port its device manager knows (an adapter's
// "USB Serial Port (COM7)" and its maker), by the port's name.
static QMap<QString, SerialDevice> describedPorts()
{
    QMap<QString, SerialDevice> ports;
    const HDEVINFO set
            = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return ports;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(set, i, &device); ++i) {
        const HKEY key
                = ::SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const QString name = registryString(key, L"PortName");
        ::RegCloseKey(key);
        if (name.isEmpty())
            continue;
        QString description = deviceProperty(set, device, SPDRP_FRIENDLYNAME);
        if (description.isEmpty())
            description = deviceProperty(set, device, SPDRP_DEVICEDESC);
        ports.insert(
                name,
                SerialDevice{ name, name, description, deviceProperty(set, device, SPDRP_MFG) });
    }
    ::SetupDiDestroyDeviceInfoList(set);
    return ports;
}

// The COM ports Windows has: every value of HARDWARE\DEVICEMAP\SERIALCOMM
// names one, whatever driver made it; the device manager adds what it says
// of them.
QList<SerialDevice> availableSerialDevices()
{
    QMap<QString, SerialDevice> ports = describedPorts();
    HKEY map = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &map)
        == ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            wchar_t valueName[256] = {};
            DWORD valueNameLength = 255;
            wchar_t data[256] = {};
            DWORD size = sizeof data - sizeof(wchar_t);
            DWORD type = 0;
            const LONG result = ::RegEnumValueW(map, i, valueName, &valueNameLength, nullptr, &type,
                                                reinterpret_cast<BYTE *>(data), &size);
            if (result == ERROR_NO_MORE_ITEMS)
                break;
            if (result != ERROR_SUCCESS || type != REG_SZ)
                continue;
            const QString name = QString::fromWCharArray(data);
            if (!name.isEmpty() && !ports.contains(name))
                ports.insert(name, SerialDevice{ name, name, {}, {} });
        }
        ::RegCloseKey(map);
    }
    QList<SerialDevice> devices = ports.values();
    // COM2 before COM10.
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(devices.begin(), devices.end(),
              [&numeric](const SerialDevice &a, const SerialDevice &b) {
                  return numeric.compare(a.path, b.path) < 0;
              });
    return devices;
}

// The open port and its two overlapped operations: the write under way, and a
// one-byte read kept pending to notice a device that goes away. Each has a
// manual-reset event of its own that the event loop waits on.
struct Win32SerialComm::Port
{
    HANDLE handle = INVALID_HANDLE_VALUE;
    HANDLE claim = nullptr; // this session's claim on the port, see open()
    OVERLAPPED write{};
    OVERLAPPED read{};
    bool writing = false;
    bool reading = false;
    char received = 0;
    QWinEventNotifier writeDone;
    QWinEventNotifier readDone;

    Port()
    {
        write.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        read.hEvent = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        writeDone.setHandle(write.hEvent);
        readDone.setHandle(read.hEvent);
    }
    ~Port()
    {
        close();
        writeDone.setEnabled(false);
        readDone.setEnabled(false);
        ::CloseHandle(write.hEvent);
        ::CloseHandle(read.hEvent);
    }
    Port(const Port &) = delete;
    Port &operator=(const Port &) = delete;

    bool isOpen() const { return handle != INVALID_HANDLE_VALUE; }

    // Throws away what waits for the device and ends both operations before
    // the handle goes, so a close never waits on a device that takes nothing.
    void close()
    {
        if (claim) {
            ::CloseHandle(claim);
            claim = nullptr;
        }
        if (!isOpen())
            return;
        ::PurgeComm(handle, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        ::CancelIo(handle);
        DWORD ignored = 0;
        if (writing)
            ::GetOverlappedResult(handle, &write, &ignored, TRUE);
        if (reading)
            ::GetOverlappedResult(handle, &read, &ignored, TRUE);
        writing = reading = false;
        ::ResetEvent(write.hEvent);
        ::ResetEvent(read.hEvent);
        ::CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
};

Win32SerialComm::Win32SerialComm() : m_port(std::make_unique<Port>())
{
    for (const Integer port : { Integer(1), Integer(2) })
        m_devices.insert(port, defaultSerialDevice(port));
    QObject::connect(&m_port->writeDone, &QWinEventNotifier::activated, &m_port->writeDone,
                     [this] { onWriteDone(); });
    QObject::connect(&m_port->readDone, &QWinEventNotifier::activated, &m_port->readDone,
                     [this] { onWatchDone(); });
}

Win32SerialComm::~Win32SerialComm()
{
    m_lostHandler = nullptr;
    close();
}

void Win32SerialComm::setDevice(Integer port, const QString &device)
{
    if (device.isEmpty())
        m_devices.remove(port);
    else
        m_devices.insert(port, fullDevicePath(device));
}

QString Win32SerialComm::device(Integer port) const
{
    return m_devices.value(port);
}

QList<SerialDevice> Win32SerialComm::availableDevices() const
{
    return availableSerialDevices();
}

void Win32SerialComm::setCommPort(Integer port)
{
    if (portOpen())
        throw SerialError(SerialErrors::PortChangeWhileOpen,
                          QStringLiteral("Operation not valid while the port is opened"),
                          m_openDevice);
    m_commPort = port;
}

bool Win32SerialComm::portOpen() const
{
    return m_port->isOpen();
}

void Win32SerialComm::setPortOpen(bool open)
{
    m_lost.reset();
    if (open)
        this->open();
    else
        close();
}

// What a failed CreateFile means to the user: no such port, or a port that
// another program has open (Windows lets one program at a time have it).
static SerialError openError(DWORD error, const QString &device)
{
    const QString why = systemMessage(error);
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_NOT_READY:
        return { SerialErrors::InvalidPortNumber, why, device };
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return { SerialErrors::PortInUse, why, device };
    default:
        return { SerialErrors::OpenFailed, why, device };
    }
}

void Win32SerialComm::open()
{
    const QString named = m_devices.value(m_commPort);
    if (portOpen())
        throw SerialError(SerialErrors::PortInUse, QStringLiteral("Port already open"),
                          m_openDevice);
    if (named.isEmpty())
        throw SerialError(SerialErrors::InvalidPortNumber, QStringLiteral("Invalid port number"),
                          QStringLiteral("port %1").arg(m_commPort));

    // Windows lets one program at a time have a port, and says "access
    // denied" to the next; Wine lets any number have it. So each Wendrel
    // also claims the port by a mutex of its name, as the lock file does on
    // Linux, and another Wendrel of the same session is told it is in use.
    const QString port = win32DevicePath(named).mid(4).toUpper();
    const std::wstring claimName = (QStringLiteral("Local\\Wendrel ") + port).toStdWString();
    m_port->claim = ::CreateMutexW(nullptr, FALSE, claimName.c_str());
    if (m_port->claim && ::GetLastError() == ERROR_ALREADY_EXISTS) {
        m_port->close();
        throw SerialError(SerialErrors::PortInUse, QStringLiteral("another Wendrel has it open"),
                          named);
    }

    // Opened for reading too: Wine refuses the communication settings on a
    // port opened for writing alone, and the pending read tells of a pull.
    const std::wstring path = win32DevicePath(named).toStdWString();
    const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        m_port->close();
        throw openError(error, named);
    }
    m_port->handle = handle;

    // 9600 baud, no parity, 8 data bits, 1 stop bit, no flow control; read
    // back, since a driver may take settings it does not apply. A file or a
    // device that is no serial port has no communication state at all.
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!::GetCommState(handle, &settings)) {
        const DWORD error = ::GetLastError();
        m_port->close();
        throw SerialError(SerialErrors::InvalidPortNumber,
                          QStringLiteral("it is not a serial port (%1)").arg(systemMessage(error)),
                          named);
    }
    settings.BaudRate = CBR_9600;
    settings.ByteSize = 8;
    settings.Parity = NOPARITY;
    settings.StopBits = ONESTOPBIT;
    settings.fBinary = TRUE;
    settings.fParity = FALSE;
    settings.fOutxCtsFlow = FALSE;
    settings.fOutxDsrFlow = FALSE;
    settings.fDtrControl = DTR_CONTROL_ENABLE;
    settings.fRtsControl = RTS_CONTROL_ENABLE;
    settings.fDsrSensitivity = FALSE;
    settings.fOutX = FALSE;
    settings.fInX = FALSE;
    settings.fNull = FALSE;
    settings.fAbortOnError = FALSE;
    DCB applied{};
    applied.DCBlength = sizeof applied;
    const bool configured = ::SetCommState(handle, &settings) && ::GetCommState(handle, &applied)
            && applied.BaudRate == CBR_9600 && applied.ByteSize == 8 && applied.Parity == NOPARITY
            && applied.StopBits == ONESTOPBIT;
    // No time-outs: a write waits for the device as long as it takes, and the
    // read only ends when a byte comes or the device goes.
    COMMTIMEOUTS timeouts{};
    if (!configured || !::SetCommTimeouts(handle, &timeouts)) {
        const DWORD error = ::GetLastError();
        m_port->close();
        throw SerialError(SerialErrors::CannotConfigure,
                          error ? systemMessage(error)
                                : QStringLiteral("it does not take 9600 baud, 8N1"),
                          named);
    }
    m_openDevice = named;
    if (const QString why = watch(); !why.isEmpty()) {
        m_port->close();
        throw SerialError(SerialErrors::PortLost, why, named);
    }
    m_reachedDevice = named;
}

void Win32SerialComm::close()
{
    m_pending.clear();
    m_port->close();
}

void Win32SerialComm::setOutput(const QByteArray &bytes)
{
    if (!portOpen() && m_lost)
        throw *m_lost;
    if (!portOpen())
        throw SerialError(SerialErrors::PortNotOpen, QStringLiteral("The port is not open"),
                          m_devices.value(m_commPort));
    if (!m_pending.isEmpty())
        return; // the last write still waits: the device gets one, not a burst
    m_pending = bytes;
    DWORD written = 0;
    if (::WriteFile(m_port->handle, m_pending.constData(), DWORD(m_pending.size()), &written,
                    &m_port->write)) {
        ::ResetEvent(m_port->write.hEvent);
        m_pending.clear();
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING) {
        m_port->writing = true;
        return;
    }
    const SerialError lost(SerialErrors::PortLost, systemMessage(error), m_openDevice);
    close();
    throw lost;
}

void Win32SerialComm::onWriteDone()
{
    ::ResetEvent(m_port->write.hEvent);
    if (!m_port->writing)
        return;
    m_port->writing = false;
    DWORD written = 0;
    if (!::GetOverlappedResult(m_port->handle, &m_port->write, &written, FALSE)) {
        lose(systemMessage(::GetLastError()));
        return;
    }
    m_pending.clear();
    if (m_drainedHandler)
        m_drainedHandler();
}

// Keeps a one-byte read pending. Nothing is ever read for its own sake: a
// camera's bytes are dropped, and a read that fails, or ends with nothing,
// is the device going away: the reason is returned, empty while all is well.
QString Win32SerialComm::watch()
{
    for (;;) {
        DWORD received = 0;
        if (!::ReadFile(m_port->handle, &m_port->received, 1, &received, &m_port->read)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_PENDING)
                return systemMessage(error);
            m_port->reading = true;
            return {};
        }
        ::ResetEvent(m_port->read.hEvent);
        if (received == 0)
            return QStringLiteral("the device hung up");
    }
}

void Win32SerialComm::onWatchDone()
{
    ::ResetEvent(m_port->read.hEvent);
    if (!m_port->reading)
        return;
    m_port->reading = false;
    DWORD received = 0;
    if (!::GetOverlappedResult(m_port->handle, &m_port->read, &received, FALSE))
        lose(systemMessage(::GetLastError()));
    else if (received == 0)
        lose(QStringLiteral("the device hung up"));
    else if (const QString why = watch(); !why.isEmpty())
        lose(why);
}

// The port closes at once and the run is told from the event loop, not from
// inside the notifier's own signal.
void Win32SerialComm::lose(const QString &why)
{
    const SerialError lost(SerialErrors::PortLost, why, m_openDevice);
    close();
    m_lost = lost;
    QTimer::singleShot(0, &m_port->readDone, [this, lost] {
        if (m_lostHandler)
            m_lostHandler(lost);
    });
}
