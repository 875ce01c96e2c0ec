// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "commandlineanswers.h"

#include "autostart.h"
#include "commandline.h"
#include "qtserialcomm.h"

#include <cstdio>

int answerCommandLine(const CommandLine &commandLine)
{
    switch (commandLine.action) {
    case CommandLine::Action::Run:
        return -1;
    case CommandLine::Action::ShowHelp:
        std::fputs(qPrintable(commandLine.helpText), stdout);
        return 0;
    case CommandLine::Action::ShowVersion:
        std::printf("%s\n", qPrintable(commandLine.versionText));
        return 0;
    case CommandLine::Action::ListPorts:
        for (const SerialDevice &device : availableSerialDevices())
            std::printf("%s\n", qPrintable(device.describe()));
        return 0;
    case CommandLine::Action::WriteAutostart: {
        QString error;
        const QStringList command
                = autostartCommand(runningProgram(), commandLine.start, commandLine.port1Device,
                                   commandLine.port2Device);
        if (!writeAutostartEntry(command, &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
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
        case Removal::Failed:
            break;
        }
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    case CommandLine::Action::Fail:
        std::fprintf(stderr, "%s\n", qPrintable(commandLine.errorText));
        return 2;
    }
    return 2;
}
