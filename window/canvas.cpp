// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "window/canvas.h"

#include <QPainter>

#include <algorithm>

// The painter counts in 16 bits, which hold 2184 pixels of twips; a window
// forced larger than that (no window manager, or a tiling one) is measured in
// a coarser unit, so the same 63 bands cover it whole instead of overflowing.
// Below 32767 by more than the bands' rounding (63 half-units).
static constexpr float LargestUnits = 32000;

void Canvas::reset(QSize outerPixels, float twipsPerPixelX, float twipsPerPixelY)
{
    m_bands.clear();
    m_outer = outerPixels;
    m_twipsPerPixelX = twipsPerPixelX;
    m_twipsPerPixelY = twipsPerPixelY;
    m_twipsPerUnit = std::max(1.0f,
                              std::max(float(outerPixels.width()) * twipsPerPixelX,
                                       float(outerPixels.height()) * twipsPerPixelY)
                                      / LargestUnits);
}

float Canvas::Height() const
{
    return float(m_outer.height()) * m_twipsPerPixelY / m_twipsPerUnit;
}

float Canvas::Width() const
{
    return float(m_outer.width()) * m_twipsPerPixelX / m_twipsPerUnit;
}

void Canvas::Line(Integer, Integer x1, Integer y1, Integer x2, Integer y2, Long colour)
{
    const float tx = m_twipsPerPixelX / m_twipsPerUnit;
    const float ty = m_twipsPerPixelY / m_twipsPerUnit;
    const QPoint from(qRound(float(x1) / tx), qRound(float(y1) / ty));
    const QPoint to(qRound(float(x2) / tx), qRound(float(y2) / ty));
    const QColor colourOf(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff);
    m_bands.append({ QRect(from, to).normalized(), colourOf });
}

void Canvas::paint(QPainter &painter, const QRect &part) const
{
    for (const Band &band : m_bands)
        if (band.rect.intersects(part))
            painter.fillRect(band.rect & part, band.colour);
}
