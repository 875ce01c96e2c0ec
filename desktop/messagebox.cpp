// SPDX-FileCopyrightText: 2026 The Wendrel developers
// SPDX-License-Identifier: MIT

#include "desktop/messagebox.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>

#include <algorithm>

QtMessageBox::~QtMessageBox()
{
    delete m_notice.data();
}

// A hidden window cannot own a visible box, so a box raised while the window
// sits in the tray stands on its own.
QWidget *QtMessageBox::visibleParent() const
{
    return (m_window && m_window->isVisible()) ? m_window.data() : nullptr;
}

// A box sizes itself to its text, and a short text ("Port is in use!") leaves
// a window manager too little title bar for the title: it holds the title
// beside an icon and three buttons, each about as wide as the bar is high.
static void fitTitle(QMessageBox &box)
{
    QFont bold = box.font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const int titleBar = metrics.height() + 8;
    const int width = metrics.horizontalAdvance(box.windowTitle()) * 6 / 5 + 5 * titleBar;
    if (auto *grid = qobject_cast<QGridLayout *>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                      grid->rowCount(), 0, 1, grid->columnCount());
}

void QtMessageBox::show(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, visibleParent());
    fitTitle(box);
    box.exec();
}

// Not modal: the window's Stop stays within reach while the notice stands.
void QtMessageBox::showNotice(const QString &text, const QString &title)
{
    if (!m_notice) {
        m_notice = new QMessageBox(QMessageBox::NoIcon, title, text, QMessageBox::Ok,
                                   visibleParent());
        m_notice->setAttribute(Qt::WA_DeleteOnClose);
        m_notice->setWindowModality(Qt::NonModal);
        fitTitle(*m_notice);
    }
    m_notice->setWindowTitle(title);
    m_notice->setText(text);
    // Placed before it is mapped, so the window manager puts it there at
    // once; again once shown, at the size it took.
    if (!m_notice->isVisible())
        placeBesideWindow(m_notice->sizeHint());
    m_notice->show();
    placeBesideWindow(m_notice->size());
    m_notice->raise();
    m_notice->activateWindow();
}

// The frame a window manager puts around a window: known once it has framed it.
static QMargins frameOf(const QWidget *window)
{
    const QRect frame = window->frameGeometry();
    const QRect client = window->geometry();
    return { client.left() - frame.left(), client.top() - frame.top(),
             frame.right() - client.right(), frame.bottom() - client.bottom() };
}

// Centred on the window, a notice would hide the Stop it tells the user of:
// it stands below the window, or above it where the screen ends first, frame
// clear of frame. A notice shown a moment ago has no frame yet; the window
// manager will give it the one it gave the window.
void QtMessageBox::placeBesideWindow(QSize size)
{
    if (!m_window || !m_window->isVisible() || !m_window->screen())
        return;
    const QRect window = m_window->frameGeometry();
    const QRect screen = m_window->screen()->availableGeometry();
    QMargins frame = frameOf(m_notice);
    if (frame.isNull())
        frame = frameOf(m_window);
    const QSize box = size.grownBy(frame);
    const int gap = 8;
    const int left = std::clamp(window.center().x() - box.width() / 2, screen.left(),
                                std::max(screen.left(), screen.right() + 1 - box.width()));
    int top = window.bottom() + 1 + gap;
    if (top + box.height() > screen.bottom() + 1)
        top = std::max(screen.top(), window.top() - gap - box.height());
    // The client area's place, which a window manager keeps as it is given.
    m_notice->setGeometry(QRect(QPoint(left + frame.left(), top + frame.top()), size));
}

void QtMessageBox::closeNotice()
{
    if (m_notice)
        m_notice->close();
}
