// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "commandline/commandline.h"

#include "engine/serialcomm.h"
#include "version.h"

#include <QCommandLineParser>
#include <QOperatingSystemVersion>

#include <algorithm>

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

// [[H:]M:]S within the scroll bars' ranges.
static bool parseInterval(const QString &text, StartOptions &start)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() > 3)
        return false;
    QList<int> values;
    for (const QString &part : parts) {
        // ASCII digits only: QChar::isDigit() takes ٣ too, and toInt() reads it as nothing.
        const bool digits = !part.isEmpty() && part.size() <= 2
                && std::all_of(part.begin(), part.end(), [](QChar c) {
                       return c >= QLatin1Char('0') && c <= QLatin1Char('9');
                   });
        if (!digits)
            return false;
        values << part.toInt();
    }
    while (values.size() < 3)
        values.prepend(0);
    if (values[0] > 24 || values[1] > 59 || values[2] > 59)
        return false;
    start.hours = values[0];
    start.minutes = values[1];
    start.seconds = values[2];
    return true;
}

// A device path a desktop entry's Exec line and a log line can carry: valid
// UTF-8 (the local encoding turns anything else into U+FFFD) with no control
// character.
static bool isPlainDevicePath(const QString &path)
{
    return std::none_of(path.begin(), path.end(), [](QChar c) {
        return c.unicode() < 0x20 || c.unicode() == 0x7f
                || (c.unicode() >= 0x80 && c.unicode() < 0xa0) || c == QChar::ReplacementCharacter;
    });
}

// QCommandLineParser's own help needs an application object; this one does not.
static QString usage(const QString &programName, const QString &description,
                     const QList<QCommandLineOption> &options, bool service)
{
    QString text
            = QStringLiteral("Usage: %1 [options]\n%2\n\nOptions:\n").arg(programName, description);
    for (const QCommandLineOption &option : options) {
        QStringList names;
        for (const QString &name : option.names())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        QString left = names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            left += QLatin1Char(' ') + option.valueName();
        text += QStringLiteral("  %1  %2\n").arg(left, -20).arg(option.description());
    }
    if (service)
        return text
                + QStringLiteral("\nExample: ping /dev/ttyUSB0 every five minutes:\n"
                                 "  %1 --port1 /dev/ttyUSB0 --interval 5:00\n")
                          .arg(programName);
    return text
            + QStringLiteral("\nExample: ping /dev/ttyUSB0 every five minutes from login on:\n"
                             "  %1 --port1 /dev/ttyUSB0 --interval 5:00 --audible --autostart\n"
                             "\nQt's own options (-platform, -display, -style, ...) "
                             "are taken as by every Qt program.\n")
                      .arg(programName);
}

long StartOptions::intervalMs() const
{
    return hours * 3600000L + minutes * 60000L + seconds * 1000L;
}

// An argument echoed in a message is shown, not obeyed: a line break, an
// escape sequence or a carriage return in it would redraw the terminal.
static QString withControlsShown(const QString &text)
{
    QString shown;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            shown += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            shown += QStringLiteral("\\t");
        else if (c.category() == QChar::Other_Control)
            shown += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

CommandLine CommandLine::parse(const QStringList &allArguments, Program program)
{
    const bool service = program == Program::Service;
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
    const QCommandLineOption intervalOption(
            QStringLiteral("interval"),
            QStringLiteral("Ping every [[H:]M:]S (45, 5:00, 1:30:00; at most 24:59:59)."),
            QStringLiteral("TIME"));
    const QCommandLineOption usePortOption(QStringLiteral("use-port"),
                                           QStringLiteral("Select port 1 or 2 at start."),
                                           QStringLiteral("N"));
    const QCommandLineOption audibleOption(QStringLiteral("audible"),
                                           QStringLiteral("Tick Audible at start."));
    const QCommandLineOption startOption(
            QStringLiteral("start"),
            QStringLiteral("Press Start once the window is up; a device that is not "
                           "there yet is waited for."));
    const QCommandLineOption hiddenOption(
            QStringLiteral("hidden"),
            QStringLiteral("Start hidden in the tray (minimised where there is none)."));
    const QCommandLineOption headlessOption(
            QStringLiteral("headless"),
            QStringLiteral("Run with no display at all, pinging from the start; "
                           "messages go to standard error."));
    const QCommandLineOption autostartOption(
            QStringLiteral("autostart"),
            QStringLiteral("Write the login's autostart entry that starts Wendrel hidden and "
                           "pinging with the options given, and exit."));
    const QCommandLineOption noAutostartOption(QStringLiteral("no-autostart"),
                                               QStringLiteral("Remove that entry and exit."));
    const QCommandLineOption serviceOption(
            QStringLiteral("service"),
            QStringLiteral("Run as a Windows service, started by the service manager (sc create "
                           "... binPath= \"wendreld.exe --service ...\"); the log goes to "
                           "%ProgramData%\\Wendrel\\SERVICE.log."));
    QList<QCommandLineOption> options{ helpOption, versionOption,  port1Option,   port2Option,
                                       listOption, intervalOption, usePortOption, audibleOption };
    if (!service)
        options << startOption << hiddenOption << headlessOption << autostartOption
                << noAutostartOption;
    // Windows' own service manager; on Linux systemd runs the service as it is.
    if (service && QOperatingSystemVersion::currentType() == QOperatingSystemVersion::Windows)
        options << serviceOption;
    parser.addOptions(options);

    CommandLine result;
    const QString programName
            = arguments.value(0, service ? QStringLiteral("wendreld") : QStringLiteral("wendrel"));
    result.versionText = QStringLiteral(WENDREL_NAME " " WENDREL_VERSION);
    result.helpText = usage(programName, parser.applicationDescription(), options, service);
    const auto fail = [&result, &programName](const QString &why) {
        result.action = Action::Fail;
        result.errorText = QStringLiteral("%1: %2\nTry '%1 --help' for more information.")
                                   .arg(programName, withControlsShown(why));
        return result;
    };

    // --help and --version answer whatever else is given, a slip included.
    const auto given = [&arguments](const char *shortName, const char *longName) {
        return arguments.mid(1).contains(QLatin1String(shortName))
                || arguments.mid(1).contains(QLatin1String(longName));
    };
    if (given("-h", "--help")) {
        result.action = Action::ShowHelp;
        return result;
    }
    if (given("-v", "--version")) {
        result.action = Action::ShowVersion;
        return result;
    }
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument '%1'")
                            .arg(parser.positionalArguments().constFirst()));

    // The values are checked before anything else, so a slip never passes
    // unnoticed: once each, none empty, a device path that a desktop entry and
    // a log line can carry.
    for (const QCommandLineOption &option :
         { port1Option, port2Option, intervalOption, usePortOption }) {
        const QStringList values = parser.values(option);
        const QString name = QStringLiteral("--") + option.names().constFirst();
        if (values.size() > 1)
            return fail(QStringLiteral("%1 is given %2 times; give it once")
                                .arg(name)
                                .arg(values.size()));
        if (values.size() == 1 && values.constFirst().isEmpty())
            return fail(QStringLiteral("%1 needs a %2, not an empty one")
                                .arg(name, option.valueName()));
    }
    for (const QCommandLineOption &port : { port1Option, port2Option }) {
        if (!isPlainDevicePath(parser.value(port)))
            return fail(QStringLiteral("--%1 takes a device path in UTF-8 with no control "
                                       "characters (a line break, a tab), not '%2'")
                                .arg(port.names().constFirst(), parser.value(port)));
    }
    result.port1Device = parser.value(port1Option);
    result.port2Device = parser.value(port2Option);
    if (parser.isSet(intervalOption) && !parseInterval(parser.value(intervalOption), result.start))
        return fail(QStringLiteral("--interval takes [[H:]M:]S with hours 0-24, minutes and "
                                   "seconds 0-59 (45, 5:00, 1:30:00), not '%1'")
                            .arg(parser.value(intervalOption)));
    if (parser.isSet(usePortOption)) {
        const QString port = parser.value(usePortOption);
        if (port != QLatin1String("1") && port != QLatin1String("2"))
            return fail(QStringLiteral("--use-port takes 1 or 2, not '%1'").arg(port));
        result.start.port = port.toInt();
    }

    // Options the program does not take are never set.
    const auto isSet = [&parser, &options](const QCommandLineOption &option) {
        const bool taken = std::any_of(options.begin(), options.end(),
                                       [&option](const QCommandLineOption &known) {
                                           return known.names() == option.names();
                                       });
        return taken && parser.isSet(option);
    };
    if (isSet(autostartOption) && isSet(noAutostartOption))
        return fail(QStringLiteral("--autostart and --no-autostart ask for opposite things; "
                                   "give one"));
    result.start.audible = isSet(audibleOption);
    result.start.hidden = isSet(hiddenOption);
    result.start.headless = service || isSet(headlessOption);
    result.start.underServiceManager = isSet(serviceOption);
    result.start.start = isSet(startOption) || result.start.headless || isSet(autostartOption);
    const bool zeroInterval
            = result.start.hours == 0 && result.start.minutes == 0 && result.start.seconds == 0;
    const bool answersAndEnds = parser.isSet(listOption) || isSet(noAutostartOption);
    if (result.start.start && zeroInterval && !answersAndEnds)
        return fail(QStringLiteral("pinging from the start needs an --interval above 0, "
                                   "such as --interval 5:00"));

    if (parser.isSet(listOption))
        result.action = Action::ListPorts;
    else if (isSet(autostartOption))
        result.action = Action::WriteAutostart;
    else if (isSet(noAutostartOption))
        result.action = Action::RemoveAutostart;
    return result;
}

void applyPortDevices(const CommandLine &commandLine, SerialComm &serial)
{
    if (!commandLine.port1Device.isEmpty())
        serial.setDevice(1, commandLine.port1Device);
    if (!commandLine.port2Device.isEmpty())
        serial.setDevice(2, commandLine.port2Device);
}
