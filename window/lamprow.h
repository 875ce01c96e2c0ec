// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// The activity lamps' row under the twelve Image1 boxes: the boxes stay the
// window's controls (the handlers set their pictures, a screen reader finds
// them); the row paints them, a chaser step at a time.
#pragma once

#include <QImage>
#include <QLabel>
#include <QWidget>

#include <array>
#include <bitset>
#include <functional>
#include <vector>

class QPainter;

// A lamp of the row: its picture is drawn by the row under it, which is told
// of each change, so the lamp itself asks for no painting.
class Lamp : public QLabel
{
public:
    explicit Lamp(QWidget *parent) : QLabel(parent) { setUpdatesEnabled(false); }

protected:
    void paintEvent(QPaintEvent *) override { }
};

// The row of lamps, painted as one. A chaser step (one lamp dark, the next
// lit) is one region painted in one pass: the row is opaque, over its own copy
// of the window's background, so nothing under it paints again, and the
// lamps, picture boxes of their own for the handlers and a screen reader,
// draw nothing themselves: the row draws each one's picture.
class LampRow : public QWidget
{
public:
    using Background = std::function<void(QPainter &, const QRect &windowPart)>;
    explicit LampRow(QWidget *window);
    // Places the row round the lamps, which stay the window's children.
    void setLamps(const std::array<QLabel *, 12> &lamps);
    // How the window paints its background, and that it painted a new one.
    void setBackground(Background background);
    void backgroundChanged();
    // A lamp's picture changed. It is painted at once, or, while a handler
    // runs, with the others it changes when it returns.
    void lampChanged(const QLabel *lamp);

    // While one lives, the lamps changed wait to be painted together.
    class Batch
    {
    public:
        explicit Batch(LampRow &row) : m_row(row) { ++m_row.m_batches; }
        ~Batch();
        Batch(const Batch &) = delete;
        Batch &operator=(const Batch &) = delete;

    private:
        LampRow &m_row;
    };

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void paintChanged();
    bool paintOnStore(const QRect &round);
    void prepareBackground();
    QRect place(std::size_t lamp) const;
    const QImage &lampImage(std::size_t lamp, QImage::Format format);

    std::array<QLabel *, 12> m_lamps{};
    Background m_paintBackground;
    QImage m_background; // the window's background under the row
    // Each lamp's pictures over its piece of the background, as last shown.
    // Kept for the picture and the screen's ratio they were made for: a
    // window moved to a screen of another scale makes them anew.
    struct Prepared
    {
        qint64 picture;
        qreal ratio;
        QImage image;
    };
    std::array<std::vector<Prepared>, 12> m_prepared;
    std::bitset<12> m_changed; // since the last paint
    int m_batches = 0;
};
