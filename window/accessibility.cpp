// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "window/accessibility.h"

#include "window/controls.h"
#include "window/reversedscrollbar.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>

#include <algorithm>
#include <numeric>

static const char PortSelected[] = "wendrelPortSelected";

// The windows whose controls are known here.
static QHash<const QWidget *, const Controls *> &knownWindows()
{
    static QHash<const QWidget *, const Controls *> windows;
    return windows;
}

// The window's children as a screen reader sees them: decoration and the
// chaser's lamps but the first, which stands for the whole row, are left out.
class WindowAccessible : public QAccessibleWidget
{
public:
    WindowAccessible(QWidget *window, const Controls &controls)
        : QAccessibleWidget(window), m_controls(controls)
    {
    }

    int childCount() const override { return int(shown().size()); }
    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> widgets = shown();
        if (index < 0 || index >= widgets.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(widgets.at(index));
    }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child || !child->object())
            return -1;
        return int(shown().indexOf(qobject_cast<QWidget *>(child->object())));
    }

private:
    QList<QWidget *> shown() const
    {
        const Controls &c = m_controls;
        QList<const QWidget *> left{ c.Shape1,  c.Shape2,   c.Com1,   c.Com2,
                                     c.LightOn, c.LightOff, c.lampRow };
        left.append(QList<const QWidget *>(c.Image1.begin() + 1, c.Image1.end()));
        QList<QWidget *> widgets;
        for (QObject *object : widget()->children()) {
            auto *control = qobject_cast<QWidget *>(object);
            if (control && !control->isWindow() && !control->isHidden() && !left.contains(control))
                widgets << control;
        }
        return widgets;
    }

    const Controls &m_controls;
};

// The chaser's twelve lamps as one animation: its picture changes ten times a
// second, which nothing should read out.
class ActivityAccessible : public QAccessibleWidget
{
public:
    ActivityAccessible(QLabel *firstLamp, const Controls &controls)
        : QAccessibleWidget(firstLamp, QAccessible::Animation), m_controls(controls)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return QStringLiteral("Activity");
        if (t == QAccessible::Description)
            return QStringLiteral("A lamp runs along the row while pinging runs.");
        return {};
    }
    QRect rect() const override
    {
        const auto &lamps = m_controls.Image1;
        return std::accumulate(
                lamps.begin(), lamps.end(), QRect(), [](const QRect &row, const QLabel *lamp) {
                    return row | QRect(lamp->mapToGlobal(QPoint(0, 0)), lamp->size());
                });
    }
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }

private:
    const Controls &m_controls;
};

// Port 1 and port 2 choose one of two: radio buttons, whose checked state says
// which port the next run opens (the lamps beside them say it to the eye).
class PortButtonAccessible : public QAccessibleWidget
{
public:
    explicit PortButtonAccessible(QPushButton *button)
        : QAccessibleWidget(button, QAccessible::RadioButton)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Accelerator)
            return QKeySequence::mnemonic(button()->text()).toString(QKeySequence::NativeText);
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.checkable = true;
        state.checked = button()->property(PortSelected).toBool();
        return state;
    }
    QStringList actionNames() const override
    {
        return QStringList{ pressAction() } + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &action) override
    {
        if (action == pressAction() && button()->isEnabled())
            button()->animateClick();
        else
            QAccessibleWidget::doAction(action);
    }

private:
    QPushButton *button() const { return static_cast<QPushButton *>(widget()); }
};

// The bar stores the distance from its top, so Qt's own interface would read
// 59 seconds where the box shows 00; a screen reader is told the setting.
class ReversedScrollBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit ReversedScrollBarAccessible(ReversedScrollBar *bar)
        : QAccessibleWidget(bar, QAccessible::ScrollBar)
    {
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return bar()->setting(); }
    void setCurrentValue(const QVariant &value) override
    {
        if (bar()->isEnabled())
            bar()->setSetting(std::clamp(value.toInt(), 0, bar()->maximum()));
    }
    QVariant maximumValue() const override { return bar()->maximum(); }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    ReversedScrollBar *bar() const { return static_cast<ReversedScrollBar *>(widget()); }
};

static QAccessibleInterface *wendrelInterface(const QString &, QObject *object)
{
    if (auto *bar = qobject_cast<ReversedScrollBar *>(object))
        return new ReversedScrollBarAccessible(bar);
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    if (const Controls *controls = knownWindows().value(widget))
        return new WindowAccessible(widget, *controls);
    const Controls *controls = knownWindows().value(widget->parentWidget());
    if (!controls)
        return nullptr;
    const Controls &c = *controls;
    if (widget == c.Image1.front())
        return new ActivityAccessible(c.Image1.front(), c);
    if (widget == c.Command3 || widget == c.Command4)
        return new PortButtonAccessible(static_cast<QPushButton *>(widget));
    return nullptr;
}

namespace Accessibility {

void install(QWidget *window, const Controls *controls)
{
    static bool installed = false;
    if (!installed) {
        installed = true;
        QAccessible::installFactory(wendrelInterface);
    }
    knownWindows().insert(window, controls);
}

void forget(QWidget *window)
{
    knownWindows().remove(window);
}

void setPortSelected(QPushButton *button, bool selected)
{
    if (button->property(PortSelected).toBool() == selected)
        return;
    button->setProperty(PortSelected, selected);
    QAccessible::State changed;
    changed.checked = true;
    QAccessibleStateChangeEvent event(button, changed);
    QAccessible::updateAccessibility(&event);
}

} // namespace Accessibility
