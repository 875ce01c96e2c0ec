// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "window/twips.h"

#include <cmath>

namespace Twips {

int toPixels(int twips, qreal dotsPerInch)
{
    return int(std::lround(twips * dotsPerInch / PerInch));
}

QRect toPixels(int left, int top, int width, int height, qreal dotsPerInch)
{
    // Edges are converted, not sizes, so that controls placed edge to edge in
    // twips stay edge to edge in pixels.
    const int x = toPixels(left, dotsPerInch);
    const int y = toPixels(top, dotsPerInch);
    return { x, y, toPixels(left + width, dotsPerInch) - x,
             toPixels(top + height, dotsPerInch) - y };
}

float perPixel(qreal dotsPerInch)
{
    return float(PerInch / dotsPerInch);
}

} // namespace Twips
