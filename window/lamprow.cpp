// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "window/lamprow.h"

#include <QBackingStore>
#include <QPaintEvent>
#include <QPainter>
#include <QWindow>

#include <algorithm>
#include <cstring>
#include <numeric>

LampRow::LampRow(QWidget *window) : QWidget(window)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void LampRow::setLamps(const std::array<QLabel *, 12> &lamps)
{
    m_lamps = lamps;
    setGeometry(std::accumulate(
            lamps.begin(), lamps.end(), QRect(),
            [](const QRect &round, const QLabel *lamp) { return round | lamp->geometry(); }));
    lower();
}

void LampRow::setBackground(Background background)
{
    m_paintBackground = std::move(background);
    backgroundChanged();
}

void LampRow::backgroundChanged()
{
    m_background = QImage();
    for (auto &pictures : m_prepared)
        pictures.clear();
    update();
}

void LampRow::prepareBackground()
{
    if (!m_paintBackground
        || (!m_background.isNull() && m_background.devicePixelRatio() == devicePixelRatio()))
        return;
    m_background = QImage(size() * devicePixelRatio(), QImage::Format_RGB32);
    m_background.setDevicePixelRatio(devicePixelRatio());
    QPainter copy(&m_background);
    copy.translate(-pos());
    m_paintBackground(copy, geometry());
}

QRect LampRow::place(std::size_t lamp) const
{
    return m_lamps[lamp]->geometry().translated(-pos());
}

// A lamp's picture over its piece of the background, in the format asked
// for, made the first time it is shown there.
const QImage &LampRow::lampImage(std::size_t lamp, QImage::Format format)
{
    const QPixmap picture = m_lamps[lamp]->pixmap();
    const qreal ratio = devicePixelRatio();
    std::vector<Prepared> &pictures = m_prepared[lamp];
    const auto found = std::find_if(pictures.begin(), pictures.end(), [&](const Prepared &p) {
        return p.picture == picture.cacheKey() && p.ratio == ratio && p.image.format() == format;
    });
    if (found != pictures.end())
        return found->image;
    // The handlers show one of two pictures; a lamp given new ones again and
    // again, over months, forgets the old ones instead of piling them up.
    if (pictures.size() >= 4)
        pictures.clear();
    prepareBackground();
    const QRect at = place(lamp);
    QImage shown = m_background.copy(
            QRectF(QPointF(at.topLeft()) * ratio, QSizeF(at.size()) * ratio).toRect());
    shown.setDevicePixelRatio(ratio);
    QPainter(&shown).drawPixmap(0, 0, picture);
    pictures.push_back({ picture.cacheKey(), ratio, shown.convertToFormat(format) });
    return m_prepared[lamp].back().image;
}

void LampRow::lampChanged(const QLabel *lamp)
{
    const auto found = std::find(m_lamps.begin(), m_lamps.end(), lamp);
    if (found == m_lamps.end())
        return;
    m_changed.set(std::size_t(found - m_lamps.begin()));
    if (m_batches == 0)
        paintChanged();
}

LampRow::Batch::~Batch()
{
    // Every handler's lamps are painted as it returns, a nested one's too: a
    // modal box does not hold the chaser's steps back.
    --m_row.m_batches;
    m_row.paintChanged();
}

void LampRow::paintChanged()
{
    if (m_changed.none())
        return;
    // For Qt, neighbours go as the one rectangle round them, the last lamp and
    // the first as two.
    QRect round;
    QRegion part;
    for (std::size_t lamp = 0; lamp < m_lamps.size(); ++lamp) {
        if (m_changed.test(lamp)) {
            round |= place(lamp);
            part += place(lamp);
        }
    }
    const bool neighbours = round.width() <= int(m_changed.count() + 1) * place(0).width();
    if (neighbours)
        part = round;
    if (!paintOnStore(round))
        update(part);
    m_changed.reset();
}

// Copies a picture into an image of its own format, row by row, into the
// image's own pixels whoever else holds it: a detached copy would never reach
// the screen.
static void copyInto(const QImage &target, const QImage &picture, QPoint at)
{
    const auto rowBytes = size_t(picture.width()) * size_t(picture.depth() / 8);
    const qsizetype stride = target.bytesPerLine();
    const qsizetype pictureStride = picture.bytesPerLine();
    auto *row = const_cast<uchar *>(target.constBits()) + at.y() * stride
            + qsizetype(at.x()) * (target.depth() / 8);
    const uchar *from = picture.constBits();
    for (int y = picture.height(); y > 0; --y, row += stride, from += pictureStride)
        std::memcpy(row, from, rowBytes);
}

// Where the window's backing store is an image of whole bytes per pixel at
// the screen's own scale, as on X11 and Wayland, the changed lamps go straight
// into it and to the screen: Qt would look through all the window's children
// and paint the row again for the same pixels. The store is opened for the
// lamps' own squares alone, so a store with an alpha channel, which clears
// what it opens (Wayland's), clears only pixels that are written here; and a
// picture goes only into a place of its own size. Anywhere else Qt paints.
bool LampRow::paintOnStore(const QRect &round)
{
    QWidget *top = window();
    QWindow *handle = top->windowHandle();
    QBackingStore *store = top->backingStore();
    if (!store || !handle || !handle->isExposed() || !isVisible() || devicePixelRatio() != 1)
        return false;
    const QPoint offset = pos(); // the row is the window's own child
    if (!top->rect().contains(round.translated(offset)))
        return false;
    QRegion lamps;
    for (std::size_t lamp = 0; lamp < m_lamps.size(); ++lamp) {
        if (m_changed.test(lamp))
            lamps += place(lamp).translated(offset);
    }
    store->beginPaint(lamps);
    QPaintDevice *device = store->paintDevice();
    const QImage *image
            = device->devType() == QInternal::Image ? static_cast<QImage *>(device) : nullptr;
    bool plain = image && image->depth() % 8 == 0 && image->devicePixelRatio() == 1
            && image->rect().contains(round.translated(offset));
    for (std::size_t lamp = 0; plain && lamp < m_lamps.size(); ++lamp) {
        if (!m_changed.test(lamp))
            continue;
        const QImage &picture = lampImage(lamp, image->format());
        plain = picture.size() == place(lamp).size();
        if (plain)
            copyInto(*image, picture, place(lamp).topLeft() + offset);
    }
    store->endPaint();
    if (plain)
        store->flush(round.translated(offset), handle);
    return plain;
}

void LampRow::paintEvent(QPaintEvent *event)
{
    prepareBackground();
    QPainter painter(this);
    const QRect part = event->rect();
    const qreal ratio = devicePixelRatio();
    painter.drawImage(
            part.topLeft(), m_background,
            QRectF(QPointF(part.topLeft()) * ratio, QSizeF(part.size()) * ratio).toRect());
    for (std::size_t lamp = 0; lamp < m_lamps.size(); ++lamp) {
        if (place(lamp).intersects(part))
            painter.drawImage(place(lamp).topLeft(), lampImage(lamp, m_background.format()));
    }
}
