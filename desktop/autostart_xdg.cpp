// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The autostart entry as freedesktop.org's desktops keep it: a desktop entry
// in $XDG_CONFIG_HOME/autostart, of which Wendrel owns a few keys.
#include "desktop/autostart.h"

#include "version.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>

#include <pwd.h>
#include <unistd.h>

#include <utility>

// The home folder: $HOME, or the account's own where it is not set. Qt would
// answer the root of the file system.
static QString homeFolder()
{
    QString home = QString::fromLocal8Bit(qgetenv("HOME"));
    if (home.isEmpty() || QDir::isRelativePath(home)) {
        const passwd *account = ::getpwuid(::getuid());
        home = account && account->pw_dir ? QString::fromLocal8Bit(account->pw_dir) : QString();
    }
    if (QDir::isRelativePath(home) || QDir::cleanPath(home) == QLatin1String("/"))
        return {};
    return QDir::cleanPath(home);
}

QString autostartPath()
{
    QString config = QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME"));
    if (config.isEmpty() || QDir::isRelativePath(config)) {
        const QString home = homeFolder();
        if (home.isEmpty())
            return {};
        config = home + QStringLiteral("/.config");
    }
    return config + QStringLiteral("/autostart/" WENDREL_APP_ID ".desktop");
}

static QString noHomeError()
{
    return QStringLiteral("Cannot tell where the autostart entry goes: there is no home "
                          "folder (HOME is not set) and no XDG_CONFIG_HOME");
}

// The lines of the entry's [Desktop Entry] group, from first to last.
static std::pair<qsizetype, qsizetype> mainGroup(const QStringList &lines)
{
    const qsizetype start = lines.indexOf(QStringLiteral("[Desktop Entry]"));
    if (start < 0)
        return { 0, 0 };
    qsizetype end = start + 1;
    while (end < lines.size() && !lines.at(end).startsWith(QLatin1Char('[')))
        ++end;
    return { start + 1, end };
}

static QString keyOf(const QString &line)
{
    return line.section(QLatin1Char('='), 0, 0).trimmed();
}

static QString valueOf(const QString &line)
{
    return line.section(QLatin1Char('='), 1).trimmed();
}

static bool switchesOff(const QString &line)
{
    return (keyOf(line) == QLatin1String("Hidden") && valueOf(line) == QLatin1String("true"))
            || (keyOf(line) == QLatin1String("X-GNOME-Autostart-enabled")
                && valueOf(line) == QLatin1String("false"));
}

// The entry's lines, a character for each byte: the user's lines are written
// back with the bytes they had (a key in Latin-1, a carriage return), and
// only Wendrel's own keys are made here, in UTF-8.
static QStringList entryLines(const QByteArray &bytes)
{
    QStringList lines = QString::fromLatin1(bytes).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

static QStringList entryLines(const QString &path)
{
    QFile existing(path);
    if (!existing.open(QIODevice::ReadOnly))
        return {};
    return entryLines(existing.readAll());
}

static QString asEntryBytes(const QString &value)
{
    return QString::fromLatin1(value.toUtf8());
}

// An entry that is there and is no desktop entry (another program's file,
// random bytes) is not Wendrel's to write over: its first group is
// [Desktop Entry], with only comments and blank lines before it.
static bool isDesktopEntry(const QByteArray &bytes)
{
    if (bytes.contains('\0'))
        return false;
    for (const QString &line : entryLines(bytes)) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char('#')))
            continue;
        return trimmed == QLatin1String("[Desktop Entry]");
    }
    return true; // empty: a fresh one is written
}

// A desktop entry whose Exec line starts Wendrel, by whatever path, or this
// very program.
static bool isWendrelsEntry(const QString &path)
{
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (!isDesktopEntry(bytes))
        return false;
    const QStringList lines = entryLines(bytes);
    const auto [first, end] = mainGroup(lines);
    for (qsizetype i = first; i < end; ++i) {
        if (keyOf(lines.at(i)) != QLatin1String("Exec"))
            continue;
        QString program = valueOf(lines.at(i));
        program = program.startsWith(QLatin1Char('"'))
                ? program.mid(1, program.indexOf(QLatin1Char('"'), 1) - 1)
                : program.section(QLatin1Char(' '), 0, 0);
        return QFileInfo(program).fileName() == QLatin1String(WENDREL_BINARY_NAME)
                || QFileInfo(program).canonicalFilePath() == runningProgram();
    }
    return false;
}

bool autostartEntryEnabled()
{
    const QStringList lines = entryLines(autostartPath());
    const auto [first, end] = mainGroup(lines);
    if (first == end)
        return false;
    for (qsizetype i = first; i < end; ++i) {
        if (switchesOff(lines.at(i)))
            return false;
    }
    return true;
}

// The entry starts at login: what switches it off goes, and the desktop's
// own switch, where it is there, is on.
static QStringList switchedOn(QStringList lines)
{
    auto [first, end] = mainGroup(lines);
    for (qsizetype i = first; i < end;) {
        if (keyOf(lines.at(i)) == QLatin1String("Hidden") && switchesOff(lines.at(i))) {
            lines.removeAt(i);
            --end;
            continue;
        }
        if (keyOf(lines.at(i)) == QLatin1String("X-GNOME-Autostart-enabled"))
            lines[i] = QStringLiteral("X-GNOME-Autostart-enabled=true");
        ++i;
    }
    return lines;
}

// A desktop entry escapes an Exec argument twice. First for
// the Exec key: an argument with a reserved character goes in double quotes,
// inside which ", `, $ and \ take a backslash; and a literal % is %%, or it
// would be a field code. Then the whole value as every string value is: each
// backslash written twice.
static QString execArgument(const QString &argument)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_/.:,=+@-]+$"));
    QString quoted;
    if (plain.match(argument).hasMatch()) {
        quoted = argument;
    } else {
        quoted = QLatin1Char('"');
        for (const QChar c : argument) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
                || c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        quoted += QLatin1Char('"');
    }
    quoted.replace(QLatin1Char('%'), QStringLiteral("%%"));
    quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    return quoted;
}

static QString execLine(const QStringList &command)
{
    QStringList arguments;
    for (const QString &argument : command)
        arguments << execArgument(argument);
    return arguments.join(QLatin1Char(' '));
}

// The entry's lines with the keys Wendrel owns set to its values, in the
// [Desktop Entry] group; every other line as it was.
static QStringList withOwnKeys(QStringList lines, const QList<std::pair<QString, QString>> &own)
{
    if (!lines.contains(QStringLiteral("[Desktop Entry]"))) {
        lines.prepend(QString());
        lines.prepend(QStringLiteral("[Desktop Entry]"));
    }
    auto [first, end] = mainGroup(lines);
    QStringList written;
    for (qsizetype i = first; i < end;) {
        const QString key = keyOf(lines.at(i));
        const auto owned = std::find_if(own.begin(), own.end(),
                                        [&key](const auto &pair) { return pair.first == key; });
        if (owned == own.end() || !lines.at(i).contains(QLatin1Char('='))) {
            ++i;
        } else if (written.contains(key)) {
            lines.removeAt(i); // said twice: once is enough
            --end;
        } else {
            lines[i] = owned->first + QLatin1Char('=') + owned->second;
            written << key;
            ++i;
        }
    }
    // What is missing goes after the group's last key, before any blank lines.
    qsizetype at = end;
    while (at > first && lines.at(at - 1).trimmed().isEmpty())
        --at;
    for (const auto &[key, value] : own) {
        if (!written.contains(key))
            lines.insert(at++, key + QLatin1Char('=') + value);
    }
    return lines;
}

bool writeAutostartEntry(const QStringList &command, QString *error, bool *notAnEntry)
{
    // An entry that is a link (kept with the user's other settings) is written
    // where it leads.
    QString path = autostartPath();
    if (path.isEmpty()) {
        *error = noHomeError();
        return false;
    }
    const QFileInfo entry(path);
    if (entry.isSymLink() && entry.exists())
        path = entry.canonicalFilePath();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("Cannot make the folder %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    QByteArray existing;
    if (QFileInfo(path).isDir()) {
        existing = QByteArrayLiteral("\0"); // a folder is no desktop entry either
    } else if (QFile entryFile(path); entryFile.exists()) {
        if (!entryFile.open(QIODevice::ReadOnly)) {
            *error = QStringLiteral("Cannot read %1: %2").arg(path, entryFile.errorString());
            return false;
        }
        existing = entryFile.readAll();
    }
    if (!isDesktopEntry(existing)) {
        *error = QStringLiteral("%1 is there and is not a desktop entry: Wendrel leaves it as it "
                                "is. Move it away or remove it, then try again.")
                         .arg(autostartPath());
        *notAnEntry = true;
        return false;
    }
    QStringList lines = switchedOn(entryLines(existing));
    lines = withOwnKeys(
            lines,
            { { QStringLiteral("Type"), QStringLiteral("Application") },
              { QStringLiteral("Name"), QStringLiteral(WENDREL_NAME) },
              { QStringLiteral("Comment"), asEntryBytes(QStringLiteral(WENDREL_DESCRIPTION)) },
              { QStringLiteral("Icon"), QStringLiteral(WENDREL_APP_ID) },
              { QStringLiteral("Exec"), asEntryBytes(execLine(command)) },
              { QStringLiteral("Terminal"), QStringLiteral("false") } });
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    file.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1());
    if (!file.commit()) {
        *error = QStringLiteral("Cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

Removal removeAutostartEntry(QString *error)
{
    const QString path = autostartPath();
    if (path.isEmpty()) {
        *error = noHomeError();
        return Removal::Failed;
    }
    const QFileInfo entry(path);
    if (!entry.exists() && !entry.isSymLink())
        return Removal::NothingThere;
    // A link that leads nowhere starts nothing and is taken away; anything
    // else goes only when it is Wendrel's own entry.
    if (entry.exists() && !isWendrelsEntry(path)) {
        *error = QStringLiteral("%1 is there and is not Wendrel's entry: Wendrel leaves it as it "
                                "is. Move it away or remove it yourself.")
                         .arg(path);
        return Removal::NotOurs;
    }
    if (!QFile::remove(path)) {
        *error = QStringLiteral("Cannot remove %1").arg(path);
        return Removal::Failed;
    }
    return Removal::Removed;
}

QString runningProgram()
{
    QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!self.isEmpty())
        return self;
    return QStringLiteral(WENDREL_BINARY_NAME);
}
