// Message boxes (one OK button, no icon, a title of their own) and the system
// beep. A modal box is for what a user's press asked; what the program says on
// its own is a notice, which never blocks and never stacks.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>

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
    void placeBesideWindow();

    QPointer<QWidget> m_window;
    QPointer<QMessageBox> m_notice;
};

class Beep
{
public:
    virtual ~Beep() = default;
    virtual void beep() = 0;
};

// The desktop's own event sound "bell" (freedesktop sound theme) through
// libcanberra, which every desktop's sound server plays; the toolkit's beep
// where no sound can be played (no sound server, no theme). A sound server that
// accepts and never answers holds libcanberra for half a minute, so the sound
// is played by a worker thread of its own, one at a time: a beep asked for
// while the last one is still on its way is skipped.
class QtBeep : public Beep
{
public:
    QtBeep();
    QtBeep(const QtBeep &) = delete;
    QtBeep &operator=(const QtBeep &) = delete;
    ~QtBeep() override;
    void beep() override;

    // True while a sound is on its way to the sound server.
    bool isBusy() const;

private:
    struct Worker;
    std::shared_ptr<Worker> m_worker;
};
