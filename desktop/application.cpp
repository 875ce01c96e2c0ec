// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "desktop/application.h"

#include "engine/lifetime.h"

// Qt reads these before the application object exists. Both make the steady
// ticking of a long run cheaper without changing a pixel: Qt's own event loop
// does less per wakeup than GLib's, and for the few small repaints a second a
// plain image upload costs less than shared memory, whose every use waits for a
// completion event from the X server.
static int &tunedForLongRuns(int &argc)
{
#if defined(Q_OS_LINUX)
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM"))
        qputenv("QT_XCB_NO_MITSHM", "1");
#endif
    return argc;
}

Application::Application(int &argc, char **argv) : QApplication(tunedForLongRuns(argc), argv)
{
    // Qt would end the program when the last visible window closes, and a
    // window hidden in the tray does not count: closing any box or balloon
    // then would end a run nobody is watching. The main window ends the
    // program itself when it closes.
    setQuitOnLastWindowClosed(false);
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const RuntimeError &error) {
        reportUncaughtError(error);
    } catch (const std::exception &error) {
        reportUncaughtError(
                RuntimeError(RunTime::InternalError, QString::fromLocal8Bit(error.what())));
    }
    return true;
}
