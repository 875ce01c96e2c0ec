// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Wendrel: keeps cameras on a serial port awake by sending a carriage return
// at a set interval. main builds the real platform objects, the pinger and the
// window over it; with --headless it runs the service instead, with no display.

#include "commandline/commandline.h"
#include "commandline/commandlineanswers.h"
#include "desktop/application.h"
#include "desktop/autostart.h"
#include "desktop/display.h"
#include "desktop/messagebox.h"
#include "desktop/qtnotifyicon.h"
#include "engine/beep.h"
#include "engine/lifetime.h"
#include "engine/pinger.h"
#include "engine/tickcount.h"
#include "engine/waketimer.h"
#include "serialport/serialports.h"
#include "service/service.h"
#include "system/qtlifetime.h"
#include "system/soundbeep.h"
#include "system/standarderror.h"
#include "system/standardstreams.h"
#include "system/systemtickcount.h"
#include "system/systemwaketimer.h"
#include "system/terminationsignals.h"
#include "version.h"
#include "window/frmwendrel.h"

#include <cstdio>

int main(int argc, char *argv[])
{
    guardStandardStreams();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = CommandLine::parse(arguments);
    if (const int status = answerAutostart(commandLine); status >= 0)
        return status;
    if (const int status = answerCommandLine(commandLine); status >= 0)
        return status;
    const StartOptions &options = commandLine.start;
    if (options.headless)
        return runService(argc, argv, commandLine); // no display, not even one to fail on
    if (const QString why = unreachableDisplay(arguments); !why.isEmpty()) {
        std::fprintf(stderr,
                     "wendrel: cannot show its window: %s; wendrel --headless pings "
                     "with no window\n",
                     qPrintable(why));
        return 1;
    }

    StandardError::install();
    Application app(argc, argv);
    Application::setApplicationName(QStringLiteral(WENDREL_NAME));
    Application::setApplicationVersion(QStringLiteral(WENDREL_VERSION));
    Application::setDesktopFileName(QStringLiteral(WENDREL_APP_ID));

    SystemSerialComm serial;
    applyPortDevices(commandLine, serial);
    SystemTickCount ticks;
    const std::unique_ptr<WakeTimer> wake = makeSystemWakeTimer();
    Pinger run(serial, ticks, *wake);
    QtMessageBox boxes;
    SoundBeep beep([] { QApplication::beep(); });
    QtNotifyIcon tray(QIcon(QStringLiteral(":/assets/camera.xpm")));
    QtLifetime lifetime;

    frmWendrel window(Platform{ serial, boxes, beep, tray, lifetime }, run);
    boxes.setParentWindow(&window);
    if (window.hasEnded())
        return 1;
    // A logout or a kill ends the program as closing its window does.
    const TerminationSignals terminationSignals([&window](int) {
        window.close();
        QCoreApplication::quit();
    });
    if (!options.hidden)
        window.show();
    window.applyStartOptions(options);
    return QApplication::exec();
}
