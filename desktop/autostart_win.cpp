// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Start at login as Windows does it: the value "Wendrel" in the user's Run
// key holds the command line. A value of that name that does not start
// wendrel.exe is another program's, and is never changed or removed.
#include "desktop/autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <iterator>
#include <optional>

#include <windows.h>

static const wchar_t RunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
static const wchar_t ValueName[] = L"Wendrel";

QString autostartPath()
{
    return QStringLiteral("HKEY_CURRENT_USER\\%1\\%2")
            .arg(QString::fromWCharArray(RunKey), QString::fromWCharArray(ValueName));
}

// The value as it stands, or nothing where there is none.
static std::optional<QString> runValue()
{
    DWORD type = 0;
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, RunKey, ValueName,
                       RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, nullptr, &size)
        != ERROR_SUCCESS)
        return std::nullopt;
    std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
    if (::RegGetValueW(HKEY_CURRENT_USER, RunKey, ValueName,
                       RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &type, value.data(),
                       &size)
        != ERROR_SUCCESS)
        return QString();
    return QString::fromWCharArray(value.c_str());
}

// The program a command line starts: its first argument, quoted or not.
static QString programOf(const QString &commandLine)
{
    const QString line = commandLine.trimmed();
    if (line.startsWith(QLatin1Char('"')))
        return line.mid(1, line.indexOf(QLatin1Char('"'), 1) - 1);
    return line.section(QLatin1Char(' '), 0, 0);
}

static bool isWendrels(const QString &commandLine)
{
    return QFileInfo(programOf(commandLine))
                   .fileName()
                   .compare(QLatin1String("wendrel.exe"), Qt::CaseInsensitive)
            == 0;
}

static QString notOursError(const QString &value)
{
    return QStringLiteral("%1 starts another program (%2): Wendrel leaves it as it is. Remove "
                          "that value yourself if Wendrel should start at login.")
            .arg(autostartPath(), value);
}

bool autostartEntryEnabled()
{
    const std::optional<QString> value = runValue();
    return value && isWendrels(*value);
}

// One argument as Windows' command-line parser takes it back: quoted where
// it has a space, a tab or a quote, with the backslashes before a quote
// doubled.
static QString quoted(const QString &argument)
{
    if (!argument.isEmpty() && !argument.contains(QRegularExpression(QStringLiteral("[ \t\"]"))))
        return argument;
    QString result = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : argument) {
        if (c == QLatin1Char('\\')) {
            ++backslashes;
            continue;
        }
        result += QString(c == QLatin1Char('"') ? backslashes * 2 + 1 : backslashes,
                          QLatin1Char('\\'));
        backslashes = 0;
        result += c;
    }
    result += QString(backslashes * 2, QLatin1Char('\\')) + QLatin1Char('"');
    return result;
}

bool writeAutostartEntry(const QStringList &command, QString *error, bool *notAnEntry)
{
    *notAnEntry = false;
    if (const std::optional<QString> value = runValue(); value && !isWendrels(*value)) {
        *error = notOursError(*value);
        *notAnEntry = true;
        return false;
    }
    QStringList arguments;
    for (const QString &argument : command)
        arguments << quoted(argument);
    const std::wstring line = arguments.join(QLatin1Char(' ')).toStdWString();
    const LSTATUS written
            = ::RegSetKeyValueW(HKEY_CURRENT_USER, RunKey, ValueName, REG_SZ, line.c_str(),
                                DWORD((line.size() + 1) * sizeof(wchar_t)));
    if (written != ERROR_SUCCESS) {
        *error = QStringLiteral("Cannot write %1: %2")
                         .arg(autostartPath(), qt_error_string(int(written)).trimmed());
        return false;
    }
    return true;
}

Removal removeAutostartEntry(QString *error)
{
    const std::optional<QString> value = runValue();
    if (!value)
        return Removal::NothingThere;
    if (!isWendrels(*value)) {
        *error = notOursError(*value);
        return Removal::NotOurs;
    }
    const LSTATUS removed = ::RegDeleteKeyValueW(HKEY_CURRENT_USER, RunKey, ValueName);
    if (removed != ERROR_SUCCESS && removed != ERROR_FILE_NOT_FOUND) {
        *error = QStringLiteral("Cannot remove %1: %2")
                         .arg(autostartPath(), qt_error_string(int(removed)).trimmed());
        return Removal::Failed;
    }
    return Removal::Removed;
}

QString runningProgram()
{
    wchar_t path[MAX_PATH * 4] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, DWORD(std::size(path)));
    if (length == 0 || length >= std::size(path))
        return QStringLiteral("wendrel.exe");
    return QDir::toNativeSeparators(QString::fromWCharArray(path, int(length)));
}
