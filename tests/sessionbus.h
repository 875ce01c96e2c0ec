// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// A session bus of the test's own, and the desktop's notification service as
// far as the program uses it. What the machine has installed decides nothing.
#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

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
        // Only what a bus needs: no service directories, so it starts nothing.
        config.write("<busconfig><type>session</type><listen>unix:dir="
                     + QFile::encodeName(m_folder.path())
                     + "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                       "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
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

// The desktop's notification service: it keeps each notification asked for,
// hands out numbers, and notes which number each asked to replace.
class NotificationService : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    bool serveOn(QDBusConnection bus)
    {
        return bus.registerObject("/org/freedesktop/Notifications", this,
                                  QDBusConnection::ExportAllSlots)
                && bus.registerService("org.freedesktop.Notifications");
    }
    QStringList shown;    // "summary: body"
    QList<uint> replaced; // the number each asked to replace

public Q_SLOTS:
    uint Notify(const QString &, uint replaces, const QString &, const QString &summary,
                const QString &body, const QStringList &, const QVariantMap &, int)
    {
        shown << summary + ": " + body;
        replaced << replaces;
        return 40 + uint(shown.size());
    }
};
