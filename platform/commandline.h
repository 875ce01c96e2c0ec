// The command line: --port1 DEVICE and --port2 DEVICE name other devices for
// the two ports (a USB adapter, a /dev/serial/by-id link); --list-ports shows
// the devices there are; --help and --version. The options every Qt program
// takes (-platform, -display, -style, ...) are left to QApplication.
#pragma once

#include <QString>
#include <QStringList>

struct CommandLine
{
    enum class Action { Run, ShowHelp, ShowVersion, ListPorts, Fail };

    Action action = Action::Run;
    QString port1Device; // empty: the machine's first serial port
    QString port2Device; // empty: the machine's second serial port
    QString helpText;
    QString versionText;
    QString errorText;

    static CommandLine parse(const QStringList &arguments);
};

// Prints what the command line asked for and returns the exit status, or -1
// when the program should go on and open its window.
int answerCommandLine(const CommandLine &commandLine);

class QtSerialComm;
// Gives the devices named on the command line to port 1 and port 2.
void applyPortDevices(const CommandLine &commandLine, QtSerialComm &serial);
