// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "engine/countdown.h"

#include <cmath>
#include <cstdint>
#include <limits>

CountdownTexts splitRemaining(Long remainingMs)
{
    using Checked::format00;
    const double r = remainingMs;
    const double thousandth = 0.001;
    const auto whole = [](double value) { return static_cast<std::int64_t>(value); };

    CountdownTexts texts;
    texts.hours = format00(whole(std::fabs(std::floor(r / 60 * thousandth / 60))));
    texts.minutes = format00(
            whole(std::floor(r * thousandth / 60) - std::floor(r * thousandth / 60 / 60) * 60));
    texts.seconds
            = format00(whole(std::floor(r * thousandth) - std::floor(r * thousandth / 60) * 60));
    return texts;
}

Long elapsedTicks(Long fromTick, Long toTick)
{
    const std::uint32_t gap = std::uint32_t(toTick) - std::uint32_t(fromTick);
    const auto longest = std::uint32_t(std::numeric_limits<Long>::max());
    return Long(gap > longest ? longest : gap);
}

QString describeInterval(Long intervalMs)
{
    const Long seconds = intervalMs / 1000;
    QStringList parts;
    if (seconds / 3600 > 0)
        parts << QStringLiteral("%1 h").arg(seconds / 3600);
    if (seconds / 60 % 60 > 0)
        parts << QStringLiteral("%1 min").arg(seconds / 60 % 60);
    if (seconds % 60 > 0 || parts.isEmpty())
        parts << QStringLiteral("%1 s").arg(seconds % 60);
    return parts.join(QLatin1Char(' '));
}
