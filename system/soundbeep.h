// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The beep at each ping: the desktop's own event sound "bell" (freedesktop
// sound theme) through libcanberra, which every desktop's sound server plays.
#pragma once

#include "engine/beep.h"

#include <functional>
#include <memory>

// A sound server that accepts and never answers holds libcanberra for half a
// minute, so the sound is played by a worker thread of its own, one at a time:
// a beep asked for while the last one is still on its way is skipped. Where no
// sound can be played (no sound server, no theme) the fallback runs instead,
// on the thread of the event loop; with no fallback, that is said once a run.
class SoundBeep : public Beep
{
public:
    explicit SoundBeep(std::function<void()> fallback = {});
    SoundBeep(const SoundBeep &) = delete;
    SoundBeep &operator=(const SoundBeep &) = delete;
    ~SoundBeep() override;
    void beep() override;

    // True while a sound is on its way to the sound server.
    bool isBusy() const;

private:
    struct Worker;
    std::shared_ptr<Worker> m_worker;
    std::function<void()> m_fallback;
    bool m_told = false;
};
