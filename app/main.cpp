// Wendrel: keeps cameras on a serial port awake by sending a carriage return
// at a set interval. main builds the real platform objects and the window.

#include "platform/application.h"
#include "platform/commandline.h"
#include "platform/headless.h"
#include "platform/lifetime.h"
#include "platform/messagebox.h"
#include "platform/qtnotifyicon.h"
#include "platform/qtserialcomm.h"
#include "platform/terminationsignals.h"
#include "version.h"
#include "platform/tickcount.h"
#include "window/frmwendrel.h"

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = CommandLine::parse(arguments);
    if (const int status = answerCommandLine(commandLine); status >= 0)
        return status;
    const StartOptions &options = commandLine.start;
    if (options.headless)
        qputenv("QT_QPA_PLATFORM", "offscreen"); // no display, not even one to fail on

    Application app(argc, argv);
    Application::setApplicationName(QStringLiteral(WENDREL_NAME));
    Application::setApplicationVersion(QStringLiteral(WENDREL_VERSION));
    Application::setDesktopFileName(QStringLiteral(WENDREL_APP_ID));

    QtSerialComm serial;
    applyPortDevices(commandLine, serial);
    SystemTickCount ticks;
    QtMessageBox boxes;
    StandardErrorMessages lines;
    QtBeep beep;
    QtNotifyIcon tray(QIcon(QStringLiteral(":/assets/camera.xpm")));
    NoNotificationArea noTray;
    QtLifetime lifetime;

    MessageBox *messageBox = options.headless ? static_cast<MessageBox *>(&lines) : &boxes;
    NotifyIcon *notifyIcon = options.headless ? static_cast<NotifyIcon *>(&noTray) : &tray;
    frmWendrel window(Platform{ serial, ticks, *messageBox, beep, *notifyIcon, lifetime });
    boxes.setParentWindow(&window);
    if (window.hasEnded())
        return 1;
    // A logout or a kill ends the program as closing its window does.
    TerminationSignals terminationSignals([&window](int) {
        window.close();
        QCoreApplication::quit();
    });
    if (!options.hidden && !options.headless)
        window.show();
    window.applyStartOptions(options);
    return app.exec();
}
