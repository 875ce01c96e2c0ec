// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The desktop's notifications: the freedesktop notification service, which
// every desktop's shell offers, over the session bus. Nothing waits for it:
// its answer, the notification's number, is kept, so that the next
// notification replaces this one instead of piling up beside it.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class DesktopNotifications
{
public:
    // How long a notification asks to stay; the desktop may choose otherwise.
    static constexpr int NotificationMs = 10000;

    // False where there is no session bus to ask. Where the service turns the
    // notification away later (there is none on the bus), turnedAway runs.
    bool show(const QString &title, const QString &text, std::function<void()> turnedAway);

private:
    QObject m_answers; // the pending answers go with it
    uint m_lastNotification = 0;
};
