// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Twips to pixels, once and in one place: 1440 twips to the inch, so 15 twips
// make a pixel at 96 dots per inch and fewer on a denser screen.
#pragma once

#include <QRect>

namespace Twips {

constexpr int PerInch = 1440;

int toPixels(int twips, qreal dotsPerInch);
QRect toPixels(int left, int top, int width, int height, qreal dotsPerInch);
float perPixel(qreal dotsPerInch);

} // namespace Twips
