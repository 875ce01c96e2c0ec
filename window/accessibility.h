// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// What a screen reader is told about frmWendrel, through Qt's accessibility
// interfaces: the window's tree without its decoration (frames, port lamps,
// picture holders), the twelve chaser lamps as one "Activity" element, and the
// two port buttons as a pair of radio buttons whose checked one is the port
// selected, and the upside-down scroll bars by the setting they show.
#pragma once

class QPushButton;
class QWidget;
struct Controls;

namespace Accessibility {

// Installs the interfaces (once for the whole program) and makes them known
// for this window and its controls, until the window forgets them.
void install(QWidget *window, const Controls *controls);
void forget(QWidget *window);

// Tells a screen reader which port button is now the selected port.
void setPortSelected(QPushButton *button, bool selected);

} // namespace Accessibility
