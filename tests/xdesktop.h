// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// For the tests that run under a real X server (xvfb-run): a real XEmbed
// notification area (Debian's trayer) and xdotool for real mouse input.
#pragma once

#include <QProcess>
#include <QSystemTrayIcon>
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
