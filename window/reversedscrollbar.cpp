// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "window/reversedscrollbar.h"

ReversedScrollBar::ReversedScrollBar(int maximum, QWidget *parent)
    : QScrollBar(Qt::Vertical, parent)
{
    setRange(0, maximum);
    setSingleStep(1);
    setPageStep(1);
    setValue(maximum); // setting 0: the thumb at the bottom
    setTracking(false);
    setFocusPolicy(Qt::TabFocus);
    connect(this, &QAbstractSlider::valueChanged, this, &ReversedScrollBar::Change);
}
