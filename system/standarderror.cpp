// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/standarderror.h"

#include "engine/logging.h"

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

#if defined(Q_OS_UNIX)
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>
#else
#include <io.h>
#endif

// Writes everything or fails; waits as long as the reader makes it.
static bool writeAll(const QByteArray &bytes)
{
#if defined(Q_OS_UNIX)
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t written
                = ::write(STDERR_FILENO, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
#else
    // Descriptor 2 itself, not the C library's stream: a Windows service's
    // log file is put there after the stream was set up with no console.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const int written = _write(2, bytes.constData() + done, unsigned(bytes.size() - done));
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
#endif
}

namespace {

// Never destroyed: lines logged by destructors at the very end still find it.
struct Writer
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QByteArray> lines;
    qsizetype queued = 0;
    qint64 dropped = 0;
    bool writing = false;
    bool finished = false; // from now on a line is written at once
    std::thread thread;

    Writer() : thread([this] { serve(); }) { }

    void add(QByteArray line)
    {
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (finished) {
                lock.unlock();
                writeAll(line);
                return;
            }
            if (queued + line.size() > StandardError::QueueBytes) {
                ++dropped;
                return;
            }
            queued += line.size();
            lines.push_back(std::move(line));
        }
        changed.notify_all();
    }

    void serve()
    {
        for (;;) {
            QByteArray line;
            {
                std::unique_lock<std::mutex> lock(mutex);
                changed.wait(lock, [this] { return !lines.empty() || finished; });
                if (lines.empty())
                    return;
                line = std::move(lines.front());
                lines.pop_front();
                queued -= line.size();
                writing = true;
            }
            const bool written = writeAll(line);
            qint64 lost = 0;
            {
                std::lock_guard<std::mutex> lock(mutex);
                writing = false;
                if (written)
                    std::swap(lost, dropped);
                else
                    ++dropped; // the reader left (EPIPE), or standard error failed
            }
            changed.notify_all();
            if (lost > 0)
                qCWarning(lcWendrel, "%lld log lines dropped", lost);
        }
    }

    bool flush(int milliseconds)
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::milliseconds(milliseconds),
                                [this] { return lines.empty() && !writing; });
    }

    // At the end: what is queued gets a moment, then the thread ends; one
    // held by a reader that reads nothing is left to the end of the process.
    void finish(int milliseconds)
    {
        const bool written = flush(milliseconds);
        {
            std::lock_guard<std::mutex> lock(mutex);
            finished = true;
        }
        changed.notify_all();
        if (written)
            thread.join();
        else
            thread.detach();
    }
};

} // namespace

static Writer &writer()
{
    static auto *const theWriter = new Writer;
    return *theWriter;
}

// systemd hands a unit's standard error to the journal as a stream and names
// it by device and inode; a descriptor inherited from elsewhere is not it.
static bool standardErrorIsJournal()
{
#if defined(Q_OS_UNIX)
    const QByteArray stream = qgetenv("JOURNAL_STREAM");
    const qsizetype colon = stream.indexOf(':');
    bool deviceRead = false;
    bool inodeRead = false;
    const qulonglong device = stream.left(colon).toULongLong(&deviceRead);
    const qulonglong inode = stream.mid(colon + 1).toULongLong(&inodeRead);
    struct stat standardError
    {
    };
    return colon > 0 && deviceRead && inodeRead && ::fstat(STDERR_FILENO, &standardError) == 0
            && qulonglong(standardError.st_dev) == device
            && qulonglong(standardError.st_ino) == inode;
#else
    return false;
#endif
}

// One line: each line break, with the white space around it, becomes one
// space. By hand, not by a regular expression, which would bring its
// compiler's pages into every run for one log line.
static QString folded(const QString &text)
{
    if (!text.contains(QLatin1Char('\n')))
        return text;
    QString line;
    line.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('\n')) {
            line += text.at(i);
            continue;
        }
        while (!line.isEmpty() && line.back().isSpace())
            line.chop(1);
        while (i + 1 < text.size() && text.at(i + 1).isSpace())
            ++i;
        line += QLatin1Char(' ');
    }
    return line;
}

static void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const QString text = folded(qFormatLogMessage(type, context, message));
    const QByteArray line = StandardError::priorityPrefix(type) + text.toLocal8Bit() + '\n';
    if (type == QtFatalMsg) {
        // The program ends now: what is queued (often the cause, such as a
        // display that could not be reached) is written first, then this one.
        writer().flush(500);
        writeAll(line);
        std::abort();
    }
    writer().add(line);
}

namespace StandardError {

void install()
{
    static bool installed = false;
    if (std::exchange(installed, true))
        return;
    writer();
    qInstallMessageHandler(handleMessage);
    std::atexit([] { writer().finish(250); });
}

void writeNow(const QByteArray &bytes)
{
    writeAll(bytes);
}

QByteArray priorityPrefix(QtMsgType type)
{
    static const bool journal = standardErrorIsJournal();
    if (!journal)
        return {};
    switch (type) {
    case QtDebugMsg:
        return "<7>";
    case QtInfoMsg:
        return "<6>";
    case QtWarningMsg:
        return "<4>";
    case QtCriticalMsg:
        return "<3>";
    case QtFatalMsg:
        return "<2>";
    }
    return {};
}

} // namespace StandardError
