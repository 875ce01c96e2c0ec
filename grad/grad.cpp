// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "grad/grad.h"

#include "desktop/notifyicon.h"

#include <QtEndian>

namespace Grad {

NotifyIconRecord TrayIconData;

void PaintGradient(DrawTarget &target, Long &red, Long &green, Long &blue, const Integer &direction)
{
    using namespace Checked;
    const Integer bandHeight = toInteger(double(target.Height()) / 63);
    Integer top = 0;
    if (direction != True)
        top = toInteger(double(target.Height()) - bandHeight);
    const Integer left = 0;
    const Integer right = toInteger(double(target.Width())); // read once for every band
    Integer bottom = addInteger(top, bandHeight);

    for (Integer band = 1; band <= 63; ++band) {
        const Long colour = addLong(addLong(toInteger(red), mulLong(256, toInteger(green))),
                                    mulLong(65536, toInteger(blue)));
        target.Line(FilledBox, left, top, right, bottom, colour);

        red = subLong(red, 4);
        green = subLong(green, 4);
        blue = subLong(blue, 4);
        if (red <= 0)
            red = 0;
        if (green <= 0)
            green = 0;
        if (blue <= 0)
            blue = 0;

        if (direction == True)
            top = bottom;
        else
            top = subInteger(top, bandHeight);
        bottom = addInteger(top, bandHeight);
    }
}

QString fixedTip(const QString &text, int length)
{
    return text.left(length).leftJustified(length, u' ');
}

void fillTrayIconData(NotifyIconRecord &record, std::int32_t windowHandle, std::int32_t iconHandle)
{
    record.hWnd = windowHandle;
    record.uID = iconHandle;
    record.uFlags = NotifyIconFlags::Message | NotifyIconFlags::Icon | NotifyIconFlags::Tip;
    record.uCallbackMessage = MouseMessage::MouseMove; // mouse actions arrive as mouse moves
    record.hIcon = iconHandle;
    record.szTip = fixedTip(QStringLiteral("Wendrel") + QChar(u'\0'));
    record.cbSize = NotifyIconRecord::ByteSize;
}

} // namespace Grad

QByteArray NotifyIconRecord::toBytes() const
{
    QByteArray bytes(ByteSize, '\0');
    const std::int32_t fields[] = { cbSize, hWnd, uID, uFlags, uCallbackMessage, hIcon };
    for (int i = 0; i < 6; ++i)
        qToLittleEndian<std::int32_t>(fields[i], bytes.data() + qsizetype(4) * i);
    // Characters the single-byte code page cannot hold become '?', as the shell's
    // ANSI conversion does.
    const QString tip = Grad::fixedTip(szTip, TipLength);
    for (int i = 0; i < TipLength; ++i) {
        const char16_t c = tip.at(i).unicode();
        bytes[24 + i] = c < 256 ? char(c) : '?';
    }
    return bytes;
}

NotifyIconRecord NotifyIconRecord::fromBytes(const QByteArray &bytes)
{
    NotifyIconRecord record;
    if (bytes.size() < ByteSize)
        return record;
    std::int32_t *fields[] = { &record.cbSize,           &record.hWnd, &record.uID, &record.uFlags,
                               &record.uCallbackMessage, &record.hIcon };
    for (int i = 0; i < 6; ++i)
        *fields[i] = qFromLittleEndian<std::int32_t>(bytes.constData() + qsizetype(4) * i);
    record.szTip = QString::fromLatin1(bytes.constData() + 24, TipLength);
    return record;
}
