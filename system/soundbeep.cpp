// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "system/soundbeep.h"

#include "engine/logging.h"
#include "version.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <canberra.h>

#include <condition_variable>
#include <mutex>
#include <thread>

// The worker outlives the beep object when it is stuck in the sound server at
// the end of the program: nobody waits for it, and the process ends around it.
struct SoundBeep::Worker
{
    std::mutex mutex;
    std::condition_variable wanted;
    bool pending = false; // a sound asked for and not yet played
    bool busy = false;    // asked for or playing
    bool stopping = false;
    ca_context *sounds = nullptr;
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
            const bool played = play();
            std::lock_guard<std::mutex> lock(mutex);
            busy = false;
            if (!played && !stopping && qApp) {
                if (fallback)
                    QMetaObject::invokeMethod(qApp, fallback, Qt::QueuedConnection);
                else
                    qCDebug(lcWendrel) << "No sound could be played";
            }
        }
        if (sounds)
            ca_context_destroy(sounds);
    }

    // Playing starts in the sound server's own time; only a refusal comes back here.
    bool play()
    {
        if (!sounds && ca_context_create(&sounds) == CA_SUCCESS)
            ca_context_change_props(sounds, CA_PROP_APPLICATION_NAME, name.constData(),
                                    CA_PROP_APPLICATION_ID, WENDREL_APP_ID, nullptr);
        return sounds
                && ca_context_play(sounds, 0, CA_PROP_EVENT_ID, "bell", CA_PROP_EVENT_DESCRIPTION,
                                   "Camera pinged", nullptr)
                == CA_SUCCESS;
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

void SoundBeep::beep()
{
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
