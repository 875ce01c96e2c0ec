#include "commandline.h"

#include "qtserialcomm.h"
#include "version.h"

#include <QCommandLineParser>

#include <cstdio>

// Qt's own options, which QApplication takes out of the command line itself.
static const QStringList ToolkitOptionsWithValue = {
    QStringLiteral("-platform"),
    QStringLiteral("-platformpluginpath"),
    QStringLiteral("-platformtheme"),
    QStringLiteral("-plugin"),
    QStringLiteral("-qwindowgeometry"),
    QStringLiteral("-qwindowicon"),
    QStringLiteral("-icon"), // -qwindowicon under X11
    QStringLiteral("-qwindowtitle"),
    QStringLiteral("-session"),
    QStringLiteral("-display"),
    QStringLiteral("-geometry"),
    QStringLiteral("-name"),
    QStringLiteral("-title"),
    QStringLiteral("-visual"),
    QStringLiteral("-style"),
    QStringLiteral("-stylesheet"),
    QStringLiteral("-qmljsdebugger"),
};
static const QStringList ToolkitFlags = {
    QStringLiteral("-reverse"), QStringLiteral("-widgetcount"), QStringLiteral("-nograb"),
    QStringLiteral("-dograb"),  QStringLiteral("-sync"),
};

static QStringList withoutToolkitOptions(const QStringList &arguments)
{
    QStringList ours;
    for (int i = 0; i < arguments.size(); ++i) {
        QString option = arguments.at(i);
        if (i > 0 && option.startsWith(QLatin1String("--")))
            option.remove(0, 1); // Qt takes --platform as it takes -platform
        const QString name = option.section(QLatin1Char('='), 0, 0);
        if (i > 0 && ToolkitOptionsWithValue.contains(name)) {
            if (!option.contains(QLatin1Char('=')))
                ++i; // and its value
            continue;
        }
        if (i > 0 && ToolkitFlags.contains(option))
            continue;
        ours << arguments.at(i);
    }
    return ours;
}

CommandLine CommandLine::parse(const QStringList &allArguments)
{
    const QStringList arguments = withoutToolkitOptions(allArguments);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(WENDREL_DESCRIPTION));
    const QCommandLineOption helpOption({ QStringLiteral("h"), QStringLiteral("help") },
                                        QStringLiteral("Show this help and exit."));
    const QCommandLineOption versionOption({ QStringLiteral("v"), QStringLiteral("version") },
                                           QStringLiteral("Show the version and exit."));
    const QCommandLineOption port1Option(QStringLiteral("port1"),
                                         QStringLiteral("Use DEVICE as Com Port 1."),
                                         QStringLiteral("DEVICE"));
    const QCommandLineOption port2Option(QStringLiteral("port2"),
                                         QStringLiteral("Use DEVICE as Com Port 2."),
                                         QStringLiteral("DEVICE"));
    const QCommandLineOption listOption(
            QStringLiteral("list-ports"),
            QStringLiteral("List the serial devices there are and exit."));
    parser.addOptions({ helpOption, versionOption, port1Option, port2Option, listOption });

    CommandLine result;
    const QString program = arguments.value(0, QStringLiteral("wendrel"));
    if (!parser.parse(arguments)) {
        result.action = Action::Fail;
        result.errorText = QStringLiteral("%1: %2\nTry '%1 --help' for more information.")
                                   .arg(program, parser.errorText());
        return result;
    }
    if (!parser.positionalArguments().isEmpty()) {
        result.action = Action::Fail;
        result.errorText = QStringLiteral("%1: unexpected argument '%2'\n"
                                          "Try '%1 --help' for more information.")
                                   .arg(program, parser.positionalArguments().constFirst());
        return result;
    }
    result.port1Device = parser.value(port1Option);
    result.port2Device = parser.value(port2Option);
    result.versionText = QStringLiteral(WENDREL_NAME " " WENDREL_VERSION);
    // QCommandLineParser's own help needs an application object; this one does not.
    result.helpText = QStringLiteral("Usage: %1 [options]\n%2\n\nOptions:\n")
                              .arg(program, parser.applicationDescription());
    for (const QCommandLineOption &option :
         { helpOption, versionOption, port1Option, port2Option, listOption }) {
        QStringList names;
        for (const QString &name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            left += QLatin1Char(' ') + option.valueName();
        result.helpText += QStringLiteral("  %1  %2\n").arg(left, -20).arg(option.description());
    }
    result.helpText += QStringLiteral("\nQt's own options (-platform, -display, -style, ...) "
                                      "are taken as by every Qt program.\n");
    // Checked before anything else is done, so a slip never passes unnoticed.
    for (const QCommandLineOption &port : { port1Option, port2Option }) {
        const QStringList given = parser.values(port);
        const QString name = QStringLiteral("--") + port.names().constFirst();
        QString wrong;
        if (given.size() > 1)
            wrong = QStringLiteral("%1 is given %2 times; give it once")
                            .arg(name)
                            .arg(given.size());
        else if (given.size() == 1 && given.constFirst().isEmpty())
            wrong = QStringLiteral("%1 needs a DEVICE, not an empty name").arg(name);
        if (!wrong.isEmpty()) {
            result.action = Action::Fail;
            result.errorText = QStringLiteral("%1: %2\nTry '%1 --help' for more information.")
                                       .arg(program, wrong);
            return result;
        }
    }
    if (parser.isSet(helpOption))
        result.action = Action::ShowHelp;
    else if (parser.isSet(versionOption))
        result.action = Action::ShowVersion;
    else if (parser.isSet(listOption))
        result.action = Action::ListPorts;
    return result;
}

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
    case CommandLine::Action::Fail:
        std::fprintf(stderr, "%s\n", qPrintable(commandLine.errorText));
        return 2;
    }
    return 2;
}

void applyPortDevices(const CommandLine &commandLine, QtSerialComm &serial)
{
    if (!commandLine.port1Device.isEmpty())
        serial.setDevice(1, commandLine.port1Device);
    if (!commandLine.port2Device.isEmpty())
        serial.setDevice(2, commandLine.port2Device);
}
