// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The code module Grad: the gradient painter and the one notification-icon record.
// PaintGradient draws on any DrawTarget; the window gives it one that paints its
// background, tests give it one that records every box.
#pragma once

#include "engine/checked.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

class DrawTarget
{
public:
    virtual ~DrawTarget() = default;
    // Outer size of the target in twips, caption and borders included.
    virtual float Height() const = 0;
    virtual float Width() const = 0;
    // The filled-box form of Line (option 38): a solid rectangle between two
    // corners, in the drawing area's twips, in one colour (red + 256 green + 65536 blue).
    virtual void Line(Integer option, Integer x1, Integer y1, Integer x2, Integer y2, Long colour)
            = 0;
};

namespace Grad {

constexpr Integer FilledBox = 38;
constexpr Integer True = -1;

// Paints 63 bands from the given colour towards black, lowering the caller's
// red, green and blue as it goes. direction == True puts the first band at the top.
void PaintGradient(DrawTarget &target, Long &red, Long &green, Long &blue,
                   const Integer &direction);

} // namespace Grad

// The shell's notification-icon record in its first, 88-byte layout.
struct NotifyIconRecord
{
    std::int32_t cbSize = 0;
    std::int32_t hWnd = 0;
    std::int32_t uID = 0;
    std::int32_t uFlags = 0;
    std::int32_t uCallbackMessage = 0;
    std::int32_t hIcon = 0;
    QString szTip; // always 64 characters

    static constexpr int TipLength = 64;
    static constexpr int ByteSize = 6 * 4 + TipLength;

    // Six little-endian 32-bit fields, then the tip as 64 single-byte characters.
    QByteArray toBytes() const;
    static NotifyIconRecord fromBytes(const QByteArray &bytes);
};

namespace Grad {

// Lives for the whole run; Form_Load fills it, the tray handlers pass it to the shell.
extern NotifyIconRecord TrayIconData;

// Fills the record the way the window's load does.
void fillTrayIconData(NotifyIconRecord &record, std::int32_t windowHandle, std::int32_t iconHandle);

// "Wendrel", a NUL, then spaces: the text assigned left-aligned into 64 characters.
QString fixedTip(const QString &text, int length = NotifyIconRecord::TipLength);

} // namespace Grad
