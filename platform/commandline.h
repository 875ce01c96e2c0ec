// The command line: --port1 DEVICE and --port2 DEVICE name other devices for
// the two ports (a USB adapter, a /dev/serial/by-id link); --list-ports shows
// the devices there are; --help and --version. For a rig nobody sits at:
// --interval, --use-port, --audible, --start, --hidden, --headless, and
// --autostart / --no-autostart for the login's autostart entry. The options
// every Qt program takes (-platform, -display, -style, ...) are left to
// QApplication.
#pragma once

#include <QString>
#include <QStringList>

// What an unattended rig asks for at start, applied after the window's load
// through the same handlers a user's actions run.
struct StartOptions
{
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    int port = 0; // 1 or 2; 0 keeps port 1 as the load selects it
    bool audible = false;
    bool start = false;
    bool hidden = false;
    bool headless = false; // no display: implies start
};

struct CommandLine
{
    enum class Action {
        Run,
        ShowHelp,
        ShowVersion,
        ListPorts,
        WriteAutostart,
        RemoveAutostart,
        Fail
    };

    Action action = Action::Run;
    QString port1Device; // empty: the machine's first serial port
    QString port2Device; // empty: the machine's second serial port
    StartOptions start;
    QString helpText;
    QString versionText;
    QString errorText;

    static CommandLine parse(const QStringList &arguments);
};

// Prints what the command line asked for and returns the exit status, or -1
// when the program should go on and open its window.
int answerCommandLine(const CommandLine &commandLine);

// The command that starts this program hidden and pinging with the settings.
QStringList autostartCommand(const QString &program, const StartOptions &start,
                             const QString &port1Device, const QString &port2Device);
// Where the login's autostart entry lives ($XDG_CONFIG_HOME/autostart).
QString autostartPath();
bool autostartEntryExists();
// Writes or removes the entry; false and a reason on failure.
bool writeAutostartEntry(const QStringList &command, QString *error);
bool removeAutostartEntry(QString *error);
// This program's own file, for the entry's Exec line.
QString runningProgram();

class QtSerialComm;
// Gives the devices named on the command line to port 1 and port 2.
void applyPortDevices(const CommandLine &commandLine, QtSerialComm &serial);
