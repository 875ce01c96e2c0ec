// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// For the tests that run under a real X server (xvfb-run): a real XEmbed
// notification area (Debian's trayer), xdotool for real mouse input, and a
// session bus of the test's own with a notification service it serves.
#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QTemporaryDir>
#include <QTest>

class TrayHost
{
public:
    ~TrayHost()
    {
        m_trayer.kill();
        m_trayer.waitForFinished(2000);
    }
    // Starts trayer and waits until Qt sees a notification area.
    bool start()
    {
        m_trayer.start("trayer",
                       { "--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                         "120", "--height", "32", "--SetDockType", "false" });
        if (!m_trayer.waitForStarted(5000))
            return false;
        return QTest::qWaitFor([] { return QSystemTrayIcon::isSystemTrayAvailable(); }, 10000);
    }

private:
    QProcess m_trayer;
};

// Runs xdotool and returns what it printed; ok tells whether it succeeded.
inline QString xdotool(const QStringList &arguments, bool *ok = nullptr)
{
    QProcess tool;
    tool.start("xdotool", arguments);
    const bool finished = tool.waitForFinished(10000);
    if (ok)
        *ok = finished && tool.exitStatus() == QProcess::NormalExit && tool.exitCode() == 0;
    return QString::fromLocal8Bit(tool.readAllStandardOutput()).trimmed();
}

// The program's visible windows, small (its icon in the tray) or not.
inline QStringList visibleWindows(qint64 pid, bool small)
{
    const QStringList windows
            = xdotool({ "search", "--onlyvisible", "--pid", QString::number(pid) })
                      .split('\n', Qt::SkipEmptyParts);
    QStringList found;
    for (const QString &window : windows) {
        const QString geometry = xdotool({ "getwindowgeometry", "--shell", window });
        const int width = geometry.section("WIDTH=", 1).section('\n', 0, 0).toInt();
        if (width > 0 && (width <= 32) == small)
            found << window;
    }
    return found;
}

inline int iconsInTray(qint64 pid)
{
    return int(visibleWindows(pid, true).size());
}

// True once the window shows the gradient's magenta at its top (at x pixels
// from its left): it is mapped, painted and ready for the mouse.
inline bool painted(const QString &window, int x = 200)
{
    QProcess grab;
    grab.start("import",
               { "-window", window, "-crop", QStringLiteral("1x1+%1+1").arg(x), "-depth", "8",
                 "txt:-" });
    if (!grab.waitForFinished(5000))
        return false;
    const QString pixel = QString::fromLatin1(grab.readAllStandardOutput()).section('#', -1);
    const uint rgb = pixel.left(6).toUInt(nullptr, 16);
    return (rgb >> 16) > 200 && ((rgb >> 8) & 0xff) < 40 && (rgb & 0xff) > 150;
}

// What a test gives a program that is to have no session bus at all: an
// address nothing listens at. (With none set and a display there, the D-Bus
// library would start a bus through X11, and that bus the machine's own
// notification service.)
inline const QString NoSessionBus = QStringLiteral("unix:path=/nonexistent/wendrel-no-session-bus");

// A session bus of the test's own: a private dbus-daemon that starts no
// service at all, whatever the machine has installed. What a test serves on it
// is all there is.
class PrivateSessionBus
{
public:
    ~PrivateSessionBus()
    {
        if (!m_connectionName.isEmpty())
            QDBusConnection::disconnectFromBus(m_connectionName);
        m_daemon.kill();
        m_daemon.waitForFinished(2000);
    }
    bool start()
    {
        QFile config(m_folder.filePath("bus.conf"));
        if (!m_folder.isValid() || !config.open(QIODevice::WriteOnly))
            return false;
        config.write(
                R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=)"
                + QFile::encodeName(m_folder.path()) + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
)");
        config.close();
        m_daemon.start("dbus-daemon",
                       { "--config-file=" + config.fileName(), "--nofork", "--print-address" });
        if (!m_daemon.waitForStarted(5000) || !m_daemon.waitForReadyRead(5000))
            return false;
        m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
        return !m_address.isEmpty();
    }
    QString address() const { return m_address; }
    // The test's own connection to it, to serve on.
    QDBusConnection connection()
    {
        m_connectionName = QStringLiteral("test-bus");
        return QDBusConnection::connectToBus(m_address, m_connectionName);
    }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QString m_connectionName;
};
