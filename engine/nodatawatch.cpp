// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "engine/nodatawatch.h"

#include "engine/countdown.h"

#include <algorithm>
#include <utility>

Long NoDataWatch::thresholdMs() const
{
    return std::max<Long>(AfterMs, Checked::mulLong(m_intervalMs, 3));
}

void NoDataWatch::waitingSince(Long now)
{
    if (!m_since)
        m_since = now;
}

NoDataWatch::News NoDataWatch::check(Long now, bool mayTell)
{
    News news;
    if (!m_since || elapsedTicks(*m_since, now) < thresholdMs())
        return news;
    news.say = !std::exchange(m_said, true);
    if (mayTell && !m_told) {
        m_told = true;
        news.tell = true;
    }
    return news;
}

NoDataWatch::News NoDataWatch::drained()
{
    const News over{ m_said, m_told };
    reset();
    return over;
}

void NoDataWatch::reset()
{
    m_since.reset();
    m_said = false;
    m_told = false;
}
