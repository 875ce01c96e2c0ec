#include "messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

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

void QtMessageBox::show(const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, visibleParent());
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
    }
    m_notice->setWindowTitle(title);
    m_notice->setText(text);
    m_notice->show();
    placeBesideWindow();
    m_notice->raise();
    m_notice->activateWindow();
}

// Centred on the window, a notice would hide the Stop it tells the user of:
// it stands below the window, or above it where the screen ends first.
void QtMessageBox::placeBesideWindow()
{
    if (!m_window || !m_window->isVisible() || !m_window->screen())
        return;
    const QRect window = m_window->frameGeometry();
    const QRect screen = m_window->screen()->availableGeometry();
    const QSize box = m_notice->frameGeometry().size();
    const int gap = 8;
    const int left = std::clamp(window.center().x() - box.width() / 2, screen.left(),
                                std::max(screen.left(), screen.right() + 1 - box.width()));
    int top = window.bottom() + 1 + gap;
    if (top + box.height() > screen.bottom() + 1)
        top = std::max(screen.top(), window.top() - gap - box.height());
    m_notice->move(left, top);
}

void QtMessageBox::closeNotice()
{
    if (m_notice)
        m_notice->close();
}
