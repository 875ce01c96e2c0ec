// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// A vertical scroll bar that runs upside down: the top end is the largest value,
// the up arrow adds and the down arrow subtracts. A plain QScrollBar with an
// inverted appearance still subtracts on its top arrow, so the bar stores the
// distance from the top instead and shows the setting as max - that.
#pragma once

#include <QScrollBar>

class ReversedScrollBar : public QScrollBar
{
    Q_OBJECT

public:
    ReversedScrollBar(int maximum, QWidget *parent);

    int setting() const { return maximum() - value(); }
    // Assigning the setting it already has changes nothing and raises nothing.
    void setSetting(int setting) { setValue(maximum() - setting); }

Q_SIGNALS:
    // Once per change of the setting; a drag changes it when the thumb is let go.
    void Change();
};
