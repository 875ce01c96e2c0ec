// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The notification-area icon on top of QSystemTrayIcon, with no menu.
#pragma once

#include "desktop/desktopnotifications.h"
#include "desktop/notifyicon.h"

#include <QElapsedTimer>
#include <QSystemTrayIcon>

class QtNotifyIcon : public NotifyIcon
{
public:
    explicit QtNotifyIcon(const QIcon &icon);

    std::int32_t Shell_NotifyIconA(std::int32_t message, QByteArray &record) override;
    bool available() const override;
    bool canMinimise() const override;
    bool showMessage(const QString &title, const QString &text) override;
    void setUndeliveredHandler(UndeliveredHandler handler) override
    {
        m_undeliveredHandler = std::move(handler);
    }
    void setMouseHandler(MouseHandler handler) override { m_mouseHandler = std::move(handler); }

    // Turns a tray activation into the mouse messages the window expects. Trays
    // that speak D-Bus never report a double-click, only single activations, so
    // two of those within the double-click interval count as one.
    void activate(QSystemTrayIcon::ActivationReason reason, int doubleClickIntervalMs);

    bool isShown() const { return m_tray.isVisible(); }
    // Where the icon sits on the screen, as far as the tray tells.
    QRect geometry() const { return m_tray.geometry(); }

private:
    void deliver(std::int32_t mouseMessage);
    bool showBalloon(const QString &title, const QString &text);

    QSystemTrayIcon m_tray;
    MouseHandler m_mouseHandler;
    UndeliveredHandler m_undeliveredHandler;
    QElapsedTimer m_lastSingle; // first of a possible pair of single activations
    QElapsedTimer m_lastDouble; // a double-click just delivered, to drop its echo
    DesktopNotifications m_notifications;
};

// The tip the shell would show: the record's 64 tip bytes up to the first NUL.
QString notifyIconTip(const QByteArray &record);
