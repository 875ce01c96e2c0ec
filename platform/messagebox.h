// Modal message boxes and the system beep: one OK button, no icon, a title of its own.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

class MessageBox
{
public:
    virtual ~MessageBox() = default;
    // Returns once the user has closed the box.
    virtual void show(const QString &text, const QString &title) = 0;
};

class QtMessageBox : public MessageBox
{
public:
    void setParentWindow(QWidget *window) { m_window = window; }
    void show(const QString &text, const QString &title) override;

private:
    QPointer<QWidget> m_window;
};

class Beep
{
public:
    virtual ~Beep() = default;
    virtual void beep() = 0;
};

class QtBeep : public Beep
{
public:
    void beep() override;
};
