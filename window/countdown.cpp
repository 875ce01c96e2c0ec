#include "countdown.h"

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
