#include "application.h"

#include "lifetime.h"

Application::Application(int &argc, char **argv) : QApplication(argc, argv) { }

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const RuntimeError &error) {
        reportUncaughtError(error);
    } catch (const std::exception &error) {
        reportUncaughtError(RuntimeError(51, QString::fromLocal8Bit(error.what())));
    }
    return true;
}
