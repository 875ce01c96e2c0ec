// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/soundbeep.h"

#include "engine/logging.h"
#include "version.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLibrary>
#include <QMetaObject>

#include <canberra.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

// The sound library, loaded the first time a beep is asked for: a run that
// never beeps (a service without --audible) maps neither it nor the codecs
// and databases it brings.
struct Canberra
{
    using Create = int (*)(ca_context **);
    using ChangeProps = int (*)(ca_context *, ...);
    using Play = int (*)(ca_context *, uint32_t, ...);
    using Destroy = int (*)(ca_context *);
    using StrError = const char *(*)(int);

    QLibrary library{ QStringLiteral("canberra"), 0 };
    Create create = nullptr;
    ChangeProps changeProps = nullptr;
    Play play = nullptr;
    Destroy destroy = nullptr;
    StrError strerror = nullptr;

    bool load()
    {
        if (create)
            return true;
        if (!library.load())
            return false;
        changeProps = reinterpret_cast<ChangeProps>(library.resolve("ca_context_change_props"));
        play = reinterpret_cast<Play>(library.resolve("ca_context_play"));
        destroy = reinterpret_cast<Destroy>(library.resolve("ca_context_destroy"));
        strerror = reinterpret_cast<StrError>(library.resolve("ca_strerror"));
        if (changeProps && play && destroy && strerror)
            create = reinterpret_cast<Create>(library.resolve("ca_context_create"));
        return create;
    }

    QString why(int error) const
    {
        return create ? QString::fromUtf8(strerror(error)) : library.errorString();
    }
};

// The worker outlives the beep object when it is stuck in the sound server at
// the end of the program: nobody waits for it, and the process ends around it.
struct SoundBeep::Worker
{
    std::mutex mutex;
    std::condition_variable wanted;
    bool pending = false; // a sound asked for and not yet played
    bool busy = false;    // asked for or playing
    bool stopping = false;
    Canberra canberra;
    ca_context *sounds = nullptr;
    bool told = false; // a sound that could not play is said once a run
    std::function<void()> fallback;
    QByteArray name = QCoreApplication::applicationName().toUtf8();
    std::thread thread;

    void serve()
    {
        for (;;) {
            {
                std::unique_lock<std::mutex> lock(mutex);
                wanted.wait(lock, [this] { return pending || stopping; });
                if (stopping)
                    break;
                pending = false;
            }
            const int played = play();
            std::lock_guard<std::mutex> lock(mutex);
            busy = false;
            if (played != CA_SUCCESS && !stopping && qApp) {
                if (fallback)
                    QMetaObject::invokeMethod(qApp, fallback, Qt::QueuedConnection);
                else if (!std::exchange(told, true))
                    qCWarning(lcWendrel,
                              "No sound can play here (%s): the pings go on without "
                              "a beep",
                              qPrintable(canberra.why(played)));
            }
        }
        if (sounds)
            canberra.destroy(sounds);
    }

    // Playing starts in the sound server's own time; only a refusal comes back here.
    int play()
    {
        if (!canberra.load())
            return CA_ERROR_NOTAVAILABLE;
        if (!sounds) {
            const int created = canberra.create(&sounds);
            if (created != CA_SUCCESS)
                return created;
            canberra.changeProps(sounds, CA_PROP_APPLICATION_NAME, name.constData(),
                                 CA_PROP_APPLICATION_ID, WENDREL_APP_ID, nullptr);
        }
        return canberra.play(sounds, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                             "Camera pinged", nullptr);
    }
};

SoundBeep::SoundBeep(std::function<void()> fallback) : m_fallback(std::move(fallback)) { }

SoundBeep::~SoundBeep()
{
    if (!m_worker)
        return;
    {
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        m_worker->stopping = true;
    }
    m_worker->wanted.notify_one();
    // An idle worker ends at once; one held by a stuck sound server is left to
    // the end of the process, which never waits for a sound.
    bool idle = false;
    {
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        idle = !m_worker->busy;
    }
    if (idle)
        m_worker->thread.join();
    else
        m_worker->thread.detach();
}

// A sound server is the user's, found through the session's runtime folder
// (or named outright). A system service has neither: the sound library would
// look for its settings in a home folder it cannot make, and say so on
// standard error at every try.
static bool soundServerReachable()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return qEnvironmentVariableIsSet("PULSE_SERVER")
            || (!runtime.isEmpty() && QFileInfo(runtime).isDir());
}

void SoundBeep::beep()
{
    if (!m_worker && !soundServerReachable()) {
        if (m_fallback)
            QMetaObject::invokeMethod(qApp, m_fallback, Qt::QueuedConnection);
        else if (!std::exchange(m_told, true))
            qCWarning(lcWendrel,
                      "No sound can play here (no sound server: XDG_RUNTIME_DIR is "
                      "not set): the pings go on without a beep");
        return;
    }
    if (!m_worker) {
        m_worker = std::make_shared<Worker>();
        m_worker->fallback = m_fallback;
        m_worker->thread = std::thread([worker = m_worker] { worker->serve(); });
    }
    {
        std::lock_guard<std::mutex> lock(m_worker->mutex);
        if (m_worker->busy)
            return;
        m_worker->busy = true;
        m_worker->pending = true;
    }
    m_worker->wanted.notify_one();
}

bool SoundBeep::isBusy() const
{
    if (!m_worker)
        return false;
    std::lock_guard<std::mutex> lock(m_worker->mutex);
    return m_worker->busy;
}
