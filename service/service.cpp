// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "service/service.h"

#include "engine/pinger.h"

#include "commandline/commandline.h"
#include "engine/beep.h"
#include "engine/lifetime.h"
#include "engine/tickcount.h"
#include "engine/waketimer.h"
#include "serialport/serialports.h"
#include "system/soundbeep.h"
#include "system/standarderror.h"
#include "system/servicemanager.h"
#include "system/systemtickcount.h"
#include "system/systemwaketimer.h"
#include "system/terminationsignals.h"
#include "version.h"

#include <QCoreApplication>

// Every event goes through notify(), so a run-time error thrown by a handler
// ends here, with its number on standard error and status 1.
class ServiceApplication : public QCoreApplication
{
public:
    using QCoreApplication::QCoreApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QCoreApplication::notify(receiver, event);
        } catch (const RuntimeError &error) {
            reportUncaughtError(error);
        }
        return true;
    }
};

static int runPinging(int &argc, char **argv, const CommandLine &commandLine)
{
    // Qt's own event loop does less per wakeup than GLib's.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    StandardError::install();
    ServiceApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral(WENDREL_NAME));
    QCoreApplication::setApplicationVersion(QStringLiteral(WENDREL_VERSION));

    const StartOptions &options = commandLine.start;
    SystemSerialComm serial;
    applyPortDevices(commandLine, serial);
    SystemTickCount ticks;
    const std::unique_ptr<WakeTimer> wake = makeSystemWakeTimer();
    SoundBeep beep;
    // Declared before the run, whose end (at a stop, or in its destructor)
    // still tells the service manager its status.
    ServiceManager manager;
    Pinger run(serial, ticks, *wake);

    // Nothing is on screen: the pinger wakes the service once per ping. What
    // a window would tell in a box is the window's; the run's own log lines
    // say every loss and return here.
    QObject::connect(&run, &Pinger::countdownDue, &run, [&run, &beep, &options] {
        if (run.tick() && options.audible)
            beep.beep();
    });
    // Under a service manager: ready once the run pings or waits, and a line on each
    // change of what it does.
    QObject::connect(&run, &Pinger::statusChanged, &run,
                     [&manager](const QString &status) { manager.status(status); });
    // A stop, a logout or Ctrl+C ends the run as Stop would, then the program.
    const TerminationSignals terminationSignals([&run, &manager](int) {
        manager.stopping();
        run.stop();
        QCoreApplication::exit(0);
    });

    run.selectPort(Integer(options.port == 2 ? 2 : 1));
    run.startUnattended(Long(options.intervalMs()));
    manager.ready();
    return QCoreApplication::exec();
}

int runService(int &argc, char **argv, const CommandLine &commandLine)
{
    if (commandLine.start.underServiceManager)
        return runUnderServiceManager(
                [&argc, argv, &commandLine] { return runPinging(argc, argv, commandLine); });
    return runPinging(argc, argv, commandLine);
}
