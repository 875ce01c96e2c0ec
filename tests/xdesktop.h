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
        m_trayer.start("trayer", { "--edge", "top", "--align", "right", "--widthtype", "pixel",
                                   "--width", "120", "--height", "32", "--SetDockType", "false" });
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
