// The login's autostart entry ($XDG_CONFIG_HOME/autostart), which starts
// Wendrel hidden and pinging: written by --autostart and by the window's
// background menu, from here alone.
#pragma once

#include <QString>
#include <QStringList>

struct StartOptions;

// The command that starts this program hidden and pinging with the settings.
QStringList autostartCommand(const QString &program, const StartOptions &start,
                             const QString &port1Device, const QString &port2Device);
QString autostartPath();
bool autostartEntryExists();
// Writes or removes the entry; false and a reason on failure.
bool writeAutostartEntry(const QStringList &command, QString *error);
bool removeAutostartEntry(QString *error);
// This program's own file, for the entry's Exec line.
QString runningProgram();
