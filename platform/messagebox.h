// Modal message boxes (one OK button, no icon, a title of its own) and the
// system beep.
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

// The desktop's own event sound "bell" (freedesktop sound theme) through
// libcanberra, which every desktop's sound server plays; the toolkit's beep
// where no sound can be played (no sound server, no theme).
class QtBeep : public Beep
{
public:
    QtBeep() = default;
    QtBeep(const QtBeep &) = delete;
    QtBeep &operator=(const QtBeep &) = delete;
    ~QtBeep() override;
    void beep() override;

private:
    struct ca_context *m_sounds = nullptr; // made at the first beep
};
