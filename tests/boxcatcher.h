// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Answers the real modal message boxes the program raises: records each one's
// title and text and presses its OK button, as a user would.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

class BoxCatcher
{
public:
    BoxCatcher()
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { answer(); });
        m_timer.start();
    }

    QStringList titles;
    QStringList texts;

    // The boxes that stand without blocking anything, left for the test to see.
    static QList<QMessageBox *> notices()
    {
        QList<QMessageBox *> found;
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
                found << box;
        return found;
    }

private:
    void answer()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        titles << box->windowTitle();
        texts << box->text();
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
    }

    QTimer m_timer;
};
