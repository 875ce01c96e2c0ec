// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "desktop/qtnotifyicon.h"

#include <QApplication>
#include <QStyleHints>

#if QT_CONFIG(xcb)
#include <QGuiApplication>
#include <xcb/xcb.h>
#endif

static constexpr int RecordSize = 88;
static constexpr int TipOffset = 24;
static constexpr int TipSize = 64;

QString notifyIconTip(const QByteArray &record)
{
    const QByteArray tip = record.mid(TipOffset, TipSize);
    const qsizetype end = tip.indexOf('\0');
    return QString::fromLatin1(end < 0 ? tip : tip.left(end));
}

QtNotifyIcon::QtNotifyIcon(const QIcon &icon)
{
    m_tray.setIcon(icon);
    QObject::connect(&m_tray, &QSystemTrayIcon::activated, &m_tray,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         activate(reason,
                                  QGuiApplication::styleHints()->mouseDoubleClickInterval());
                     });
}

bool QtNotifyIcon::available() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

// An X window manager names its check window on the root window; with none,
// a request to iconify a window goes unanswered.
bool QtNotifyIcon::canMinimise() const
{
#if QT_CONFIG(xcb)
    const auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11)
        return true;
    xcb_connection_t *connection = x11->connection();
    static const char name[] = "_NET_SUPPORTING_WM_CHECK";
    const xcb_intern_atom_cookie_t atomCookie
            = xcb_intern_atom(connection, 1, sizeof(name) - 1, name);
    xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(connection, atomCookie, nullptr);
    if (!atom)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const xcb_get_property_cookie_t cookie
            = xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_WINDOW, 0, 1);
    free(atom);
    xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr);
    const bool managed = reply && xcb_get_property_value_length(reply) > 0;
    free(reply);
    return managed;
#else
    return true;
#endif
}

// Qt's own balloon from the icon, which shows one message at a time.
bool QtNotifyIcon::showBalloon(const QString &title, const QString &text)
{
    if (!m_tray.isVisible() || !QSystemTrayIcon::supportsMessages())
        return false;
    m_tray.showMessage(title, text, QSystemTrayIcon::Information,
                       DesktopNotifications::NotificationMs);
    return true;
}

// The desktop's notification service first; turned away (no such service),
// the message goes to Qt's balloon, or back to whoever asked.
bool QtNotifyIcon::showMessage(const QString &title, const QString &text)
{
    const auto turnedAway = [this, title, text] {
        if (!showBalloon(title, text) && m_undeliveredHandler)
            m_undeliveredHandler(title, text);
    };
    return m_notifications.show(title, text, turnedAway) || showBalloon(title, text);
}

std::int32_t QtNotifyIcon::Shell_NotifyIconA(std::int32_t message, QByteArray &record)
{
    if (record.size() != RecordSize)
        return 0;
    switch (message) {
    case NotifyIconMessage::Add:
        if (m_tray.isVisible())
            return 0;
        m_tray.setToolTip(notifyIconTip(record));
        m_tray.show();
        return 1;
    case NotifyIconMessage::Delete:
        if (!m_tray.isVisible())
            return 0;
        m_tray.hide();
        return 1;
    default:
        return 0;
    }
}

void QtNotifyIcon::activate(QSystemTrayIcon::ActivationReason reason, int doubleClickIntervalMs)
{
    const auto within = [doubleClickIntervalMs](const QElapsedTimer &timer) {
        return timer.isValid() && timer.elapsed() <= doubleClickIntervalMs;
    };
    switch (reason) {
    case QSystemTrayIcon::DoubleClick:
        m_lastSingle.invalidate();
        if (!within(m_lastDouble))
            deliver(MouseMessage::LeftButtonDoubleClick);
        m_lastDouble.invalidate();
        break;
    case QSystemTrayIcon::Trigger:
        if (within(m_lastSingle)) {
            m_lastSingle.invalidate();
            m_lastDouble.start();
            deliver(MouseMessage::LeftButtonDoubleClick);
        } else {
            m_lastSingle.start();
            deliver(MouseMessage::LeftButtonUp);
        }
        break;
    case QSystemTrayIcon::Context:
        deliver(MouseMessage::RightButtonUp);
        break;
    case QSystemTrayIcon::MiddleClick:
        deliver(MouseMessage::MiddleButtonUp);
        break;
    case QSystemTrayIcon::Unknown:
        break;
    }
}

void QtNotifyIcon::deliver(std::int32_t mouseMessage)
{
    if (m_mouseHandler)
        m_mouseHandler(mouseMessage);
}
