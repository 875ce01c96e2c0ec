// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "desktop/desktopnotifications.h"

#include <QGuiApplication>

#if QT_CONFIG(dbus)
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

bool DesktopNotifications::show(const QString &title, const QString &text,
                                std::function<void()> turnedAway)
{
#if QT_CONFIG(dbus)
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QDBusMessage notify = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"),
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    notify << QGuiApplication::applicationDisplayName() << m_lastNotification
           << QGuiApplication::desktopFileName() << title << text << QStringList() << QVariantMap()
           << NotificationMs;
    auto *answer = new QDBusPendingCallWatcher(bus.asyncCall(notify), &m_answers);
    QObject::connect(answer, &QDBusPendingCallWatcher::finished, &m_answers,
                     [this, turnedAway = std::move(turnedAway)](QDBusPendingCallWatcher *call) {
                         call->deleteLater();
                         const QDBusPendingReply<uint> reply = *call;
                         if (reply.isValid())
                             m_lastNotification = reply.value();
                         else if (turnedAway)
                             turnedAway();
                     });
    return true;
#else
    Q_UNUSED(title);
    Q_UNUSED(text);
    Q_UNUSED(turnedAway);
    return false;
#endif
}
