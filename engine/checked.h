// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The program's two integer types and arithmetic that never wraps.
// Integer is 16 bits and Long 32 bits; a result outside the type raises the
// overflow error (6) instead of wrapping, and float-to-integer conversion
// rounds an exact half to the even neighbour.
#pragma once

#include <QString>

#include <cstdint>

using Integer = std::int16_t;
using Long = std::int32_t;

namespace Checked {

Integer addInteger(Integer a, Integer b);
Integer subInteger(Integer a, Integer b);
Integer mulInteger(Integer a, Integer b);
Long addLong(Long a, Long b);
Long subLong(Long a, Long b);
Long mulLong(Long a, Long b);

// Round to nearest, halves to even; out of range (or not a number) is an overflow.
Integer toInteger(double value);
Long toLong(double value);

// The "00" pattern: at least two digits, leading zeros added, never cut.
QString format00(std::int64_t value);

} // namespace Checked
