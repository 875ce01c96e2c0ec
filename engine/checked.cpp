// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "engine/checked.h"

#include "engine/runtimeerror.h"

#include <cfenv>
#include <cmath>
#include <limits>

namespace Checked {

template<typename T>
static T narrowed(std::int64_t wide)
{
    if (wide < std::numeric_limits<T>::min() || wide > std::numeric_limits<T>::max())
        throw overflowError();
    return static_cast<T>(wide);
}

Integer addInteger(Integer a, Integer b)
{
    return narrowed<Integer>(std::int64_t(a) + b);
}
Integer subInteger(Integer a, Integer b)
{
    return narrowed<Integer>(std::int64_t(a) - b);
}
Integer mulInteger(Integer a, Integer b)
{
    return narrowed<Integer>(std::int64_t(a) * b);
}
Long addLong(Long a, Long b)
{
    return narrowed<Long>(std::int64_t(a) + b);
}
Long subLong(Long a, Long b)
{
    return narrowed<Long>(std::int64_t(a) - b);
}
Long mulLong(Long a, Long b)
{
    return narrowed<Long>(std::int64_t(a) * b);
}

// nearbyint follows the current rounding mode, which the program never changes
// from round-to-nearest-even; the range test is done on the double so that huge
// values cannot reach the integer conversion.
template<typename T>
static T rounded(double value)
{
    if (!std::isfinite(value))
        throw overflowError();
    const double nearest = std::nearbyint(value);
    if (nearest < double(std::numeric_limits<T>::min())
        || nearest > double(std::numeric_limits<T>::max()))
        throw overflowError();
    return static_cast<T>(nearest);
}

Integer toInteger(double value)
{
    return rounded<Integer>(value);
}
Long toLong(double value)
{
    return rounded<Long>(value);
}

QString format00(std::int64_t value)
{
    const QString digits = QString::number(value < 0 ? -value : value);
    return (value < 0 ? QStringLiteral("-") : QString()) + digits.rightJustified(2, u'0');
}

} // namespace Checked
