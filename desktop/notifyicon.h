// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The notification-area icon, driven like the shell's own call: a message
// (add or delete) and the record in its 88-byte form. Mouse actions on the icon
// come back as the numbers of the window messages they stand for.
#pragma once

#include <QByteArray>
#include <QIcon>
#include <QString>

#include <cstdint>
#include <functional>

namespace NotifyIconMessage {
enum : std::int32_t { Add = 0, Modify = 1, Delete = 2 };
}

// Which of the record's fields the shell takes.
namespace NotifyIconFlags {
enum : std::int32_t { Message = 1, Icon = 2, Tip = 4 };
}

namespace MouseMessage {
enum : std::int32_t {
    MouseMove = 512,
    LeftButtonDown = 513,
    LeftButtonUp = 514,
    LeftButtonDoubleClick = 515,
    RightButtonDown = 516,
    RightButtonUp = 517,
    RightButtonDoubleClick = 518,
    MiddleButtonDown = 519,
    MiddleButtonUp = 520,
};
}

class NotifyIcon
{
public:
    virtual ~NotifyIcon() = default;
    // Returns nonzero on success, like the shell; the program never looks.
    virtual std::int32_t Shell_NotifyIconA(std::int32_t message, QByteArray &record) = 0;
    // False on desktops with no notification area at all.
    virtual bool available() const = 0;
    // False where nothing would take a minimised window off the screen (an X
    // display with no window manager): the window then stays where it is.
    virtual bool canMinimise() const = 0;
    // A desktop notification, which replaces the last one shown. Changes
    // neither the icon nor its tip. False where no notification can be shown;
    // one that was sent but turned away later is handed to the handler.
    virtual bool showMessage(const QString &title, const QString &text) = 0;
    using UndeliveredHandler = std::function<void(const QString &title, const QString &text)>;
    virtual void setUndeliveredHandler(UndeliveredHandler handler) = 0;

    using MouseHandler = std::function<void(std::int32_t mouseMessage)>;
    virtual void setMouseHandler(MouseHandler handler) = 0;
};
