// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// frmWendrel's controls under their design-time names, built at their
// design-time values: places in twips, captions, tips, fonts, pictures, tab
// order. Nothing here acts on a control; the window's handlers do.
#pragma once

#include "window/lamprow.h"

#include <QPixmap>
#include <QWidget>

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
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
