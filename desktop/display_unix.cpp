// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Asks the display Qt would use, the X server or the Wayland compositor, as
// Qt will: the platform from -platform or QT_QPA_PLATFORM, else Wayland in a
// Wayland session and X11 elsewhere.
#include "desktop/display.h"

#include <QDir>
#include <QtGui/qtguiglobal.h>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

// The value of a Qt option ("-platform xcb", "--platform=xcb"), or empty.
static QString option(const QStringList &arguments, const QString &name)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        QString argument = arguments.at(i);
        if (argument.startsWith(QLatin1String("--")))
            argument.remove(0, 1);
        if (argument == QLatin1Char('-') + name)
            return arguments.value(i + 1);
        if (argument.startsWith(QLatin1Char('-') + name + QLatin1Char('=')))
            return argument.section(QLatin1Char('='), 1);
    }
    return {};
}

static QString xDisplay(const QStringList &arguments)
{
    const QString display = option(arguments, QStringLiteral("display"));
    return display.isEmpty() ? qEnvironmentVariable("DISPLAY") : display;
}

static QString reachX(const QString &display)
{
    if (display.isEmpty())
        return QStringLiteral("there is no display (DISPLAY is not set)");
#if QT_CONFIG(xcb)
    xcb_connection_t *connection = xcb_connect(display.toLocal8Bit().constData(), nullptr);
    const int error = xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    if (error != 0)
        return QStringLiteral("cannot reach the X display %1").arg(display);
#endif
    return {};
}

static QString reachWayland()
{
    QString name = qEnvironmentVariable("WAYLAND_DISPLAY", QStringLiteral("wayland-0"));
    if (!name.startsWith(QLatin1Char('/'))) {
        const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
        if (runtime.isEmpty())
            return QStringLiteral("cannot reach the Wayland display %1 (XDG_RUNTIME_DIR is not "
                                  "set)")
                    .arg(name);
        name = QDir(runtime).filePath(name);
    }
    sockaddr_un address{};
    const QByteArray path = name.toLocal8Bit();
    if (size_t(path.size()) >= sizeof address.sun_path)
        return QStringLiteral("cannot reach the Wayland display %1 (its name is too long)")
                .arg(name);
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return QStringLiteral("cannot reach the Wayland display %1 (socket: %2)")
                .arg(name, qt_error_string(errno));
    const bool reached = ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    const int error = errno;
    ::close(fd);
    if (!reached)
        return QStringLiteral("cannot reach the Wayland display %1 (%2)")
                .arg(name, qt_error_string(error));
    return {};
}

QString unreachableDisplay(const QStringList &arguments)
{
    QString platform = option(arguments, QStringLiteral("platform"));
    if (platform.isEmpty())
        platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    platform = platform.section(QLatin1Char(';'), 0, 0).section(QLatin1Char(':'), 0, 0);
    if (platform == QLatin1String("xcb"))
        return reachX(xDisplay(arguments));
    if (platform == QLatin1String("wayland"))
        return reachWayland();
    if (!platform.isEmpty())
        return {}; // offscreen, vnc, eglfs...: Qt's own to judge
    // Qt's own choice: Wayland first in a Wayland session, X11 otherwise or
    // where Wayland fails.
    if (qEnvironmentVariable("XDG_SESSION_TYPE") == QLatin1String("wayland")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        QString wayland = reachWayland();
        if (wayland.isEmpty() || xDisplay(arguments).isEmpty())
            return wayland;
    }
    return reachX(xDisplay(arguments));
}
