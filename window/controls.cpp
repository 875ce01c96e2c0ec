// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "window/controls.h"

#include "window/reversedscrollbar.h"
#include "window/twips.h"

#include <QBackingStore>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstring>
#include <numeric>

static QFont sansSerif(qreal points, bool bold = false)
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

ShapeBox::ShapeBox(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ShapeBox::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
}

static QLabel *makeLabel(QWidget *parent, const QString &caption, const QFont &font,
                         Qt::Alignment alignment)
{
    auto *label = new QLabel(caption, parent);
    label->setFont(font);
    label->setAlignment(alignment | Qt::AlignTop);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, palette.color(QPalette::HighlightedText));
    label->setPalette(palette);
    return label;
}

static QLabel *makeImageBox(QWidget *parent)
{
    auto *box = new QLabel(parent);
    box->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->setScaledContents(false);
    return box;
}

// The button is in its control's place before it has a caption: a screen
// reader may ask about it as soon as the caption is set, and is then told what
// that control is.
static void makeButton(QPushButton *&control, QWidget *parent, const QString &caption,
                       const QString &tip)
{
    control = new QPushButton(parent);
    control->setText(caption);
    control->setToolTip(tip);
    control->setAutoDefault(false);
}

// Where one port's frame, button, label and lamp stand, in twips (left, top).
struct PortRowTwips
{
    QPoint frame;
    QPoint button;
    QPoint label;
    QPoint lamp;
};

static void createPortRow(QWidget *window, int port, const PortRowTwips &at, ShapeBox *&frame,
                          QPushButton *&button, QLabel *&label, QLabel *&lamp);

static void createPortGroup(QWidget *window, Controls &c)
{
    createPortRow(window, 1, { { 120, 120 }, { 240, 240 }, { 720, 240 }, { 2025, 225 } }, c.Shape1,
                  c.Command3, c.Label1, c.Com1);
    createPortRow(window, 2, { { 120, 720 }, { 255, 825 }, { 720, 840 }, { 2025, 810 } }, c.Shape2,
                  c.Command4, c.Label2, c.Com2);
}

static void createPortRow(QWidget *window, int port, const PortRowTwips &at, ShapeBox *&frame,
                          QPushButton *&button, QLabel *&label, QLabel *&lamp)
{
    frame = new ShapeBox(window);
    frame->setGeometry(placeOn(window, at.frame.x(), at.frame.y(), 2295, 495));
    makeButton(button, window, QStringLiteral("&%1").arg(port),
               QStringLiteral("Serial Port Camera is connected to."));
    button->setGeometry(placeOn(window, at.button.x(), at.button.y(), 375, 255));
    button->setAccessibleName(QStringLiteral("Com Port %1").arg(port));
    label = makeLabel(window, QStringLiteral("Com Port %1").arg(port), sansSerif(9.75, true),
                      Qt::AlignLeft);
    label->setBuddy(button);
    label->setGeometry(placeOn(window, at.label.x(), at.label.y(), 1215, 255));
    lamp = makeImageBox(window);
    lamp->setGeometry(placeOn(window, at.lamp.x(), at.lamp.y(), 300, 300));
}

static void createButtonColumn(QWidget *window, Controls &c)
{
    makeButton(c.Command2, window, QStringLiteral("St&art"),
               QStringLiteral("Start/Stop  Pinging selected Com Port."));
    c.Command2->setGeometry(placeOn(window, 3225, 105, 975, 375));
    makeButton(c.Command5, window, QStringLiteral("&Hide"), QStringLiteral("Minimize to SysTray."));
    c.Command5->setGeometry(placeOn(window, 3225, 480, 975, 375));
    makeButton(c.Command1, window, QStringLiteral("E&xit"), QString());
    c.Command1->setGeometry(placeOn(window, 3225, 855, 975, 375));
}

static void createIntervalRow(QWidget *window, Controls &c)
{
    const QString Hours = QStringLiteral("Hours");
    const QString Minutes = QStringLiteral("Minutes");
    const QString Seconds = QStringLiteral("Seconds");
    const QFont font = sansSerif(9.75);
    const auto textBox = [window, &font](int left, const QString &name) {
        auto *box = new QLineEdit(window);
        box->setAccessibleName(name);
        box->setFont(font);
        box->setAlignment(Qt::AlignCenter);
        box->setGeometry(placeOn(window, left, 1320, 495, 375));
        return box;
    };
    const auto scrollBar = [window](int maximum, int left, const QString &name) {
        auto *bar = new ReversedScrollBar(maximum, window);
        bar->setAccessibleName(name);
        bar->setGeometry(placeOn(window, left, 1320, 255, 375));
        return bar;
    };
    c.Label6 = makeLabel(window, QStringLiteral("H"), font, Qt::AlignHCenter);
    c.Label6->setGeometry(placeOn(window, 75, 1395, 135, 255));
    c.Text1 = textBox(240, Hours);
    c.VScroll1 = scrollBar(24, 720, Hours);
    c.Label6->setBuddy(c.Text1);
    c.Label5 = makeLabel(window, QStringLiteral("M"), font, Qt::AlignHCenter);
    c.Label5->setGeometry(placeOn(window, 1035, 1395, 135, 255));
    c.Text2 = textBox(1200, Minutes);
    c.VScroll2 = scrollBar(59, 1680, Minutes);
    c.Label5->setBuddy(c.Text2);
    c.Label4 = makeLabel(window, QStringLiteral("S"), font, Qt::AlignHCenter);
    c.Label4->setGeometry(placeOn(window, 1995, 1395, 135, 255));
    c.Text3 = textBox(2160, Seconds);
    c.VScroll3 = scrollBar(59, 2640, Seconds);
    c.Label4->setBuddy(c.Text3);
}

static void createSoundOption(QWidget *window, Controls &c)
{
    const QString tip = QStringLiteral("System sound when Pinged.");
    // Only the box shows: the caption lies beyond the control's width.
    c.chkSound = new QCheckBox(QStringLiteral("Check1"), window);
    c.chkSound->setToolTip(tip);
    c.chkSound->setGeometry(placeOn(window, 3135, 1380, 255, 255));
    c.Label3
            = makeLabel(window, QStringLiteral("Audible"), sansSerif(9.75, true), Qt::AlignHCenter);
    c.Label3->setToolTip(tip);
    c.Label3->setGeometry(placeOn(window, 3495, 1380, 855, 255));
    // Read out by its visible caption, not by the one that lies out of sight.
    c.chkSound->setAccessibleName(c.Label3->text());
    c.Label3->setBuddy(c.chkSound);
}

static void createLamps(QWidget *window, Controls &c)
{
    c.lampRow = new LampRow(window);
    int left = 240;
    for (QLabel *&lamp : c.Image1) {
        lamp = new Lamp(window);
        lamp->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        lamp->setGeometry(placeOn(window, left, 1800, 300, 300));
        left += 360;
    }
    c.lampRow->setLamps(c.Image1);
    // The picture holders lie below the client area and are never seen.
    c.LightOn = makeImageBox(window);
    c.LightOn->setGeometry(placeOn(window, 1440, 2400, 300, 300));
    c.LightOn->setPixmap(QPixmap(QStringLiteral(":/assets/lighton.bmp")));
    c.LightOff = makeImageBox(window);
    c.LightOff->setGeometry(placeOn(window, 600, 2400, 300, 300));
    c.LightOff->setPixmap(QPixmap(QStringLiteral(":/assets/lightoff.bmp")));
    // Not even a window forced taller than designed shows them.
    c.LightOn->hide();
    c.LightOff->hide();
}

static void createTimers(QWidget *window, Controls &c)
{
    // Precise timers: a ping may come one tick late, but not later than that.
    c.Timer1 = new QTimer(window);
    c.Timer1->setInterval(250);
    c.Timer1->setTimerType(Qt::PreciseTimer);
    c.Timer2 = new QTimer(window);
    c.Timer2->setInterval(100);
    c.Timer2->setTimerType(Qt::PreciseTimer);
}

static void setTabOrder(const Controls &c)
{
    QWidget *const order[]
            = { c.Command2, c.Command3, c.Command4, c.Command1, c.Text1, c.Command5,
                c.VScroll1, c.chkSound, c.Text2,    c.VScroll2, c.Text3, c.VScroll3 };
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

QRect placeOn(const QWidget *window, int left, int top, int width, int height)
{
    return Twips::toPixels(left, top, width, height, window->logicalDpiX());
}

QFont defaultWindowFont()
{
    return sansSerif(8.25);
}

void createControls(QWidget *window, Controls &c)
{
    createPortGroup(window, c);
    createButtonColumn(window, c);
    createIntervalRow(window, c);
    createSoundOption(window, c);
    createLamps(window, c);
    createTimers(window, c);
    setTabOrder(c);
}
