// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "engine/outage.h"

#include "engine/countdown.h"

#include <utility>

bool Outage::begin(Kind kind, Long now)
{
    m_kind = kind;
    m_since = now;
    if (kind == Kind::StartWait)
        m_quietFrom = now;
    m_told = !isQuiet(now);
    return m_told;
}

bool Outage::dueToTell(Long now)
{
    timePasses(now);
    if (!m_since || m_told || elapsedTicks(*m_since, now) < QuietMs)
        return false;
    m_told = true;
    return true;
}

bool Outage::end(Long now)
{
    if (!m_since)
        return false;
    if (m_kind == Kind::Loss)
        m_quietFrom = now; // a device that was just away may go again
    m_since.reset();
    return std::exchange(m_told, false);
}

bool Outage::isQuiet(Long now)
{
    timePasses(now);
    return m_quietFrom.has_value();
}

void Outage::timePasses(Long now)
{
    if (m_quietFrom && elapsedTicks(*m_quietFrom, now) >= QuietMs)
        m_quietFrom.reset();
}

bool OncePerMinute::mayTell(Long now)
{
    if (m_toldAt && elapsedTicks(*m_toldAt, now) < Outage::QuietMs)
        return false;
    m_toldAt = now;
    return true;
}
