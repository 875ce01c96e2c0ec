// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// frmWendrel's controls under their design-time names, built at their
// design-time values: places in twips, captions, tips, fonts, pictures, tab
// order. Nothing here acts on a control; the window's handlers do.
#pragma once

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <array>
#include <bitset>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPainter;
class QRegion;
class QPushButton;
class QTimer;
class ReversedScrollBar;

// A rectangle frame drawn with a 2-pixel border and no fill; it takes no clicks.
class ShapeBox : public QWidget
{
public:
    explicit ShapeBox(QWidget *parent);

protected:
    void paintEvent(QPaintEvent *event) override;
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
    bool paintOnStore(const QRegion &part, const QRect &round);
    void prepareBackground();
    QRect place(std::size_t lamp) const;
    const QImage &lampImage(std::size_t lamp, QImage::Format format);

    std::array<QLabel *, 12> m_lamps{};
    Background m_paintBackground;
    QImage m_background; // the window's background under the row
    // Each lamp's pictures over its piece of the background, as last shown.
    struct Prepared
    {
        qint64 picture;
        QImage image;
    };
    std::array<std::vector<Prepared>, 12> m_prepared;
    std::bitset<12> m_changed; // since the last paint
    int m_batches = 0;
};

struct Controls
{
    QPushButton *Command1 = nullptr; // E&xit
    QPushButton *Command2 = nullptr; // St&art / S&top / &Start
    QPushButton *Command3 = nullptr; // &1
    QPushButton *Command4 = nullptr; // &2
    QPushButton *Command5 = nullptr; // &Hide
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    QLineEdit *Text3 = nullptr;
    ReversedScrollBar *VScroll1 = nullptr; // hours 0..24
    ReversedScrollBar *VScroll2 = nullptr; // minutes 0..59
    ReversedScrollBar *VScroll3 = nullptr; // seconds 0..59
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label6 = nullptr;
    ShapeBox *Shape1 = nullptr;
    ShapeBox *Shape2 = nullptr;
    QTimer *Timer1 = nullptr; // countdown and ping, 250 ms
    QTimer *Timer2 = nullptr; // lamp chaser, 100 ms
    QCheckBox *chkSound = nullptr;
    QLabel *Com1 = nullptr;
    QLabel *Com2 = nullptr;
    QLabel *LightOn = nullptr;
    QLabel *LightOff = nullptr;
    std::array<QLabel *, 12> Image1{};
    LampRow *lampRow = nullptr; // paints Image1
};

// The client area in twips.
constexpr int ClientWidthTwips = 4725;
constexpr int ClientHeightTwips = 2190;

// Creates every control on the window, in its place, and the focus order. Each
// control is in its place in the record before it has a caption: a screen
// reader may ask about it as soon as the caption is set.
void createControls(QWidget *window, Controls &c);

// Where a box in twips lies on the window, in pixels.
QRect placeOn(const QWidget *window, int left, int top, int width, int height);

// The window's default font: 8.25-point "MS Sans Serif".
QFont defaultWindowFont();
