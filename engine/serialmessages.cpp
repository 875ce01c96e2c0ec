// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "engine/serialmessages.h"

#include <QStringList>

// What a user refused a device can do about it. Joining the owning group
// helps only where that group may use the device, and root's group is no
// group to join: the serial component names a group only where it helps.
static QString permissionAdvice(const SerialError &error)
{
    const QString &group = error.owningGroup();
    if (group.isEmpty())
        return QStringLiteral("Your user account may not use it. Ask the administrator of "
                              "this computer to allow it.");
    return QStringLiteral("Your user account must be allowed to use this device, for "
                          "instance by membership of the group \"%1\" that owns it (dialout on "
                          "Debian). Log in again after joining the group.")
            .arg(group);
}

QString openFailureMessage(const SerialError &error)
{
    switch (error.number()) {
    case SerialErrors::PermissionDenied:
        return QStringLiteral("Wendrel may not use %1: permission denied.\n\n%2")
                .arg(error.device(), permissionAdvice(error));
    case SerialErrors::PortLost: // it opened, and took no write
        return QStringLiteral("Wendrel opened %1, but a write to it failed: %2.")
                .arg(error.device(), error.description());
    default:
        return QStringLiteral("Wendrel cannot open %1: %2.")
                .arg(error.device(), error.description());
    }
}

QString portLostMessage(const SerialError &error)
{
    QString message = QStringLiteral("The connection to %1 was lost (%2).\n\n")
                              .arg(error.device(), error.description());
    if (error.number() == SerialErrors::PermissionDenied)
        message += permissionAdvice(error) + QStringLiteral(" ");
    return message
            + QStringLiteral("Wendrel keeps trying and goes on pinging by itself as soon as "
                             "the device is back. Press Stop to give up.");
}

QString describeReturn(const DeviceReturn &back)
{
    if (!back.serialBefore.isEmpty() && !back.serialNow.isEmpty()
        && back.serialBefore != back.serialNow)
        return QStringLiteral("%1 is back, but it is another adapter (serial %2)")
                .arg(back.device, back.serialNow);
    if (!back.reachedBefore.isEmpty() && !back.reachedNow.isEmpty()
        && back.reachedBefore != back.reachedNow)
        // The name the user gave first, so that a search for it finds the
        // return as it finds the loss.
        return QStringLiteral("%1 is back (now %2)").arg(back.device, back.reachedNow);
    return QStringLiteral("%1 is back").arg(back.device);
}

QString portBackMessage(const DeviceReturn &back)
{
    return describeReturn(back) + QStringLiteral(". Pinging goes on.");
}

QString portFoundMessage(const QString &device)
{
    return QStringLiteral("%1 is there now. Pinging goes on.").arg(device);
}

QString noDataMessage(const QString &device, qint64 forMs)
{
    return QStringLiteral("%1 takes no data.\n\n"
                          "It has taken nothing for %2 s: its output is held back, or the camera "
                          "behind it is off. Wendrel keeps one carriage return waiting and goes "
                          "on pinging by itself as soon as the device takes data again.")
            .arg(device)
            .arg(forMs / 1000);
}

QString portTakesDataMessage(const QString &device)
{
    return QStringLiteral("%1 takes data again. Pinging goes on.").arg(device);
}

QString SerialDevice::describe() const
{
    QString text = path;
    if (systemLocation != path)
        text += QStringLiteral(" (%1)").arg(systemLocation);
    QStringList about;
    for (const QString &part : { description, manufacturer })
        if (!part.isEmpty() && !about.contains(part))
            about << part;
    if (!about.isEmpty())
        text += QStringLiteral(": ") + about.join(QStringLiteral(", "));
    return text;
}
