#include "autostart.h"

#include "commandline.h"
#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

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
    if (!port1Device.isEmpty())
        command << QStringLiteral("--port1") << port1Device;
    if (!port2Device.isEmpty())
        command << QStringLiteral("--port2") << port2Device;
    if (start.audible)
        command << QStringLiteral("--audible");
    return command;
}

QString autostartPath()
{
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty() || QDir::isRelativePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/" WENDREL_APP_ID ".desktop");
}

bool autostartEntryExists()
{
    return QFileInfo::exists(autostartPath());
}

// An Exec argument as desktop files want it: quoted where it holds anything
// but plain characters, with the reserved ones escaped, and the backslashes
// doubled once more for the file's own string escapes.
static QString execArgument(QString argument)
{
    argument.replace(QLatin1Char('%'), QStringLiteral("%%"));
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_/.:,=+@-]+$"));
    if (plain.match(argument).hasMatch())
        return argument;
    QString quoted;
    for (const QChar c : std::as_const(argument)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            quoted += QStringLiteral("\\\\");
        quoted += c;
    }
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool writeAutostartEntry(const QStringList &command, QString *error)
{
    const QString path = autostartPath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("Cannot make the folder %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    QStringList exec;
    for (const QString &argument : command)
        exec << execArgument(argument);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    file.write(QStringLiteral("[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=" WENDREL_NAME "\n"
                              "Comment=" WENDREL_DESCRIPTION "\n"
                              "Icon=" WENDREL_APP_ID "\n"
                              "Exec=%1\n"
                              "Terminal=false\n"
                              "X-GNOME-Autostart-enabled=true\n")
                       .arg(exec.join(QLatin1Char(' ')))
                       .toUtf8());
    if (!file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool removeAutostartEntry(QString *error)
{
    const QString path = autostartPath();
    if (QFileInfo::exists(path) && !QFile::remove(path)) {
        *error = QStringLiteral("Cannot remove %1").arg(path);
        return false;
    }
    return true;
}

QString runningProgram()
{
#if defined(Q_OS_LINUX)
    QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!self.isEmpty())
        return self;
#endif
    return QStringLiteral(WENDREL_BINARY_NAME);
}
