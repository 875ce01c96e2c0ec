// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// What --autostart and --no-autostart say, and the command an entry holds,
// the same on every system; where the entry lives is autostart_xdg.cpp's on
// Linux and autostart_win.cpp's on Windows.
#include "desktop/autostart.h"

#include "commandline/commandline.h"
#include "serialport/serialports.h"

#include <cstdio>

QStringList autostartCommand(const QString &program, const StartOptions &start,
                             const QString &port1Device, const QString &port2Device)
{
    QStringList command{ program, QStringLiteral("--hidden"), QStringLiteral("--start"),
                         QStringLiteral("--interval"),
                         QStringLiteral("%1:%2:%3")
                                 .arg(start.hours)
                                 .arg(start.minutes, 2, 10, QLatin1Char('0'))
                                 .arg(start.seconds, 2, 10, QLatin1Char('0')) };
    if (start.port != 0)
        command << QStringLiteral("--use-port") << QString::number(start.port);
    // At login the working folder is the home folder, not the one the option
    // was given in.
    if (!port1Device.isEmpty())
        command << QStringLiteral("--port1") << fullDevicePath(port1Device);
    if (!port2Device.isEmpty())
        command << QStringLiteral("--port2") << fullDevicePath(port2Device);
    if (start.audible)
        command << QStringLiteral("--audible");
    return command;
}

int answerAutostart(const CommandLine &commandLine)
{
    switch (commandLine.action) {
    case CommandLine::Action::WriteAutostart: {
        QString error;
        const QStringList command
                = autostartCommand(runningProgram(), commandLine.start, commandLine.port1Device,
                                   commandLine.port2Device);
        bool notAnEntry = false;
        if (!writeAutostartEntry(command, &error, &notAnEntry)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return notAnEntry ? 2 : 1;
        }
        std::printf("Wendrel will start pinging at login: wrote %s\n", qPrintable(autostartPath()));
        return 0;
    }
    case CommandLine::Action::RemoveAutostart: {
        QString error;
        switch (removeAutostartEntry(&error)) {
        case Removal::Removed:
            std::printf("Wendrel no longer starts at login: removed %s\n",
                        qPrintable(autostartPath()));
            return 0;
        case Removal::NothingThere:
            std::printf("Wendrel did not start at login: there is no %s\n",
                        qPrintable(autostartPath()));
            return 0;
        case Removal::NotOurs:
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 2;
        case Removal::Failed:
            break;
        }
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    default:
        return -1;
    }
}
