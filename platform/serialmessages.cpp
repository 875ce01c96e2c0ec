// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "serialmessages.h"

#include <QtGlobal>

#if defined(Q_OS_UNIX)
#include <grp.h>
#include <sys/stat.h>
#endif

QString deviceGroup(const QString &device)
{
#if defined(Q_OS_UNIX)
    struct stat info
    {
    };
    if (::stat(device.toLocal8Bit().constData(), &info) != 0)
        return {};
    if (const group *owner = ::getgrgid(info.st_gid))
        return QString::fromLocal8Bit(owner->gr_name);
#else
    Q_UNUSED(device);
#endif
    return {};
}

QString openFailureMessage(const SerialError &error)
{
    if (error.number() == SerialErrors::PermissionDenied) {
        const QString group = deviceGroup(error.device());
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
