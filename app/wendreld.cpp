// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// wendreld: the Wendrel service. It keeps a camera on a serial port awake
// with no display at all: a carriage return at once and each time the
// interval runs out, a device that is late or lost waited for.

#include "commandline/commandline.h"
#include "commandline/commandlineanswers.h"
#include "service/service.h"
#include "system/servicemanager.h"
#include "system/standarderror.h"
#include "system/standardstreams.h"

#include <QStringList>

int main(int argc, char *argv[])
{
    guardStandardStreams();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = CommandLine::parse(arguments, CommandLine::Program::Service);
    // A mistake in a Windows service's settings is told to its log and its
    // manager, as a start that failed once.
    if (commandLine.action == CommandLine::Action::Fail
        && arguments.contains(QStringLiteral("--service")))
        return runUnderServiceManager([&commandLine] {
            StandardError::writeNow(commandLine.errorText.toLocal8Bit() + '\n');
            return 2;
        });
    if (const int status = answerCommandLine(commandLine); status >= 0)
        return status;
    return runService(argc, argv, commandLine);
}
