// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// What the gradient paints on: the window's outer size in twips, and the boxes
// kept as a list, so the window can show them again after it was covered,
// until the next resize paints afresh.
#pragma once

#include "grad/grad.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QSize>

class QPainter;

class Canvas : public DrawTarget
{
public:
    // Starts afresh, empty, for a window of this outer size in pixels.
    void reset(QSize outerPixels, float twipsPerPixelX, float twipsPerPixelY);

    float Height() const override;
    float Width() const override;
    void Line(Integer option, Integer x1, Integer y1, Integer x2, Integer y2, Long colour) override;

    // Paints the boxes, in the order painted, where they meet the part given.
    void paint(QPainter &painter, const QRect &part) const;

private:
    struct Band
    {
        QRect rect;
        QColor colour;
    };
    QList<Band> m_bands;
    QSize m_outer;
    float m_twipsPerPixelX = 15;
    float m_twipsPerPixelY = 15;
    float m_twipsPerUnit = 1;
};
