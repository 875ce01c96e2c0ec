// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "engine/serialmessages.h"

#include <QStringList>

QString openFailureMessage(const SerialError &error)
{
    if (error.number() == SerialErrors::PermissionDenied) {
        const QString &group = error.owningGroup();
        const QString example = group.isEmpty()
                ? QStringLiteral("the group that owns it")
                : QStringLiteral("the group \"%1\" that owns it").arg(group);
        return QStringLiteral("Wendrel may not use %1: permission denied.\n\n"
                              "Your user account must be allowed to use this device, for "
                              "instance by membership of %2 (dialout on Debian). "
                              "Log in again after joining the group.")
                .arg(error.device(), example);
    }
    return QStringLiteral("Wendrel cannot open %1: %2.").arg(error.device(), error.description());
}

QString portLostMessage(const SerialError &error)
{
    return QStringLiteral("The connection to %1 was lost (%2).\n\n"
                          "Wendrel keeps trying and goes on pinging by itself as soon as "
                          "the device is back. Press Stop to give up.")
            .arg(error.device(), error.description());
}

QString describeReturn(const DeviceReturn &back)
{
    if (!back.serialBefore.isEmpty() && !back.serialNow.isEmpty()
        && back.serialBefore != back.serialNow)
        return QStringLiteral("%1 is back, but it is another adapter (serial %2)")
                .arg(back.device, back.serialNow);
    if (!back.reachedBefore.isEmpty() && !back.reachedNow.isEmpty()
        && back.reachedBefore != back.reachedNow)
        return QStringLiteral("%1 is back as %2").arg(back.reachedBefore, back.reachedNow);
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
