// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

// Message boxes: one OK button, no icon, a title of their own. A modal box is
// for what a user's press asked; what the program says on its own is a notice,
// which never blocks and never stacks.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class QMessageBox;

class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Modal: returns once the user has closed the box.
    virtual void show(const QString &text, const QString &title) = 0;
    // Returns at once. There is one notice at the most: a second one replaces
    // the first one's text and brings it to the front.
    virtual void showNotice(const QString &text, const QString &title) = 0;
    virtual void closeNotice() = 0;
};

class QtMessageBox : public MessageBox
{
public:
    ~QtMessageBox() override;
    void setParentWindow(QWidget *window) { m_window = window; }
    void show(const QString &text, const QString &title) override;
    void showNotice(const QString &text, const QString &title) override;
    void closeNotice() override;

private:
    QWidget *visibleParent() const;
    void placeBesideWindow(QSize size);

    QPointer<QWidget> m_window;
    QPointer<QMessageBox> m_notice;
};
