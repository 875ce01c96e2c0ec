// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "commandline/commandlineanswers.h"

#include "commandline/commandline.h"
#include "serialport/serialports.h"

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
    case CommandLine::Action::WriteAutostart:
    case CommandLine::Action::RemoveAutostart:
        return -1; // the desktop's to answer: the entry is the desktop's
    case CommandLine::Action::Fail:
        std::fprintf(stderr, "%s\n", qPrintable(commandLine.errorText));
        return 2;
    }
    return 2;
}
